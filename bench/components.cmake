# The file list dialog at 10 000, 100 000 and 1 000 000 rows: shown, OK, the window answering
# meanwhile, the keep menu's untick, and its heap.
add_executable(bench_filelist bench_filelist.cpp HeapCount.cpp)
target_include_directories(bench_filelist PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(bench_filelist PRIVATE purComponents)
