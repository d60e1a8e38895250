#pragma once

#include "comm_control.h"

#include <memory>

// The serial control of a two-wire line that gives back every byte sent before the module's reply
// (a half-duplex RS-485 adapter without echo suppression; the window's --echo). After each
// request the exact bytes sent are expected first and removed, so that the window sees the
// module's reply alone: thresholds, the early test for a refusal and Input() count and hold the
// reply's bytes only. Bytes that differ from what was sent are raised at once as they are, and
// echoDiffered() says so until the next request. Every other operation is the line's own.
class EchoRemovingControl final : public CommControl {
    Q_OBJECT
public:
    explicit EchoRemovingControl(std::unique_ptr<CommControl> line, QObject *parent = nullptr);

    bool setCommPort(int port) override { return line_->setCommPort(port); }
    int CommPort() const override { return line_->CommPort(); }
    bool setSettings(const QString &settings) override { return line_->setSettings(settings); }
    QString Settings() const override { return line_->Settings(); }
    bool PortOpen() const override { return line_->PortOpen(); }
    bool setPortOpen(bool open) override;
    PortRefusal lastOpenRefusal() const override { return line_->lastOpenRefusal(); }
    bool setInputMode(int mode) override { return line_->setInputMode(mode); }
    bool setInputLen(int length) override { return line_->setInputLen(length); }
    bool setInBufferCount(int count) override;
    bool setOutBufferCount(int count) override { return line_->setOutBufferCount(count); }
    bool setRThreshold(int bytes) override;
    int RThreshold() const override { return threshold_; }
    bool setSThreshold(int bytes) override { return line_->setSThreshold(bytes); }
    bool Output(const QByteArray &bytes) override;
    QByteArray Input() override;
    QByteArray waitingInput() override;
    int CommEvent() const override { return commEvent_; }
    bool echoDiffered() const override { return differed_; }

private:
    void onLineEvent();
    void forget();

    std::unique_ptr<CommControl> line_;
    int threshold_ = 0;
    int commEvent_ = 0;
    QByteArray echo_;    // what is still to come back of the bytes sent
    QByteArray echoed_;  // what came back of them so far: the reply's first bytes if they differ
    QByteArray waiting_; // the reply's bytes (or, once the echo differed, all bytes) not yet read
    bool differed_ = false;
};
