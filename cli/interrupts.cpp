#include "interrupts.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace cli {
namespace {

constexpr int kMostPaths = 4;
char lockPaths[kMostPaths][PATH_MAX];
volatile sig_atomic_t progressShown = 0;
constexpr char kClearLine[] = "\r\033[K";

sigset_t endingSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kEndingSignals)
        sigaddset(&signals, signal);
    return signals;
}

extern "C" void endNow(int signal) {
    for (const char *path : lockPaths) {
        if (path[0] != '\0')
            unlink(path);
    }
    if (progressShown) {
        [[maybe_unused]] const auto written =
            write(STDERR_FILENO, kClearLine, sizeof kClearLine - 1);
    }
    _exit(exitStatusFor(signal));
}

} // namespace

void endAtOnceOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = endNow;
    action.sa_mask = endingSignals();
    for (const int signal : kEndingSignals)
        sigaction(signal, &action, nullptr);
}

void removeOnInterrupt(const char *path) {
    HeldInterrupts held;
    for (char *slot : lockPaths) {
        if (slot[0] == '\0' && std::strlen(path) < PATH_MAX) {
            std::strcpy(slot, path);
            return;
        }
    }
}

void keepOnInterrupt(const char *path) {
    HeldInterrupts held;
    for (char *slot : lockPaths) {
        if (std::strcmp(slot, path) == 0)
            slot[0] = '\0';
    }
}

void setProgressShown(bool shown) {
    progressShown = shown ? 1 : 0;
}

HeldInterrupts::HeldInterrupts() {
    const sigset_t signals = endingSignals();
    sigprocmask(SIG_BLOCK, &signals, &previous_);
}

HeldInterrupts::~HeldInterrupts() {
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void HeldInterrupts::waitUntilWritable(int descriptor) const {
    pollfd writable{descriptor, POLLOUT, 0};
    while (ppoll(&writable, 1, nullptr, &previous_) < 0 && errno == EINTR) {
    }
}

} // namespace cli
