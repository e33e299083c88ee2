// Writes one entry of the search journal: boxed header, date, body; append or new file.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "FileLogFormat.h"

namespace pur {

// The journal could not be read or written; the text names the file.
class EFileLog : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An entry is written wholly in the process's ANSI code page; this is how to count its
// characters.
TLogEncoding ProcessLogEncoding();

// "Le " + the user's short date + " " + long time of When (no time at exactly midnight).
std::string FormatLogDate(const SYSTEMTIME& when);

// Adds the entry to the journal at Path (NewFile: the entry alone). Title and body are in the
// process's ANSI code page, as the date is. The new content goes to
// a temporary file beside the journal, which then replaces it in one step; an existing
// journal that can't be read is left untouched. Throws EFileLog.
void WriteFileLog(const std::string& path, const std::string& title, const std::string& body,
                  bool newFile, const SYSTEMTIME& when);

// The same, dated now (local time).
void WriteFileLog(const std::string& path, const std::string& title, const std::string& body,
                  bool newFile);

}  // namespace pur
