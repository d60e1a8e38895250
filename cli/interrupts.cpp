#include "interrupts.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace cli {

HeldInterrupts::HeldInterrupts() {
    sigemptyset(&held_);
    sigaddset(&held_, SIGINT);
    sigaddset(&held_, SIGTERM);
    sigprocmask(SIG_BLOCK, &held_, &previous_);
}

HeldInterrupts::~HeldInterrupts() {
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

int HeldInterrupts::waitUntil(std::chrono::steady_clock::time_point until) {
    for (;;) {
        const auto left = std::max(until - std::chrono::steady_clock::now(),
                                   std::chrono::steady_clock::duration::zero());
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec timeout{
            std::time_t(seconds.count()),
            long(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count())};
        const int signal = sigtimedwait(&held_, nullptr, &timeout);
        if (signal > 0)
            return signal;
        if (errno != EINTR) // EAGAIN: the time is up
            return 0;
    }
}

} // namespace cli
