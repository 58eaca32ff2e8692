// GoogleTest's notification, built on the Win32 primitives instead of std::mutex.
#include <gtest/gtest.h>
#include <windows.h>

namespace testing {
namespace internal {

// Manual reset: every waiting thread starts once notified.
Notification::Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  GTEST_CHECK_(event_ != nullptr) << "CreateEvent failed with error " << GetLastError();
}

Notification::~Notification() { CloseHandle(event_); }

void Notification::Notify() { SetEvent(event_); }

void Notification::WaitForNotification() {
  GTEST_CHECK_(WaitForSingleObject(event_, INFINITE) == WAIT_OBJECT_0)
      << "waiting for the notification failed with error " << GetLastError();
}

}  // namespace internal
}  // namespace testing
