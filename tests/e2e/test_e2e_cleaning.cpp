// A whole personal cleaning driven the way a foreign client drives it: purSearch.dll loaded
// by name, nothing but its exports. Init, lock, search tree as bytes, search, both list
// fetches, deletion of every found file, journal, and then the disk is checked: exactly the
// matching deletable files are gone, every other file is byte for byte and attribute for
// attribute as it was, and nothing new appeared.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "BuildTreeTrash.h"
#include "PurApi.h"
#include "SampleFiles.h"
#include "TreeStreamWriter.h"
#include "Sandbox.h"

using purtest::PurApi;

namespace {

using purtest::Environment;
using purtest::TrashFiles;
using purtest::TrashIsSandboxed;
using purtest::UnixHome;

using pur::kCleanPersoSearch;
using pur::kCleanRecycleBin;
using pur::kEndRecycleBin;
using pur::kEndSearch;
constexpr size_t kLengthBufferSize = 255;
constexpr size_t kHeaderWidth = 64;
constexpr char kAppName[] = "PUR400-e2e";
constexpr char kProduct[] = "Purgo for Windows (e2e client)";
constexpr char kLockName[] = "E2E-client";
constexpr char kBoxTop[] = "(**************************************************************)";
constexpr char kBoxReport[] = "(*                    Rapport de recherche                    *)";

std::vector<uint8_t> g_ends;
void __stdcall RecordEnd(uint8_t kind) { g_ends.push_back(kind); }

using purtest::Mask;

bool IsBlank(char c) { return c != 0 && static_cast<unsigned char>(c) <= ' '; }

// Comma text as the library publishes it: quoted items with doubled quotes, or bare items
// that end at a blank or a comma.
std::vector<std::string> ReadCommaText(const std::string& text) {
  std::vector<std::string> items;
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && IsBlank(text[i])) ++i;
  };
  skipBlanks();
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      for (++i; i < text.size(); ++i) {
        if (text[i] != '"') {
          item += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
          item += '"';
          ++i;
        } else {
          ++i;
          break;
        }
      }
    } else {
      while (i < text.size() && !IsBlank(text[i]) && text[i] != ',') item += text[i++];
    }
    items.push_back(item);
    skipBlanks();
    if (i < text.size() && text[i] == ',') {
      ++i;
      skipBlanks();
      if (i == text.size()) items.emplace_back();
    }
  }
  return items;
}

// The program's two-call fetch, checked as a careful client would: the length text is a
// number, the text has exactly that length, and nothing is written past it.
std::string FetchList(const PurApi& api, int n) {
  char length[kLengthBufferSize];
  std::memset(length, 0x7F, sizeof length);
  api.getSearchLists(1003 + n, length);
  const size_t digits = strnlen(length, sizeof length);
  EXPECT_LT(digits, sizeof length) << "list " << n << ": length text not terminated";
  EXPECT_GT(digits, 0u) << "list " << n;
  EXPECT_TRUE(std::all_of(length, length + digits, [](char c) { return c >= '0' && c <= '9'; }))
      << "list " << n << ": \"" << std::string(length, digits) << "\"";
  const size_t size = static_cast<size_t>(std::strtoul(length, nullptr, 10));
  constexpr char kGuard = '\x5A';
  std::string buffer(size + 2, kGuard);
  api.getSearchLists(1000 + n, buffer.data());
  EXPECT_EQ(buffer[size], '\0') << "list " << n << ": text longer or shorter than announced";
  EXPECT_EQ(buffer[size + 1], kGuard) << "list " << n << ": written past length + 1";
  EXPECT_EQ(strnlen(buffer.data(), size), size) << "list " << n << ": zero inside the text";
  return buffer.substr(0, size);
}

struct FileState {
  std::string bytes;
  DWORD attributes;
};

// Every file below `folder`, hidden folders included, keyed by its path.
void Snapshot(const std::string& folder, std::map<std::string, FileState>& files) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Snapshot(path + "\\", files);
    } else {
      files[path] = {sandbox::ReadBytes(path), data.dwFileAttributes};
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
}

using purtest::ContentFor;
using purtest::Kind;
using purtest::SampleFile;

const std::vector<SampleFile> kSamples = purtest::SamplesWith({
    {"~%both.tmp", Kind::Twice, 0},
    {"%semi;colon.tmp", Kind::Plain, 0},
    {"%notes.tmpl", Kind::ShortNameOnly, 0},
    {"sub\\deeper\\%ro.tmp", Kind::ReadOnly, FILE_ATTRIBUTE_READONLY},
    {"hidden dir\\~%in-hidden.doc", Kind::Keep, 0},
});

const std::vector<purtest::Mask>& kMasks = purtest::kSampleMasks;

std::string Named(const char* pattern, const std::string& tag) { return purtest::SampleName(pattern, tag); }

// Whether the platform's own listing of `pattern` yields `name` (the library hands mask
// patterns to it unchanged).
bool PlatformLists(const std::string& pattern, const std::string& name) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool seen = false;
  do {
    seen = seen || _stricmp(data.cFileName, name.c_str()) == 0;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return seen;
}

