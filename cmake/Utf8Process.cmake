# PURGOWIN.exe runs with the UTF-8 ANSI code page (its manifest says so), and so must every
# Windows program that tests the product or shows it: the same A calls, the same French texts.
# pur_utf8_processes() gives them all a manifest declaring it, in one sweep at the end of the
# configuration. Two kinds of executable are left alone, each marked where it is defined:
#   pur_code_page(<target> PROGRAM)  it embeds res/PURGOWIN.exe.manifest, which declares UTF-8
#   pur_code_page(<target> SYSTEM)   it runs deliberately in the system's code page (1252 by
#                                    default), as any other program that loads the library may
if(NOT WIN32)
  function(pur_code_page)
  endfunction()
  function(pur_utf8_processes)
  endfunction()
  return()
endif()

set(PUR_UTF8_PROCESS_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/utf8-process/utf8-process.manifest)
set(PUR_UTF8_PROCESS_RC ${CMAKE_BINARY_DIR}/utf8-process/utf8-process.rc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/utf8-process/utf8-process.rc.in ${PUR_UTF8_PROCESS_RC} @ONLY)

function(pur_code_page target kind)
  if(NOT kind MATCHES "^(PROGRAM|SYSTEM)$")
    message(FATAL_ERROR "pur_code_page(${target} ${kind}): PROGRAM or SYSTEM")
  endif()
  set_property(TARGET ${target} PROPERTY PUR_CODE_PAGE ${kind})
endfunction()

function(pur_utf8_processes dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    get_target_property(kind ${target} PUR_CODE_PAGE)
    if(type STREQUAL "EXECUTABLE" AND NOT kind)
      target_sources(${target} PRIVATE ${PUR_UTF8_PROCESS_RC})
      set_property(SOURCE ${PUR_UTF8_PROCESS_RC} TARGET_DIRECTORY ${target} APPEND PROPERTY
                   OBJECT_DEPENDS ${PUR_UTF8_PROCESS_MANIFEST})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    pur_utf8_processes(${subdir})
  endforeach()
endfunction()
