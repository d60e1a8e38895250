#pragma once

#include "serial/comm_control.h"

#include <QStringList>

#include <functional>

// A serial control for window tests: records every operation and every frame sent, and lets the
// test deliver bytes and events. Receive events follow the threshold rule of the real control.
class FakeCommControl final : public CommControl {
    Q_OBJECT
public:
    using CommControl::CommControl;

    // What the window did, in order, e.g. "CommPort=1", "PortOpen=true", "RThreshold=25".
    QStringList log;
    QList<QByteArray> sent;
    bool open = false;
    bool refuseOpen = false;     // the port is absent or held by another program
    PortRefusal refusal;         // why, as the control tells it
    bool refuseSettings = false; // the device refuses the line settings
    int commPort = 1;
    QString settings;
    int inputMode = 0;
    int inputLen = 0;
    int rThreshold = 0;
    int sThreshold = 0;
    int commEvent = 0;
    QByteArray waiting;
    std::function<void()> onOpenAttempt; // runs inside every attempt to open the port

    bool setCommPort(int port) override { return record("CommPort", port), commPort = port, true; }
    int CommPort() const override { return commPort; }
    bool setSettings(const QString &text) override {
        log << QStringLiteral("Settings=") + text;
        if (refuseSettings)
            return false;
        settings = text;
        return true;
    }
    QString Settings() const override { return settings; }
    bool PortOpen() const override { return open; }
    PortRefusal lastOpenRefusal() const override { return refusal; }
    bool setPortOpen(bool value) override {
        log << QStringLiteral("PortOpen=%1").arg(value ? "true" : "false");
        if (value && onOpenAttempt)
            onOpenAttempt();
        if (value && (open || refuseOpen))
            return false;
        open = value;
        if (!value)
            waiting.clear();
        return true;
    }
    bool setInputMode(int mode) override {
        return record("InputMode", mode), inputMode = mode, true;
    }
    bool setInputLen(int length) override {
        return record("InputLen", length), inputLen = length, true;
    }
    bool setInBufferCount(int count) override {
        record("InBufferCount", count);
        waiting.clear();
        return true;
    }
    bool setOutBufferCount(int count) override { return record("OutBufferCount", count), true; }
    bool setRThreshold(int bytes) override {
        return record("RThreshold", bytes), rThreshold = bytes, true;
    }
    int RThreshold() const override { return rThreshold; }
    bool setSThreshold(int bytes) override {
        return record("SThreshold", bytes), sThreshold = bytes, true;
    }
    bool Output(const QByteArray &bytes) override {
        log << QStringLiteral("Output=") + QString::fromLatin1(bytes.toHex(' ').toUpper());
        if (!open)
            return false;
        sent << bytes;
        return true;
    }
    QByteArray Input() override {
        log << QStringLiteral("Input");
        return std::exchange(waiting, {});
    }
    QByteArray waitingInput() override { return waiting; }
    int CommEvent() const override { return commEvent; }

    // Bytes arrive on the line: a receive event once the threshold is reached, or earlier when
    // the window's early test accepts the waiting bytes.
    void deliver(const QByteArray &bytes) {
        waiting += bytes;
        if (receiveDue(waiting.size(), [this] { return waiting; }))
            raise(comEvReceive);
    }
    void raise(int event) {
        commEvent = event;
        emit OnComm();
    }
    void clearLog() { log.clear(); }

private:
    void record(const char *name, int value) {
        log << QStringLiteral("%1=%2").arg(name).arg(value);
    }
};
