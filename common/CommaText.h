// Comma text: the one form in which a list of strings crosses the library boundary
// or sits in shared memory. Windows-free; the ANSI code page's lead bytes are supplied
// by the caller (none in single-byte code pages such as 1252).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pur {

using StringList = std::vector<std::string>;

// Answers true when the byte starts a double-byte character in the ANSI code page.
using LeadBytePredicate = bool (*)(unsigned char);

// The ANSI code page of the running process on Windows; none (no lead bytes) for a code page
// without double-byte characters, UTF-8 included, and off Windows.
LeadBytePredicate AnsiLeadBytes();

std::string WriteCommaText(const StringList& items, LeadBytePredicate isLead = AnsiLeadBytes());

// The same text for a list held in another form, written straight into the caller's buffer so
// that a large list is not copied on the way: `item(i)` gives the i-th of `count` items.
using CommaTextItem = std::function<std::string_view(size_t index)>;
// The size of the text in bytes.
size_t CommaTextSize(size_t count, const CommaTextItem& item, LeadBytePredicate isLead = AnsiLeadBytes());
// Writes the text at `out`, which has room for CommaTextSize bytes; answers the end of it.
char* WriteCommaTextTo(char* out, size_t count, const CommaTextItem& item,
                       LeadBytePredicate isLead = AnsiLeadBytes());

// Reads up to the end of the view or its first zero byte, whichever comes first.
StringList ReadCommaText(std::string_view text, LeadBytePredicate isLead = AnsiLeadBytes());

}  // namespace pur
