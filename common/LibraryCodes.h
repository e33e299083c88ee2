// The numbers that cross the search library's boundary: the operation codes of CleanWindows
// and getSearchLists and the kinds of the end callback. The library, the program and the
// tests take them from here.
#pragma once

#include <cstdint>

namespace pur {

// CleanWindows
inline constexpr int32_t kCleanRecycleBin = 1001;
inline constexpr int32_t kCleanTempFolder = 1002;
inline constexpr int32_t kCleanPersoSearch = 1003;
inline constexpr int32_t kCleanStop = 1004;

// getSearchLists: the text of list 1 to 3, then the length of list 1 to 3 as decimal text.
inline constexpr int kListCount = 3;
inline constexpr int32_t kListTextFirst = 1001;
inline constexpr int32_t kListTextLast = kListTextFirst + kListCount - 1;
inline constexpr int32_t kListLengthFirst = kListTextLast + 1;
inline constexpr int32_t kListLengthLast = kListLengthFirst + kListCount - 1;

// The end callback's kind: which cleaning has ended.
inline constexpr uint8_t kEndRecycleBin = 0;
inline constexpr uint8_t kEndTempFolder = 1;
inline constexpr uint8_t kEndSearch = 2;

}  // namespace pur
