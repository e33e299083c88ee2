# The personal search's engine: masks and the tree of places (Windows-free), the search
# adapters, the search thread and the hand-over to the library's main thread (Windows).
# The search definition alone (masks, the tree of places and its stream) is what the options
# box edits; the rest walks it.
if(WIN32)
  add_library(purSearchDefinition STATIC ${CMAKE_CURRENT_LIST_DIR}/Algo.cpp ${CMAKE_CURRENT_LIST_DIR}/KeepList.cpp ${CMAKE_CURRENT_LIST_DIR}/CleaningRules.cpp ${CMAKE_CURRENT_LIST_DIR}/LibStrings_win.cpp)
  add_library(purSearchEngine STATIC
    ${CMAKE_CURRENT_LIST_DIR}/PathList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Algo_Rech.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FolderPrefetch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Synchronize.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Thread_Algo.cpp
  )
  target_link_libraries(purSearchDefinition PUBLIC purWinSupport)
  target_link_libraries(purSearchEngine PUBLIC purSearchNames)
else()
  add_library(purSearchDefinition STATIC ${CMAKE_CURRENT_LIST_DIR}/Algo.cpp ${CMAKE_CURRENT_LIST_DIR}/KeepList.cpp ${CMAKE_CURRENT_LIST_DIR}/CleaningRules.cpp ${CMAKE_CURRENT_LIST_DIR}/LibStrings_host.cpp)
  add_library(purSearchEngine STATIC ${CMAKE_CURRENT_LIST_DIR}/PathList.cpp)
endif()
target_include_directories(purSearchDefinition PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(purSearchDefinition PUBLIC purCommon)
target_link_libraries(purSearchEngine PUBLIC purSearchDefinition)
# The string table for programs that link the engine without the library's resources.
set(PUR_SEARCH_STRINGS_RC ${CMAKE_CURRENT_LIST_DIR}/SearchStrings.rc CACHE INTERNAL "")
