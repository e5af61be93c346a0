// GoogleTest's hook for a port (found before its own empty one): Debian's mingw-w64 compiler uses
// Win32 threads, which give no std::mutex for GoogleTest's Notification. The suite never uses
// it (only GoogleTest's own tests of threads do), so a plain flag stands in for it.
#pragma once

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_{false};  // set once by Notify
};

}  // namespace internal
}  // namespace testing
