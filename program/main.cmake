# PURGOWIN.exe: the main window, the cleaning run and the entry sequence.
if(NOT WIN32)
  return()
endif()

# The cleaning run, shared with the cleaning agent: it reaches its window through an interface.
add_library(purCleaningRun STATIC uUserMainPrgm_Run.cpp)
target_include_directories(purCleaningRun PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(purCleaningRun PUBLIC purProgramCore purComponentsPortable purCommon)

add_executable(PURGOWIN WIN32
  PURGOWIN.cpp
  uUserMainPrgm.cpp
  PURGOWIN.rc
  MainResources.rc
)
set_target_properties(PURGOWIN PROPERTIES OUTPUT_NAME PURGOWIN)
# Its manifest (MainResources.rc) declares the UTF-8 code page itself.
pur_code_page(PURGOWIN PROGRAM)
target_include_directories(PURGOWIN PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(PURGOWIN PRIVATE purStartup purCleaningRun purProgramCore purComponents purCommon about
  comctl32 gdi32 user32 shell32)

# windres does not report the files a script includes: name them, so that a changed picture or
# manifest rebuilds the program.
foreach(file purgo.ico splash.bmp PURGOWIN.exe.manifest)
  set_property(SOURCE MainResources.rc APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/${file})
endforeach()

# The program loads purSearch.dll from its own folder: build it beside.
add_dependencies(PURGOWIN purSearch)
