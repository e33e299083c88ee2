// The library's texts at its ANSI boundary. Its own texts are UTF-8 in the source; a caller
// gets every text in its process's ANSI code page: UTF-8 for the program (its manifest says
// so), maybe 1252 for another program that loads the library.
#pragma once

#include <string>
#include <string_view>

namespace pur {

// A UTF-8 text of the library (its own French texts, the application names) in the process's
// ANSI code page, without best fit: a character with no exact form there becomes '?'. Never
// for a file name: names are converted exactly, or not at all, where they are listed.
std::string CallerText(std::string_view utf8);

// A text of the process's ANSI code page as UTF-8, the form in which texts travel between
// processes of different code pages (the application names).
std::string Utf8FromCallerText(std::string_view text);

}  // namespace pur
