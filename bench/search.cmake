# The personal search against the platform's own listing cost.
add_executable(bench_search ${CMAKE_CURRENT_LIST_DIR}/bench_search.cpp ${CMAKE_CURRENT_LIST_DIR}/HeapCount.cpp
  ${PUR_SEARCH_STRINGS_RC})
target_link_libraries(bench_search PRIVATE purSearchEngine)
target_include_directories(bench_search PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
