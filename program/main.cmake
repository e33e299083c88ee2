# PURGOWIN.exe: the main window, the cleaning run and the entry sequence.
if(NOT WIN32)
  return()
endif()

add_executable(PURGOWIN WIN32
  PURGOWIN.cpp
  uUserMainPrgm.cpp
  uUserMainPrgm_Run.cpp
  PURGOWIN.rc
  MainResources.rc
)
set_target_properties(PURGOWIN PROPERTIES OUTPUT_NAME PURGOWIN)
# Its manifest (MainResources.rc) declares the UTF-8 code page itself.
pur_code_page(PURGOWIN PROGRAM)
target_include_directories(PURGOWIN PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(PURGOWIN PRIVATE purProgramCore purComponents purCommon comctl32 gdi32 user32 shell32)

# Start-up pieces (splash, command line, options and about bindings), once they are built.
if(TARGET purStartup)
  target_link_libraries(PURGOWIN PRIVATE purStartup)
  target_compile_definitions(PURGOWIN PRIVATE PUR_HAVE_STARTUP)
endif()
if(TARGET about)
  target_link_libraries(PURGOWIN PRIVATE about)
endif()

# The resource script names what exists of the program's pictures and manifest.
foreach(asset ICON:purgo.ico SPLASH:splash.bmp MANIFEST:PURGOWIN.exe.manifest)
  string(REPLACE ":" ";" pair ${asset})
  list(GET pair 0 kind)
  list(GET pair 1 file)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/res/${file})
    set_property(SOURCE MainResources.rc APPEND PROPERTY COMPILE_DEFINITIONS PUR_HAVE_${kind})
    set_property(SOURCE MainResources.rc APPEND PROPERTY OBJECT_DEPENDS
                 ${CMAKE_CURRENT_SOURCE_DIR}/res/${file})
  endif()
endforeach()

# The program loads purSearch.dll from its own folder: build it beside.
if(TARGET purSearch)
  add_dependencies(PURGOWIN purSearch)
endif()
