#pragma once

#include <csignal>

// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the program at once, also in the middle of an exchange:
// the handler removes the port's lock files, clears a progress line and exits with the shell's
// status for the signal. A closed pipe (SIGPIPE) ends it the same way, silently, as it ends any
// Unix filter. Output is written with these signals held, so that a line is printed whole or not at
// all; they are let through while the output takes nothing.
namespace cli {

inline constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

void endAtOnceOnInterrupt();

// The lock files the handler removes (at most a few; the paths are copied).
void removeOnInterrupt(const char *path);
void keepOnInterrupt(const char *path);
// Whether a progress line is on stderr for the handler to clear.
void setProgressShown(bool shown);

// The signals above held back while it lives; one that came meanwhile ends the program after.
class HeldInterrupts {
public:
    HeldInterrupts();
    ~HeldInterrupts();
    HeldInterrupts(const HeldInterrupts &) = delete;
    HeldInterrupts &operator=(const HeldInterrupts &) = delete;

    // Waits until the descriptor takes bytes, the signals let through meanwhile: a reader that
    // stopped reading (a full pipe, a stopped terminal) must not keep them from ending the program.
    void waitUntilWritable(int descriptor) const;

private:
    sigset_t previous_;
};

// The exit status of a program ended by that signal, as a shell reports it.
constexpr int exitStatusFor(int signal) {
    return 128 + signal;
}

} // namespace cli
