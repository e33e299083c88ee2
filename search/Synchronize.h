// Hands calls from other threads to the thread that initialised the library and waits for
// them: a message-only window of that thread receives them through SendMessage.
#pragma once

#include <windows.h>

#include <functional>

namespace pur {

// Created on the thread that initialises the library; runs calls handed over by other threads.
class TSyncWindow {
 public:
  TSyncWindow();  // creates a HWND_MESSAGE window on the calling thread
  ~TSyncWindow();
  TSyncWindow(const TSyncWindow&) = delete;
  TSyncWindow& operator=(const TSyncWindow&) = delete;

  bool IsOwnerThread() const;
  // Runs fn on the owner thread (directly when called there) and waits; an exception thrown by
  // fn is re-raised in the caller.
  void Invoke(const std::function<void()>& fn);

 private:
  HWND window_ = nullptr;
  DWORD ownerThread_ = 0;
};

// Waits for the handle while running the calls sent to this thread (MsgWaitForMultipleObjects
// + PeekMessage PM_NOREMOVE: without the peek the wait would return at once forever).
void WaitHandlingSentMessages(HANDLE h);

}  // namespace pur
