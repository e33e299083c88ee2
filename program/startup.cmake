# Start-up pieces of the program: splash screen, the options box binding and the about
# component. The command line they read is the core's.
if(NOT WIN32)
  return()
endif()

# The about component imports about.dll, whose target companions/about defines later: link
# names resolve when the build is generated. The program declares the import itself, so no
# include path leads back to the library's folder.
add_library(purStartup STATIC
  Splash.cpp
  OptionsDlg.cpp
  AboutDlg.cpp
)
target_include_directories(purStartup PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(purStartup PUBLIC purCommandLine purLibraryBinding purWinSupport about gdi32 user32)
