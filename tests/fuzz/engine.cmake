# The tree-stream loader reads bytes that come from the registry.
add_library(purSearchEngineFuzz STATIC
  ${CMAKE_SOURCE_DIR}/search/Algo.cpp
  ${CMAKE_SOURCE_DIR}/search/KeepList.cpp
  ${CMAKE_SOURCE_DIR}/search/LibStrings_host.cpp
)
target_include_directories(purSearchEngineFuzz PUBLIC ${CMAKE_SOURCE_DIR}/search)
target_compile_options(purSearchEngineFuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined)

target_link_libraries(purSearchEngineFuzz PUBLIC purCommonFuzz)

pur_fuzz_target(tree_stream fuzz_tree_stream.cpp purSearchEngineFuzz)

# The keep list is read from the registry and from what the user types.
pur_fuzz_target(keep_list fuzz_keep_list.cpp purSearchEngineFuzz)
