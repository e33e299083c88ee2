# The personal search's engine: masks and the tree of places (Windows-free), the search
# adapters, the search thread and the hand-over to the library's main thread (Windows).
if(WIN32)
  add_library(purSearchEngine STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Algo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PathList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LibStrings_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Algo_Rech.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Synchronize.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Thread_Algo.cpp
  )
else()
  add_library(purSearchEngine STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Algo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PathList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LibStrings_host.cpp
  )
endif()
target_include_directories(purSearchEngine PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(purSearchEngine PUBLIC purCommon)
if(WIN32)
  target_link_libraries(purSearchEngine PUBLIC purSearchNames)
endif()
# The string table for programs that link the engine without the library's resources.
set(PUR_SEARCH_STRINGS_RC ${CMAKE_CURRENT_LIST_DIR}/SearchStrings.rc CACHE INTERNAL "")
