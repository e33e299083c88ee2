#include "Synchronize.h"

#include <exception>
#include <mutex>
#include <stdexcept>

#include "ThisModule.h"

namespace pur {
namespace {

constexpr char kClassName[] = "PurSearchSyncWindow";
constexpr UINT kInvokeMessage = WM_APP + 0x51;

// One call in flight: filled by the caller, run and completed on the owner thread.
struct HandedCall {
  const std::function<void()>* fn;
  std::exception_ptr error;
  bool ran;
};

LRESULT CALLBACK SyncWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kInvokeMessage) return DefWindowProcA(window, message, wParam, lParam);
  auto* call = reinterpret_cast<HandedCall*>(lParam);
  call->ran = true;
  // No exception may unwind through the system's message dispatch.
  try {
    (*call->fn)();
  } catch (...) {
    call->error = std::current_exception();
  }
  return 0;
}

// The class lives while any window of this module uses it: a library unloaded and loaded
// again must not find a class whose procedure points into its old image.
std::mutex classLock;
int classUsers = 0;

void AcquireClass() {
  std::lock_guard<std::mutex> lock(classLock);
  if (classUsers++ > 0) return;
  HINSTANCE instance = ThisModule();
  UnregisterClassA(kClassName, instance);  // left over by an image that was unloaded without cleanup
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = SyncWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    --classUsers;
    throw std::runtime_error("RegisterClassEx failed (" + std::to_string(GetLastError()) + ")");
  }
}

void ReleaseClass() {
  std::lock_guard<std::mutex> lock(classLock);
  if (--classUsers == 0) UnregisterClassA(kClassName, ThisModule());
}

}  // namespace

TSyncWindow::TSyncWindow() : ownerThread_(GetCurrentThreadId()) {
  AcquireClass();
  window_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
  if (window_ == nullptr) {
    const DWORD error = GetLastError();
    ReleaseClass();
    throw std::runtime_error("CreateWindowEx failed (" + std::to_string(error) + ")");
  }
}

TSyncWindow::~TSyncWindow() {
  DestroyWindow(window_);
  ReleaseClass();
}

bool TSyncWindow::IsOwnerThread() const { return GetCurrentThreadId() == ownerThread_; }

void TSyncWindow::Invoke(const std::function<void()>& fn) {
  if (IsOwnerThread()) {
    fn();
    return;
  }
  HandedCall call{&fn, nullptr, false};
  SendMessageA(window_, kInvokeMessage, 0, reinterpret_cast<LPARAM>(&call));
  if (!call.ran) throw std::runtime_error("The main thread did not run the call");
  if (call.error) std::rethrow_exception(call.error);
}

void WaitHandlingSentMessages(HANDLE h) {
  while (true) {
    // Not MWMO_INPUTAVAILABLE here: under Wine a search stopped from the window then never
    // ended (seen in the stop test); nothing here looks at the queue before this wait.
    const DWORD result = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0 + 1) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // runs the sent messages
      continue;
    }
    return;  // signalled, abandoned or failed: nothing more to wait for
  }
}

}  // namespace pur
