// Folders listed ahead on other threads: the walk's lists, notes and progress reports are those
// of the walk without threads, on trees made to stress the order (many small folders, a deep
// chain, a wide folder, hidden and system folders, links, names in other scripts, stored places
// and a mask's folder part); a stop ends every thread before the search returns.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "FolderPrefetch.h"
#include "ProcessThreads.h"
#include "UnixLinks.h"

namespace pur {
namespace {

using test::AddMask;
using test::NodeAt;
using test::TempTree;
using purtest::MakeUnixLink;
using purtest::RemoveUnixLink;
using purtest::ThreadsOfThisProcess;
using purtest::WideOfAnsi;

struct Walk {
  StringList found;
  StringList notes;
  std::vector<double> progress;
};

// A fresh tree of places each time: discovery adds the folders it meets to the tree.
Walk SearchWith(const TempTree& tree, int threads) {
  TRAPosteDeTravail computer;
  TRADossier& root = NodeAt(computer, tree.Root());
  AddMask(root, "*.tmp", true);
  AddMask(root, "~*.*", true);
  AddMask(root, "*.bak", false);
  AddMask(root, "Cache\\*.dat", true);
  AddMask(NodeAt(computer, tree.Path("stored\\")), "*.log", false);
  AddMask(NodeAt(computer, tree.Path("stored\\gone\\")), "*.tmp", true);
  Walk walk;
  computer.SetCallback(TSearchProgressEvent::FromFunction([&](double value) {
    walk.progress.push_back(value);
    return true;
  }));
  computer.GetAdapter().SetListingThreads(threads);
  walk.found = computer.Search(&walk.notes).ToStrings();
  return walk;
}

TEST(ParallelSearch, SameListsNotesAndProgressAsTheWalkWithoutThreads) {
  TempTree tree("parallel");
  for (int i = 0; i < 150; ++i) {  // many small folders
    const std::string folder = "small" + std::to_string(i) + "\\";
    tree.Dir(folder);
    tree.File(folder + "a.tmp");
    if (i % 3 == 0) tree.File(folder + "~b.doc");
    if (i % 5 == 0) {
      tree.Dir(folder + "Cache");
      tree.File(folder + "Cache\\c.dat");
    }
  }
  std::string chain;  // a deep chain
  for (int depth = 0; depth < 40; ++depth) {
    chain += "d" + std::to_string(depth) + "\\";
    tree.Dir(chain);
    tree.File(chain + "x" + std::to_string(depth) + ".tmp");
  }
  tree.Dir("wide");
  for (int i = 0; i < 1500; ++i) tree.File("wide\\w" + std::to_string(i) + (i % 2 ? ".tmp" : ".txt"));
  tree.Dir("hidden", FILE_ATTRIBUTE_HIDDEN);
  tree.File("hidden\\h.tmp");
  tree.Dir("system", FILE_ATTRIBUTE_SYSTEM);
  tree.File("system\\s.tmp");
  for (const char* name : {"été", "日本語", "Ελληνικά", "😀"}) {
    tree.Dir(name);
    tree.File(std::string(name) + "\\" + name + ".tmp");
  }
  tree.File("top.bak");
  tree.Dir("stored");
  tree.File("stored\\s.log");
  tree.Dir("target");
  tree.File("target\\behind.tmp");
  const bool linked = MakeUnixLink(WideOfAnsi(tree.Path("link")), WideOfAnsi(tree.Path("target")));

  const Walk sequential = SearchWith(tree, 0);
  ASSERT_GT(sequential.found.size(), 400u);
  ASSERT_FALSE(sequential.progress.empty());
  for (const int threads : {1, 2, 4}) {
    SCOPED_TRACE(threads);
    for (int round = 0; round < 3; ++round) {
      const Walk parallel = SearchWith(tree, threads);
      EXPECT_EQ(parallel.found, sequential.found);
      EXPECT_EQ(parallel.notes, sequential.notes);
      EXPECT_EQ(parallel.progress, sequential.progress);  // same values, exactly
    }
  }
  if (linked) RemoveUnixLink(WideOfAnsi(tree.Path("link")));
}

TEST(ParallelSearch, AStopEndsTheWalkAndEveryThreadAtOnce) {
  TempTree tree("parallel-stop");
  for (int i = 0; i < 400; ++i) {
    const std::string folder = "f" + std::to_string(i) + "\\";
    tree.Dir(folder);
    for (int j = 0; j < 20; ++j) tree.File(folder + std::to_string(j) + ".tmp");
  }
  const int before = ThreadsOfThisProcess();
  int during = 0;
  int reports = 0;
  std::chrono::steady_clock::time_point stopped;
  TRAPosteDeTravail computer;
  AddMask(NodeAt(computer, tree.Root()), "*.tmp", true);
  computer.SetCallback(TSearchProgressEvent::FromFunction([&](double) {
    if (++reports < 100) return true;
    during = ThreadsOfThisProcess();
    stopped = std::chrono::steady_clock::now();
    return false;
  }));
  computer.GetAdapter().SetListingThreads(4);
  EXPECT_THROW(computer.Search(), ERAException);
  const auto returned = std::chrono::steady_clock::now();
  EXPECT_EQ(during, before + 4) << "the listing threads were not running";
  EXPECT_EQ(ThreadsOfThisProcess(), before) << "a listing thread outlived the search";
  const double stopMs = std::chrono::duration<double, std::milli>(returned - stopped).count();
  EXPECT_LT(stopMs, 30.0);
}

}  // namespace
}  // namespace pur