struct Expectation {
  std::multiset<std::string> listed;       // list 1, as a multiset of paths
  std::set<std::string> gone;              // files that must be missing afterwards
  std::map<std::string, int32_t> result;   // first DeleteFile answer per listed path
};

Expectation Expect(const sandbox::Folder& box, const std::string& tag, bool allowReadOnlyHidden) {
  Expectation e;
  for (const SampleFile& s : kSamples) {
    const std::string name = Named(s.name, tag);
    const std::string path = box / name;
    const int32_t size = static_cast<int32_t>(ContentFor(name, s.kind).size());
    switch (s.kind) {
      case Kind::Keep:
        break;
      case Kind::ShortNameOnly:
        // The platform lists it for "*.tmp" (Wine and NTFS with 8.3 names do); the library
        // takes long names only, so a "*.tmp" mask never reaches a ".tmpl" file.
        if (!PlatformLists(box / "*.tmp", name)) {
          std::printf("note: the platform does not match %s by its short name\n", name.c_str());
        }
        break;
      case Kind::Plain:
        e.listed.insert(path);
        e.gone.insert(path);
        e.result[path] = size;
        break;
      case Kind::Twice:
        e.listed.insert(path);
        e.listed.insert(path);
        e.gone.insert(path);
        e.result[path] = size;
        break;
      case Kind::Empty:
        e.listed.insert(path);
        e.gone.insert(path);
        e.result[path] = 0;  // gone, yet reported as "not deleted"
        break;
      case Kind::ReadOnly:
      case Kind::Hidden:
        e.listed.insert(path);
        if (allowReadOnlyHidden) e.gone.insert(path);
        e.result[path] = allowReadOnlyHidden ? size : 0;
        break;
      case Kind::System:
        e.listed.insert(path);
        e.result[path] = 0;
        break;
    }
  }
  return e;
}

void LayOut(const sandbox::Folder& box, const std::string& tag) {
  sandbox::MakeFolder(box / "sub");
  sandbox::MakeFolder(box / "sub\\deeper");
  sandbox::MakeFolder(box / "hidden dir");
  for (const SampleFile& s : kSamples) {
    const std::string name = Named(s.name, tag);
    sandbox::WriteBytes(box / name, ContentFor(name, s.kind), s.attributes);
  }
  SetFileAttributesA((box / "hidden dir").c_str(), FILE_ATTRIBUTE_HIDDEN);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

std::string Centred(const std::string& text) {
  const size_t spaces = text.size() < 58 ? 58 - text.size() : 0;
  return std::string(spaces / 2, ' ') + text + std::string(spaces - spaces / 2, ' ');
}

std::string ShortDateNow() {
  char date[128] = {};
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date);
  return date;
}

// The five header lines, the empty line, then the body's lines.
void ExpectEntry(const std::vector<std::string>& lines, size_t at, const std::vector<std::string>& body,
                 const std::set<std::string>& dates) {
  ASSERT_GE(lines.size(), at + 6 + body.size());
  EXPECT_EQ(lines[at], kBoxTop);
  EXPECT_EQ(lines[at + 1], "(* " + Centred(kProduct) + " *)");
  EXPECT_EQ(lines[at + 2], kBoxReport);
  const std::string& dateLine = lines[at + 3];
  EXPECT_EQ(dateLine.size(), kHeaderWidth) << dateLine;
  // The time part follows the user's format; the date must be today's.
  std::string inner = dateLine.size() > 6 ? dateLine.substr(3, dateLine.size() - 6) : "";
  EXPECT_EQ(dateLine, "(* " + inner + " *)");
  inner.erase(0, inner.find_first_not_of(' '));
  bool dated = false;
  for (const std::string& d : dates) dated = dated || inner.rfind("Le " + d, 0) == 0;
  EXPECT_TRUE(dated) << dateLine;
  EXPECT_EQ(lines[at + 4], kBoxTop);
  EXPECT_EQ(lines[at + 5], "");
  for (size_t i = 0; i < body.size(); ++i) EXPECT_EQ(lines[at + 6 + i], body[i]) << "body line " << i;
}

struct RunCase {
  const char* tag;
  bool toRecycleBin;
  bool allowReadOnlyHidden;
};

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(api_.Load(), "");
    api_.InitLibrarie(kAppName, kProduct, "--------");
    ASSERT_EQ(api_.LastError(), "");
    ASSERT_EQ(api_.GetNbLibrairy(), 1) << "another process holds the library's shared state";
    api_.setEndProc(RecordEnd);
    ASSERT_EQ(api_.LockLib(kLockName), 1);
    g_ends.clear();
  }
  void TearDown() override {
    if (!api_.FreeLibrarie) return;
    api_.UnLockLib(kLockName);
    api_.FreeLibrarie();
  }

  void Run(const RunCase& c);

  PurApi api_;
};

