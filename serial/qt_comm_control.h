#pragma once

#include "comm_control.h"
#include "core/line_settings.h"
#include "core/port_lock.h"
#include "core/port_mapping.h"

#include <QSerialPort>

#include <functional>
#include <memory>

// The serial control over QSerialPort.
class QtCommControl final : public CommControl {
    Q_OBJECT
public:
    using PortNameMapper = std::function<QString(int)>;

    explicit QtCommControl(PortNameMapper portName = systemPortNameMapper(),
                           QObject *parent = nullptr);
    ~QtCommControl() override;

    // Port numbers as the system names them, without any mapping of the user's.
    static PortNameMapper systemPortNameMapper();
    static PortNameMapper mapperFor(PortMapping mapping);

    bool setCommPort(int port) override;
    int CommPort() const override { return commPort_; }
    bool setSettings(const QString &settings) override;
    QString Settings() const override { return settingsText_; }
    bool PortOpen() const override { return port_.isOpen(); }
    bool setPortOpen(bool open) override;
    PortRefusal lastOpenRefusal() const override { return refusal_; }
    bool setInputMode(int mode) override;
    bool setInputLen(int length) override;
    bool setInBufferCount(int count) override;
    bool setOutBufferCount(int count) override;
    bool setRThreshold(int bytes) override;
    int RThreshold() const override { return rThreshold_; }
    bool setSThreshold(int bytes) override;
    bool Output(const QByteArray &bytes) override;
    QByteArray Input() override;
    QByteArray waitingInput() override;
    int CommEvent() const override { return commEvent_; }

    // The system name the current port number maps to.
    QString portName() const { return portName_(commPort_); }

private:
    bool applyLineSettings(const LineSettings &settings);
    bool lockBeforeOpen(const QString &name);
    void closePort();
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void closeLostDevice();

    // The lock of the device a link leads to; Qt's serial port locks the name it opens. Declared
    // first: it goes after the port is closed.
    std::unique_ptr<PortLock> deviceLock_;
    QSerialPort port_;
    PortRefusal refusal_;
    PortNameMapper portName_;
    int commPort_ = 1;
    LineSettings lineSettings_;
    QString settingsText_ = settingsText(kDefaultBaudRate);
    int inputMode_ = comInputModeText;
    int inputLen_ = 0;
    int rThreshold_ = 0;
    int sThreshold_ = 0;
    int commEvent_ = 0;
    bool lossPending_ = false;
};
