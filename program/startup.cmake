# Start-up pieces of the program: splash screen and command line, the options box binding and
# the about component. The command-line reading is Windows-free and builds on the host too.
add_library(purStartupText STATIC CommandLine.cpp)
target_include_directories(purStartupText PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

if(NOT WIN32)
  return()
endif()

# The about component imports about.dll, whose target companions/about defines later: link
# names resolve when the build is generated. The program declares the import itself, so no
# include path leads back to the library's folder.
add_library(purStartup STATIC
  Splash.cpp
  OptionsDlg.cpp
  support/AboutDlg.cpp
)
target_include_directories(purStartup PUBLIC
  ${CMAKE_CURRENT_SOURCE_DIR}
  ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(purStartup PUBLIC purStartupText purProgramCore purWinSupport about gdi32 user32)
