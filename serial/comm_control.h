#pragma once

#include "core/port_refusal.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

// The window's serial control (the role it calls MSComm1): exactly the operations the window uses.
// Settings and discards are accepted while the port is closed. An operation that fails says so by
// its result, so each handler can follow its own failure style.
class CommControl : public QObject {
    Q_OBJECT
public:
    // Values of CommEvent.
    static constexpr int comEvReceive = 2;
    static constexpr int comEventBreak = 1001;
    static constexpr int comEventFrame = 1004;
    static constexpr int comEventOverrun = 1006;
    static constexpr int comEventRxParity = 1009;
    static constexpr int comEventDeviceLost = 1010; // the open device went away; the port is closed

    static constexpr int comInputModeText = 0;
    static constexpr int comInputModeBinary = 1;

    using QObject::QObject;
    ~CommControl() override = default;

    virtual bool setCommPort(int port) = 0;
    virtual int CommPort() const = 0;
    virtual bool setSettings(const QString &settings) = 0;
    virtual QString Settings() const = 0;
    virtual bool PortOpen() const = 0;
    virtual bool setPortOpen(bool open) = 0;
    // Why the last attempt to open the port failed, as far as the system tells.
    virtual PortRefusal lastOpenRefusal() const = 0;
    virtual bool setInputMode(int mode) = 0;
    virtual bool setInputLen(int length) = 0;
    virtual bool setInBufferCount(int count) = 0;  // 0 discards the received, unread bytes
    virtual bool setOutBufferCount(int count) = 0; // 0 discards the bytes not yet sent
    virtual bool setRThreshold(int bytes) = 0;     // 0: no receive events
    virtual int RThreshold() const = 0;
    virtual bool setSThreshold(int bytes) = 0;
    virtual bool Output(const QByteArray &bytes) = 0;
    virtual QByteArray Input() = 0;
    // The received bytes still waiting, left where they are: what discarding would drop.
    virtual QByteArray waitingInput() = 0;
    virtual int CommEvent() const = 0;
    // The bytes of the last receive event are not what the line was to give back of the request
    // sent (a line that echoes, --echo): never so on a line that does not echo.
    virtual bool echoDiffered() const { return false; }

    // Beyond the threshold: a receive event also falls due as soon as the waiting bytes satisfy
    // this test (the window's: a whole refusal of the pending request). Empty: the threshold only.
    using EarlyReply = std::function<bool(const QByteArray &waiting)>;
    void setEarlyReply(EarlyReply isWholeReply) { earlyReply_ = std::move(isWholeReply); }

signals:
    // Raised from the event loop, never from inside an operation.
    void OnComm();

protected:
    // Whether the waiting bytes raise a receive event: a threshold of 0 raises none, else the
    // threshold or the early test. `waiting` is asked for only below the threshold.
    template <typename Waiting> bool receiveDue(qsizetype waitingCount, Waiting &&waiting) const {
        const int threshold = RThreshold();
        if (threshold <= 0 || waitingCount == 0)
            return false;
        return waitingCount >= threshold || (earlyReply_ && earlyReply_(waiting()));
    }

private:
    EarlyReply earlyReply_;
};
