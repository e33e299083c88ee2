# Window components of the program: the LED control and the file list dialog.
# The Windows-free part (formats, lamp geometry and picture) builds everywhere; the window
# code only for Windows.
add_library(purComponentsPortable STATIC
  FileListFormat.cpp
  support/LumexLEDImage.cpp
)
target_include_directories(purComponentsPortable PUBLIC
  ${CMAKE_CURRENT_SOURCE_DIR}
  ${CMAKE_CURRENT_SOURCE_DIR}/support
)

if(WIN32)
  add_library(purComponents STATIC
    uFileList.cpp
    support/LumexLED.cpp
  )
  target_link_libraries(purComponents PUBLIC purComponentsPortable purWinSupport comctl32 gdi32 user32)
endif()
