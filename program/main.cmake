# PURGOWIN.exe: the main window and the entry sequence.
if(NOT WIN32)
  return()
endif()

add_executable(PURGOWIN WIN32
  PURGOWIN.cpp
  uUserMainPrgm.cpp
  PURGOWIN.rc
  MainResources.rc
)
set_target_properties(PURGOWIN PROPERTIES OUTPUT_NAME PURGOWIN)
# Its manifest (MainResources.rc) declares the UTF-8 code page itself.
pur_code_page(PURGOWIN PROGRAM)
target_include_directories(PURGOWIN PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(PURGOWIN PRIVATE purStartup purCleaningRun purLibraryBinding purComponents purCommon about
  comctl32 gdi32 user32 shell32)

# windres does not report the files a script includes: name them, so that a changed picture,
# manifest or version block rebuilds the program. The version block and the icon are the
# product's, in core/res.
foreach(file ${CMAKE_CURRENT_SOURCE_DIR}/res/splash.bmp ${CMAKE_CURRENT_SOURCE_DIR}/res/PURGOWIN.exe.manifest
             ${CMAKE_SOURCE_DIR}/core/res/purgo.ico)
  set_property(SOURCE MainResources.rc APPEND PROPERTY OBJECT_DEPENDS ${file})
endforeach()
set_property(SOURCE PURGOWIN.rc APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/core/res/VersionBlock.rc)

# The program loads purSearch.dll from its own folder: build it beside.
add_dependencies(PURGOWIN purSearch)
