// The owners free exactly once: a moved-from or released owner must not close what another
// now holds, and Reset must close the handle it replaces.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "GdiOwners.h"
#include "WinOwners.h"

namespace pur {
namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

std::string State(HANDLE handle) { return IsOpen(handle) ? "open" : "closed"; }

// Each case does one thing to owners of events and tells what became of the events.
TEST(WinOwners, FreeEachHandleExactlyOnce) {
  struct Case {
    const char* what;
    std::function<std::string()> observe;
    const char* expected;
  };
  const Case cases[] = {
      {"an owner that goes closes its handle",
       [] {
         HANDLE event = NewEvent();
         { const THandle owner(event); }
         return State(event);
       },
       "closed"},
      {"Reset closes the old handle and keeps the new one",
       [] {
         HANDLE first = NewEvent();
         HANDLE second = NewEvent();
         THandle owner(first);
         owner.Reset(second);
         return State(first) + " " + State(second);
       },
       "closed open"},
      {"a moved-from owner closes nothing and the new owner holds the handle",
       [] {
         HANDLE event = NewEvent();
         THandle from(event);
         THandle to(std::move(from));
         const bool emptied = !from;
         from.Reset();
         return std::string(emptied ? "empty " : "held ") + State(event) + (to.Get() == event ? " moved" : " lost");
       },
       "empty open moved"},
      {"move assignment closes the target's handle",
       [] {
         HANDLE kept = NewEvent();
         HANDLE replaced = NewEvent();
         THandle from(kept);
         THandle to(replaced);
         to = std::move(from);
         return State(replaced) + " " + State(kept);
       },
       "closed open"},
      {"Release gives the handle up without closing it",
       [] {
         HANDLE event = NewEvent();
         HANDLE given = THandle(event).Release();
         const std::string seen = std::string(given == event ? "given " : "other ") + State(event);
         CloseHandle(given);
         return seen;
       },
       "given open"},
      {"Close reports the system's answer, and true when nothing is held",
       [] {
         THandle owner(NewEvent());
         const bool closed = owner.Close();
         const bool empty = !owner;
         const bool again = owner.Close();
         return std::to_string(closed) + std::to_string(empty) + std::to_string(again);
       },
       "111"},
      // CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE: that is their empty owner.
      {"file and find owners take the invalid value as empty",
       [] {
         const TFileHandle file(CreateFileA("Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
         WIN32_FIND_DATAA data;
         const TFindHandle find(FindFirstFileA("Z:\\no\\such\\folder\\*", &data));
         return std::to_string(!file) + std::to_string(!find) + std::to_string(!TFileHandle()) +
                std::to_string(!THandle());
       },
       "1111"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.observe(), c.expected) << c.what;
}

TEST(GdiOwners, ResetDeletesTheOldObject) {
  HBRUSH first = CreateSolidBrush(RGB(1, 2, 3));
  TBrush owner(first);
  owner.Reset(CreateSolidBrush(RGB(4, 5, 6)));
  EXPECT_EQ(GetObjectType(first), 0u);
  EXPECT_EQ(GetObjectType(owner.Get()), static_cast<DWORD>(OBJ_BRUSH));
}

TEST(GdiOwners, SelectionPutsThePreviousObjectBack) {
  const TMemoryDC dc(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  const HGDIOBJ before = GetCurrentObject(dc.Get(), OBJ_BITMAP);
  const TBitmap bitmap(CreateCompatibleBitmap(dc.Get(), 4, 4));
  {
    const TSelection selection(dc.Get(), bitmap.Get());
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), bitmap.Get());
  }
  EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), before);
}

}  // namespace
}  // namespace pur