void EndToEnd::Run(const RunCase& c) {
  SCOPED_TRACE(c.tag);
  g_ends.clear();
  sandbox::Folder box, journalFolder;
  LayOut(box, c.tag);
  std::map<std::string, FileState> before;
  Snapshot(box.Path(), before);
  ASSERT_EQ(before.size(), std::size(kSamples));
  const Expectation expected = Expect(box, c.tag, c.allowReadOnlyHidden);

  // Search.
  const std::string tree = purtest::TreeStreamFor(box.Path(), kMasks);
  ASSERT_EQ(api_.InitPersoTree(tree.data(), static_cast<int32_t>(tree.size())), 1);
  EXPECT_EQ(api_.CleanWindows(kCleanPersoSearch), 0);
  EXPECT_EQ(api_.LastError(), "");
  EXPECT_EQ(g_ends, std::vector<uint8_t>{kEndSearch});
  EXPECT_EQ(api_.GetCurrentStatus(), 0);
  EXPECT_DOUBLE_EQ(api_.GetCurrentPercent(), 1.0);

  const std::vector<std::string> found = ReadCommaText(FetchList(api_, 1));
  EXPECT_EQ(FetchList(api_, 2), "");
  EXPECT_EQ(FetchList(api_, 3), "");
  EXPECT_EQ(std::multiset<std::string>(found.begin(), found.end()), expected.listed);

  // Delete each found file, as the program does, and compose its report.
  std::string body;
  std::vector<std::string> bodyLines;
  std::set<std::string> answered;
  for (const std::string& path : found) {
    const int32_t size = api_.DeleteFile(path.c_str(), c.toRecycleBin, c.allowReadOnlyHidden);
    const bool first = answered.insert(path).second;
    const auto want = expected.result.find(path);
    const int32_t wanted = first && want != expected.result.end() ? want->second : 0;
    EXPECT_EQ(size, wanted) << path << (first ? "" : " (listed again)");
    bodyLines.push_back(" * " + path + (size > 0 ? " : OK" : " : FAILED"));
    body += bodyLines.back() + "\r\n";
  }

  // The disk: exactly the expected files are gone, the rest is untouched.
  std::map<std::string, FileState> after;
  Snapshot(box.Path(), after);
  for (const auto& [path, state] : before) {
    const auto now = after.find(path);
    if (expected.gone.count(path)) {
      EXPECT_EQ(now, after.end()) << path << " should be gone";
      continue;
    }
    ASSERT_NE(now, after.end()) << path << " should still be there";
    EXPECT_TRUE(now->second.bytes == state.bytes) << path << " changed";
    EXPECT_EQ(now->second.attributes, state.attributes) << path;
  }
  for (const auto& entry : after) EXPECT_TRUE(before.count(entry.first)) << entry.first << " appeared";

  if (c.toRecycleBin) {
    for (const std::string& path : expected.gone) {
      const std::string name = path.substr(path.rfind('\\') + 1);
      EXPECT_EQ(sandbox::ReadBytes(TrashFiles() + name), before[path].bytes) << name << " in the Trash";
    }
    EXPECT_EQ(api_.CleanWindows(kCleanRecycleBin), 0);
    EXPECT_EQ(g_ends, (std::vector<uint8_t>{kEndSearch, kEndRecycleBin}));
    for (const std::string& path : expected.gone) {
      const std::string name = path.substr(path.rfind('\\') + 1);
      EXPECT_FALSE(sandbox::Exists(TrashFiles() + name)) << name << " left in the emptied Trash";
    }
  }

  // The journal: a new one, then an entry appended to it.
  const std::string journal = journalFolder / "PURGOWIN.LOG";
  std::set<std::string> dates = {ShortDateNow()};
  api_.CreateFileLog(journal.c_str(), kAppName, body.c_str(), 1);
  EXPECT_EQ(api_.LastError(), "");
  api_.CreateFileLog(journal.c_str(), kAppName, "second entry\r\n", 0);
  EXPECT_EQ(api_.LastError(), "");
  dates.insert(ShortDateNow());
  const std::string text = sandbox::ReadBytes(journal);
  const std::vector<std::string> lines = Lines(text);
  ExpectEntry(lines, 0, bodyLines, dates);
  const size_t second = 6 + bodyLines.size() + 1;  // the first entry's body ends with CR LF
  ExpectEntry(lines, second, {"second entry"}, dates);
  EXPECT_EQ(lines.size(), second + 8) << text;
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n") << "the body's CR LF, then the entry's";
  EXPECT_EQ(sandbox::CountEntries(journalFolder.Path()), 1) << "nothing but the journal";
}

TEST_F(EndToEnd, PermanentDeletionRemovesExactlyTheMatchingDeletableFiles) {
  const RunCase cases[] = {
      {"p0-", false, false},
      {"p1-", false, true},
  };
  for (const RunCase& c : cases) Run(c);
}

TEST_F(EndToEnd, RecycledFilesReachTheTrashAndLeaveWithItsEmptying) {
  if (!TrashIsSandboxed()) {
    GTEST_SKIP() << "HOME (" << UnixHome() << ") or XDG_DATA_HOME (" << Environment("XDG_DATA_HOME")
                 << ") is outside " << PUR_BUILD_DIR;
  }
  const RunCase cases[] = {
      {"r0-", true, false},
      {"r1-", true, true},
  };
  for (const RunCase& c : cases) Run(c);
}

}  // namespace
