# Fill time of the file list dialog for 10 000 and 100 000 rows.
add_executable(bench_filelist bench_filelist.cpp HeapCount.cpp)
target_include_directories(bench_filelist PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(bench_filelist PRIVATE purComponents)
