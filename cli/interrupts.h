#pragma once

#include <chrono>
#include <signal.h>

namespace cli {

// SIGINT and SIGTERM held back while it lives, so that a run of exchanges (poll, scan) ends between
// two of them, with every line it printed whole.
class HeldInterrupts {
public:
    HeldInterrupts();
    ~HeldInterrupts();
    HeldInterrupts(const HeldInterrupts &) = delete;
    HeldInterrupts &operator=(const HeldInterrupts &) = delete;

    // Waits until `until`, or less when a signal comes; the signal that came (now or before), or 0.
    int waitUntil(std::chrono::steady_clock::time_point until);
    int pending() { return waitUntil(std::chrono::steady_clock::now()); }

private:
    sigset_t held_;
    sigset_t previous_;
};

// The exit status of a program ended by that signal, as a shell reports it.
constexpr int exitStatusFor(int signal) {
    return 128 + signal;
}

} // namespace cli
