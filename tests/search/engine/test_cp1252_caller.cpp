// The library's units in a caller whose ANSI code page is still 1252, as any other program
// that loads purSearch.dll may be: this program deliberately carries no UTF-8 manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include "Algo.h"
#include "EngineTestSupport.h"

namespace pur {
namespace {

TEST(Cp1252Caller, ProcessKeepsTheSystemCodePage) {
  ASSERT_EQ(GetACP(), 1252u) << "this program must run without the UTF-8 manifest";
  EXPECT_EQ(ProcessStreamTexts(), TStreamTexts::AsStored);
}

TEST(Cp1252Caller, StoredNamesStayInTheCallersCodePage) {
  // Drive C, folder "Données" with mask "é*.tmp", all in 1252 bytes.
  const std::vector<uint8_t> bytes = {1, 0, 0, 0, 1, 'C', 1, 0, 0, 0, 7, 'D', 'o', 'n', 'n', 0xE9, 'e', 's',
                                      0, 0, 0, 0, 1, 0, 0, 0, 6, 0xE9, '*', '.', 't', 'm', 'p', 0, 0, 0, 0, 0};
  TMemoryStream stream(bytes);
  stream.SetTexts(ProcessStreamTexts());
  TPosteDeTravail tree;
  tree.LoadFromStream(stream);
  ASSERT_EQ(tree.Count(), 1);
  ASSERT_EQ(tree.GetChild(0)->Count(), 1);
  auto& folder = dynamic_cast<TDossier&>(*tree.GetChild(0)->GetChild(0));
  EXPECT_EQ(folder.GetPath(), "C:\\Donn\xE9" "es\\");
  EXPECT_EQ(folder.Masks().GetItem(0)->Text, "\xE9*.tmp");
  EXPECT_EQ(SaveTreeBytes(tree), bytes);
}

TEST(Cp1252Caller, MasksMatchOneByteACharacter) {
  struct Case {
    const char* name;
    const char* pattern;
    bool expected;
  } cases[] = {
      {"\xE9t\xE9.tmp", "\xE9*.tmp", true}, {"\xC9t\xE9.tmp", "\xE9*.tmp", true}, {"ete.tmp", "\xE9*.tmp", false},
      {"\xE9.tmp", "?.tmp", true},          {"\x8A.txt", "\x9A.TXT", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.expected) << c.name << " / " << c.pattern;
  }
}

using test::AddMask;
using test::Joined;
using test::NodeAt;
using test::Relative;
using test::TempTree;

TEST(Search, NamesOutsideTheCodePageAreNotReported) {
  TempTree tree("unicode");
  tree.File("plain.tmp");
  const std::wstring wideRoot(tree.Root().begin(), tree.Root().end());
  for (const wchar_t* name : {L"\u4E2D.tmp", L"a\u4E2Db.tmp"}) {
    HANDLE file = CreateFileW((wideRoot + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  ASSERT_TRUE(CreateDirectoryW((wideRoot + L"\u4E2D").c_str(), nullptr));
  TRAPosteDeTravail computer;
  TRADossier& root = NodeAt(computer, tree.Root());
  AddMask(root, "*.tmp", true);
  StringList found = Relative(computer.Search(), tree.Root());
  // "?.tmp" would name nothing, and as a shell wildcard every one-letter ".tmp" file.
  EXPECT_EQ(found, (StringList{"plain.tmp"})) << Joined(found);
  EXPECT_EQ(root.Count(), 0);
}

}  // namespace
}  // namespace pur
