#include "standard_streams.h"

#include <QtGlobal>

#include <utility>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace standard_streams {
namespace {
#ifdef Q_OS_UNIX
bool isClosed(int descriptor) {
    return ::fcntl(descriptor, F_GETFD) == -1 && errno == EBADF;
}

// Lowest numbers first, so that each open takes the number that is missing.
void openOnNull(int descriptor) {
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != descriptor) {
        ::dup2(opened, descriptor);
        ::close(opened);
    }
}

extern "C" void doNothing(int) {}
#endif
} // namespace

Closed reopenClosed() {
    Closed closed;
#ifdef Q_OS_UNIX
    closed = {isClosed(STDIN_FILENO), isClosed(STDOUT_FILENO), isClosed(STDERR_FILENO)};
    for (const auto &[descriptor, wasClosed] :
         {std::pair{STDIN_FILENO, closed.input}, std::pair{STDOUT_FILENO, closed.output},
          std::pair{STDERR_FILENO, closed.error}}) {
        if (wasClosed)
            openOnNull(descriptor);
    }
#endif
    return closed;
}

void catchWithoutEffect(int signal) {
#ifdef Q_OS_UNIX
    struct sigaction action {};
    action.sa_handler = doNothing;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
#else
    Q_UNUSED(signal);
#endif
}

} // namespace standard_streams
