// The search thread with the hand-over of its progress to the test's main thread, and the
// hand-over mechanism itself.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "EngineTestSupport.h"
#include "LibStrings.h"
#include "Thread_Algo.h"

namespace pur {
namespace {

using test::AddMask;
using test::Joined;
using test::NodeAt;
using test::Relative;
using test::TempTree;

// Runs one search the way the library does: construct, set the lists and handler, start, wait.
struct SearchRun {
  TPathList found;
  StringList errors;
  void Search(TRAPosteDeTravail& tree, TSyncWindow& sync, std::function<bool(double)> handler) {
    TSearchThread thread(tree, found, kPriorityNormal, sync);
    thread.Errors = &errors;
    if (handler) thread.SetProgressHandler(std::move(handler));
    thread.Start();
    thread.WaitFor();
  }
};

TEST(SearchThread, TreeWithoutDrives) {
  TSyncWindow sync;
  TRAPosteDeTravail tree;
  int calls = 0;
  SearchRun run;
  run.Search(tree, sync, [&](double) { return ++calls, true; });
  EXPECT_TRUE(run.found.Empty());
  EXPECT_TRUE(run.errors.empty());
  EXPECT_EQ(calls, 0);
}

TEST(SearchThread, FindsFilesAndReportsOnTheMainThread) {
  TempTree files("thread");
  files.Dir("a");
  files.Dir("b");
  files.File("a\\1.tmp");
  files.File("b\\2.tmp");
  files.File("3.tmp");
  TSyncWindow sync;
  TRAPosteDeTravail tree;
  AddMask(NodeAt(tree, files.Root()), "*.tmp", true);
  const DWORD mainThread = GetCurrentThreadId();
  std::vector<double> values;
  bool allOnMain = true;
  SearchRun run;
  run.Search(tree, sync, [&](double value) {
    allOnMain = allOnMain && GetCurrentThreadId() == mainThread;
    values.push_back(value);
    return true;
  });
  EXPECT_EQ(Relative(run.found, files.Root()), (StringList{"a\\1.tmp", "b\\2.tmp", "3.tmp"})) << Joined(run.found);
  EXPECT_TRUE(run.errors.empty()) << Joined(run.errors);
  EXPECT_TRUE(allOnMain);
  ASSERT_FALSE(values.empty());
  EXPECT_DOUBLE_EQ(values.front(), 0.5);
  EXPECT_DOUBLE_EQ(values.back(), 1.0);
  EXPECT_FALSE(tree.GetCallback());  // the finished thread left no callback behind
}

// The main thread sees a report at most every kProgressHandOverPeriod, and always the last;
// every value it sees is one the search reported, in the search's order.
TEST(SearchThread, ReportsReachTheMainThreadAtMostEveryPeriodAndTheLastAlways) {
  using Clock = std::chrono::steady_clock;
  TempTree files("handover");
  for (int i = 0; i < 300; ++i) files.Dir("d" + std::to_string(i));
  files.File("d7\\x.tmp");
  auto makeTree = [&](TRAPosteDeTravail& tree) { AddMask(NodeAt(tree, files.Root()), "*.tmp", true); };

  TRAPosteDeTravail inProcess;
  makeTree(inProcess);
  std::vector<double> reported;
  inProcess.SetCallback(TSearchProgressEvent::FromFunction([&](double v) { return reported.push_back(v), true; }));
  inProcess.Search();

  TSyncWindow sync;
  TRAPosteDeTravail tree;
  makeTree(tree);
  std::vector<double> seen;
  std::vector<Clock::time_point> times;
  SearchRun run;
  run.Search(tree, sync, [&](double v) {
    seen.push_back(v);
    times.push_back(Clock::now());
    return true;
  });
  EXPECT_EQ(Relative(run.found, files.Root()), StringList{"d7\\x.tmp"});
  ASSERT_FALSE(seen.empty());
  EXPECT_LT(seen.size(), reported.size());
  EXPECT_EQ(seen.back(), reported.back());
  size_t next = 0;
  for (double v : seen) {
    while (next < reported.size() && reported[next] != v) ++next;
    ASSERT_LT(next, reported.size()) << "value " << v << " was never reported (or not in this order)";
    ++next;
  }
  // The last one may follow at once: it is handed over when the search ends.
  for (size_t i = 1; i + 1 < times.size(); ++i) {
    EXPECT_GE(times[i] - times[i - 1], kProgressHandOverPeriod) << "hand-over " << i;
  }
}

TEST(SearchThread, OutcomesOfTheHandler) {
  TempTree files("outcomes");
  files.File("x.tmp");
  struct Case {
    const char* name;
    std::function<bool(double)> handler;
    StringList found;
    StringList errors;
  } cases[] = {
      {"stop at once", [](double) { return false; }, {}, {"Erreur 1001: User abort"}},
      {"raises", [](double) -> bool { throw std::runtime_error("disque perdu"); }, {}, {"Erreur 1001: disque perdu"}},
      {"no handler", nullptr, {"x.tmp"}, {}},
      {"goes on", [](double) { return true; }, {"x.tmp"}, {}},
  };
  TSyncWindow sync;
  for (const Case& c : cases) {
    TRAPosteDeTravail tree;
    AddMask(NodeAt(tree, files.Root()), "*.tmp", false);
    SearchRun run;
    run.Search(tree, sync, c.handler);
    EXPECT_EQ(Relative(run.found, files.Root()), c.found) << c.name << ": " << Joined(run.found);
    EXPECT_EQ(run.errors, c.errors) << c.name << ": " << Joined(run.errors);
  }
}

TEST(SearchThread, ErrorsWithoutListAreDropped) {
  TSyncWindow sync;
  TRAPosteDeTravail tree;
  tree.AddChildByName("A");
  TPathList found;
  TSearchThread thread(tree, found, kPriorityIdle, sync);
  thread.SetProgressHandler([](double) { return false; });
  thread.Start();
  thread.WaitFor();
  EXPECT_TRUE(found.Empty());
}

TEST(SearchThread, SetProgressHandler) {
  TSyncWindow sync;
  TRAPosteDeTravail tree;
  TPathList found;
  TSearchThread thread(tree, found, kPriorityNormal, sync);
  struct Handler {
    bool Go(double) { return true; }
  } handler;
  auto event = TSearchProgressEvent::Bind<&Handler::Go>(&handler);
  thread.SetProgressHandler(event);
  const TSearchProgressEvent bound = tree.GetCallback();
  EXPECT_TRUE(bound);
  tree.SetCallback(TSearchProgressEvent());
  thread.SetProgressHandler(event);  // the same handler: nothing happens
  EXPECT_FALSE(tree.GetCallback());
  thread.SetProgressHandler(bound);  // another one
  EXPECT_TRUE(tree.GetCallback());
  thread.SetProgressHandler(TSearchProgressEvent());
  EXPECT_FALSE(tree.GetCallback());
  EXPECT_EQ(thread.GetTreeText(), "<Poste de travail>");
}

TEST(SearchThread, NeverStartedThreadNeverRuns) {
  TSyncWindow sync;
  TRAPosteDeTravail tree;
  tree.AddChildByName("A");
  TPathList found;
  StringList errors;
  int calls = 0;
  {
    TSearchThread thread(tree, found, kPriorityNormal, sync);
    thread.Errors = &errors;
    thread.SetProgressHandler([&](double) { return ++calls, true; });
    thread.WaitFor();  // returns at once: nothing was started
  }
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(errors.empty());
  EXPECT_FALSE(tree.GetCallback());
}

TEST(SyncWindow, InvokeRunsOnTheOwnerAndCarriesExceptionsBack) {
  TSyncWindow sync;
  EXPECT_TRUE(sync.IsOwnerThread());
  const DWORD owner = GetCurrentThreadId();
  std::atomic<DWORD> ranOn{0};
  std::string caught;
  bool otherIsOwner = true;
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread worker([&] {
    otherIsOwner = sync.IsOwnerThread();
    for (int i = 0; i < 200; ++i) sync.Invoke([&] { ranOn = GetCurrentThreadId(); });
    try {
      sync.Invoke([] { throw std::runtime_error("from the main thread"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
    SetEvent(done);
  });
  WaitHandlingSentMessages(done);
  worker.join();
  CloseHandle(done);
  EXPECT_FALSE(otherIsOwner);
  EXPECT_EQ(ranOn.load(), owner);
  EXPECT_EQ(caught, "from the main thread");

  int direct = 0;
  sync.Invoke([&] { direct = 1; });
  EXPECT_EQ(direct, 1);
  EXPECT_THROW(sync.Invoke([] { throw std::logic_error("here"); }), std::logic_error);
}

TEST(SyncWindow, SeveralWindowsComeAndGo) {
  for (int i = 0; i < 3; ++i) {
    TSyncWindow a;
    TSyncWindow b;
    int calls = 0;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
      a.Invoke([&] { ++calls; });
      b.Invoke([&] { ++calls; });
      SetEvent(done);
    });
    WaitHandlingSentMessages(done);
    worker.join();
    CloseHandle(done);
    EXPECT_EQ(calls, 2);
  }
}

// The library's own table holds the texts (that the engine reads its module's table is
// shown by a test program with a table of its own).
TEST(Strings, TheLibrarysStringTableHoldsTheTexts) {
  char text[64] = {};
  ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), kIdsPosteDeTravail, text, sizeof text), 0);
  EXPECT_STREQ(text, "Poste de travail");
  ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), kIdsRecursif, text, sizeof text), 0);
  EXPECT_STREQ(text, "Recursif");
  EXPECT_EQ(TMasque("*.x", true).ToText(), "*.x - [Recursif]");
}

}  // namespace
}  // namespace pur
