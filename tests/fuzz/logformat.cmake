# The journal's line splitter reads whatever file lies at the journal's path.
add_library(purSearchLogFormatFuzz STATIC ${CMAKE_SOURCE_DIR}/search/FileLogFormat.cpp)
target_include_directories(purSearchLogFormatFuzz PUBLIC ${CMAKE_SOURCE_DIR}/search)
target_link_libraries(purSearchLogFormatFuzz PUBLIC purCommonFuzz)
target_compile_options(purSearchLogFormatFuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined)

pur_fuzz_target(fuzz_log_lines fuzz_log_lines.cpp purSearchLogFormatFuzz)
