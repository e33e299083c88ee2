// The owners free exactly once: a moved-from or released owner must not close what another
// now holds, and Reset must close the handle it replaces.
#include <gtest/gtest.h>

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

TEST(WinOwners, ClosesWhenItGoes) {
  HANDLE event = NewEvent();
  { const THandle owner(event); }
  EXPECT_FALSE(IsOpen(event));
}

TEST(WinOwners, ResetClosesTheOldHandle) {
  HANDLE first = NewEvent();
  HANDLE second = NewEvent();
  THandle owner(first);
  owner.Reset(second);
  EXPECT_FALSE(IsOpen(first));
  EXPECT_TRUE(IsOpen(second));
}

TEST(WinOwners, MovedFromOwnerDoesNotClose) {
  HANDLE event = NewEvent();
  THandle from(event);
  THandle to(std::move(from));
  EXPECT_FALSE(from);
  from.Reset();
  EXPECT_TRUE(IsOpen(event));
  EXPECT_EQ(to.Get(), event);
}

TEST(WinOwners, MoveAssignmentClosesTheTargetsHandle) {
  HANDLE kept = NewEvent();
  HANDLE replaced = NewEvent();
  THandle from(kept);
  THandle to(replaced);
  to = std::move(from);
  EXPECT_FALSE(IsOpen(replaced));
  EXPECT_TRUE(IsOpen(kept));
}

TEST(WinOwners, ReleaseGivesUpWithoutClosing) {
  HANDLE event = NewEvent();
  HANDLE given = THandle(event).Release();
  EXPECT_EQ(given, event);
  EXPECT_TRUE(IsOpen(event));
  CloseHandle(given);
}

TEST(WinOwners, CloseReportsTheSystemsAnswer) {
  THandle owner(NewEvent());
  EXPECT_TRUE(owner.Close());
  EXPECT_FALSE(owner);
  EXPECT_TRUE(owner.Close());  // nothing held
}

// CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE: that is their empty owner.
TEST(WinOwners, FileAndFindOwnersTreatTheInvalidValueAsEmpty) {
  const TFileHandle file(CreateFileA("Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(file);
  WIN32_FIND_DATAA data;
  const TFindHandle find(FindFirstFileA("Z:\\no\\such\\folder\\*", &data));
  EXPECT_FALSE(find);
  EXPECT_FALSE(TFileHandle());
  EXPECT_FALSE(THandle());
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
