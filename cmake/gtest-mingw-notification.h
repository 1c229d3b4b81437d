// Included first in every GoogleTest translation unit of the mingw build. GoogleTest's
// Notification (used only to start its own helper threads) is written on std::mutex and
// std::condition_variable, which the win32 thread model of mingw g++ 12 does not provide; this
// stand-in waits on an atomic flag instead, and GTEST_HAS_NOTIFICATION_ tells GoogleTest to use it.
#pragma once

#ifdef __cplusplus
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

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
    std::atomic<bool> notified_{false};
};

} // namespace testing::internal
#endif
