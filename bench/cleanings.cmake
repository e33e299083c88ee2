# The cleanings through the library's exports, next to the bare platform calls they wrap.
add_executable(bench_cleanings ${CMAKE_CURRENT_LIST_DIR}/bench_cleanings.cpp)
target_include_directories(bench_cleanings PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(bench_cleanings PRIVATE purCommon shell32)
# The Recycle Bin part runs only when the Trash lies inside this build tree.
target_compile_definitions(bench_cleanings PRIVATE PUR_BUILD_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(bench_cleanings purSearch)
