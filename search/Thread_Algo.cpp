#include "Thread_Algo.h"

#include <process.h>

#include <cstdio>
#include <stdexcept>

namespace pur {
namespace {

constexpr int kPlatformPriorities[] = {
    THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
    THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL,
};

int PlatformPriority(int level) {
  if (level < kPriorityIdle || level > kPriorityTimeCritical) level = kPriorityNormal;
  return kPlatformPriorities[level];
}

}  // namespace

std::string FormatSearchError(int code, const std::string& message) {
  std::string text(message.size() + 32, '\0');
  const int length = std::snprintf(text.data(), text.size(), kErrorFormat, code, message.c_str());
  text.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return text;
}

TSearchThread::TSearchThread(TRAPosteDeTravail& tree, TPathList& found, int priority, TSyncWindow& sync)
    : tree_(tree), found_(found), sync_(sync) {
  handle_.Reset(
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ThreadMain, this, CREATE_SUSPENDED, nullptr)));
  if (!handle_) throw std::runtime_error("Thread creation failed");
  SetThreadPriority(handle_.Get(), PlatformPriority(priority));
}

TSearchThread::~TSearchThread() {
  if (!started_) {
    cancelled_ = true;
    started_ = true;
    ResumeThread(handle_.Get());
  }
  WaitFor();
  // The tree outlives this object: it must not keep calling it.
  if (tree_.GetAdapter().GetCallback() == TSearchProgressEvent::Bind<&TSearchThread::HandleProgress>(this)) {
    tree_.SetCallback(TSearchProgressEvent());
  }
}

void TSearchThread::Start() {
  if (started_) return;
  started_ = true;
  ResumeThread(handle_.Get());
}

void TSearchThread::WaitFor() {
  if (!started_) return;  // a suspended thread would never end
  WaitHandlingSentMessages(handle_.Get());
}

unsigned __stdcall TSearchThread::ThreadMain(void* self) {
  auto* thread = static_cast<TSearchThread*>(self);
  if (thread->cancelled_) return 0;
  try {
    thread->Execute();
  } catch (...) {
    // Nothing leaves the thread (an error line that could not even be stored is dropped).
  }
  return 0;
}

void TSearchThread::Execute() {
  try {
    TPathList paths = tree_.Search(Errors, Filter);
    // The last report, when it was kept back, may still stop the search as it would have.
    if (reportKeptBack_) {
      HandOver();
      if (!continueSearch_) throw ERAException();
    }
    found_.Append(std::move(paths));
  } catch (const std::exception& e) {
    if (Errors != nullptr) Errors->push_back(FormatSearchError(kSearchErrorCode, e.what()));
  } catch (...) {
    if (Errors != nullptr) Errors->push_back(FormatSearchError(kSearchErrorCode, kUnknownErrorMessage));
  }
}

bool TSearchThread::HandleProgress(double progress) {
  lastProgress_ = progress;
  if (handedOver_ && Clock::now() - lastHandOver_ < kProgressHandOverPeriod) {
    reportKeptBack_ = true;
    return continueSearch_;
  }
  HandOver();
  return continueSearch_;
}

void TSearchThread::HandOver() {
  reportKeptBack_ = false;
  sync_.Invoke([this] { DoProgress(); });
  // Timed from the verdict: a slow handler does not make every report a hand-over.
  lastHandOver_ = Clock::now();
  handedOver_ = true;
}

void TSearchThread::DoProgress() {
  continueSearch_ = true;
  if (progressHandler_) continueSearch_ = progressHandler_(lastProgress_);
}

void TSearchThread::SetProgressHandler(const TSearchProgressEvent& handler) {
  if (handler == progressHandler_) return;
  progressHandler_ = handler;
  if (progressHandler_) {
    tree_.SetCallback(TSearchProgressEvent::Bind<&TSearchThread::HandleProgress>(this));
  } else {
    tree_.SetCallback(TSearchProgressEvent());
  }
}

void TSearchThread::SetProgressHandler(std::function<bool(double)> handler) {
  SetProgressHandler(TSearchProgressEvent::FromFunction(std::move(handler)));
}

std::string TSearchThread::GetTreeText() const { return tree_.ToText(); }

}  // namespace pur
