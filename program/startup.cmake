# Start-up pieces of the program: splash screen and command line, the options box binding and
# the about component. The command-line reading is Windows-free and builds on the host too.
add_library(purStartupText STATIC CommandLine.cpp)
target_include_directories(purStartupText PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

if(NOT WIN32)
  return()
endif()

# The about component imports about.dll. Its target is defined by companions/about, which the
# top level may add after this folder: link names resolve when the build is generated, so only
# the folder's presence is checked here.
if(NOT EXISTS ${CMAKE_SOURCE_DIR}/companions/about/CMakeLists.txt)
  message(STATUS "purStartup: companions/about is missing; skipped")
  return()
endif()

add_library(purStartup STATIC
  Splash.cpp
  OptionsDlg.cpp
  support/AboutDlg.cpp
)
target_include_directories(purStartup PUBLIC
  ${CMAKE_CURRENT_SOURCE_DIR}
  ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(purStartup PUBLIC purStartupText purProgramCore about gdi32 user32)
