// Every C++ allocation of a benchmark program is counted, so that the peak of a call can be
// read. Linking HeapCount.cpp replaces the program's operator new and delete.
#pragma once

#include <cstdint>

namespace bench {

// The bytes held now through operator new.
int64_t LiveHeapBytes();
// Starts a new peak at the bytes held now, and answers them.
int64_t MarkHeapPeak();
// The most held since the last mark.
int64_t PeakHeapBytes();

}  // namespace bench
