// GoogleTest port customisation for MinGW's win32 thread model, whose
// libstdc++ lacks std::mutex and std::condition_variable.  GoogleTest uses
// its own Win32 mutexes everywhere except in Notification, which is given
// here on an atomic flag.  Only GoogleTest's own thread helpers use it.
#ifndef PORTOPT_GTEST_CUSTOM_PORT_H
#define PORTOPT_GTEST_CUSTOM_PORT_H

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
    std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing

#endif
