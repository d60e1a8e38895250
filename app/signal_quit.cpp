#include "signal_quit.h"

#include "core/standard_streams.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}
} // namespace

SignalQuit::SignalQuit(QObject *parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    for (const int fd : signalPipe)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalQuit::onSignalByte);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kQuitSignals)
        ::sigaction(signal, &action, nullptr);
}

SignalQuit::~SignalQuit() {
    if (!notifier_)
        return;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    for (const int signal : kQuitSignals)
        ::sigaction(signal, &fallback, nullptr);
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void makeFailedWritesErrors() {
    for (const int signal : {SIGPIPE, SIGXFSZ})
        standard_streams::catchWithoutEffect(signal);
}

void SignalQuit::onSignalByte() {
    char bytes[16];
    while (::read(signalPipe[1], bytes, sizeof bytes) > 0) {
    }
    emit quitRequested();
}
#else
SignalQuit::SignalQuit(QObject *parent) : QObject(parent) {}
SignalQuit::~SignalQuit() = default;
void SignalQuit::onSignalByte() {}
void makeFailedWritesErrors() {}
#endif
