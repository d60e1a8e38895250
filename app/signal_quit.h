#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the program through the event loop when the system asks it to (SIGTERM, SIGINT, SIGHUP,
// SIGQUIT: kill, Ctrl+C, a logout, Ctrl+\), so the window goes away as on a normal close: the
// port is closed and its lock file removed. The signal handler only writes a byte to a pipe;
// everything else happens on the event thread. Unix only; elsewhere it does nothing.
class SignalQuit final : public QObject {
    Q_OBJECT
public:
    explicit SignalQuit(QObject *parent = nullptr);
    ~SignalQuit() override;

signals:
    void quitRequested();

private:
    void onSignalByte();

    QSocketNotifier *notifier_ = nullptr;
};

// A write into a pipe whose reader has gone (SIGPIPE) or past the file size limit (SIGXFSZ) ends
// a program by default. Made plain write errors instead, which the log handles: one message, the
// log stops, the window goes on. Caught rather than ignored, so that the browser the product link
// starts does not inherit them ignored. Called at start-up, before anything is written.
void makeFailedWritesErrors();
