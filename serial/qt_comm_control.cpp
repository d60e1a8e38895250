#include "qt_comm_control.h"

namespace {

QSerialPort::Parity qtParity(char parity) {
    switch (parity) {
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits qtStopBits(int stopBits) {
    switch (stopBits) {
    case 2:
        return QSerialPort::TwoStop;
    case 3:
        return QSerialPort::OneAndHalfStop;
    default:
        return QSerialPort::OneStop;
    }
}
} // namespace

QtCommControl::PortNameMapper QtCommControl::systemPortNameMapper() {
    return mapperFor(PortMapping());
}

QtCommControl::PortNameMapper QtCommControl::mapperFor(PortMapping mapping) {
    return [mapping = std::move(mapping)](int port) { return mapping.device(port); };
}

QtCommControl::QtCommControl(PortNameMapper portName, QObject *parent)
    : CommControl(parent), portName_(std::move(portName)) {
    connect(&port_, &QSerialPort::readyRead, this, &QtCommControl::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtCommControl::onErrorOccurred);
}

QtCommControl::~QtCommControl() = default;

bool QtCommControl::setCommPort(int port) {
    if (port_.isOpen() || port < kLowestPortNumber || port > kHighestPortNumber)
        return false;
    commPort_ = port;
    return true;
}

bool QtCommControl::applyLineSettings(const LineSettings &settings) {
    return port_.setBaudRate(settings.baudRate) &&
           port_.setDataBits(QSerialPort::DataBits(settings.dataBits)) &&
           port_.setParity(qtParity(settings.parity)) &&
           port_.setStopBits(qtStopBits(settings.stopBits)) &&
           port_.setFlowControl(QSerialPort::NoFlowControl);
}

bool QtCommControl::setSettings(const QString &settings) {
    const auto parsed = parseLineSettings(settings);
    if (!parsed)
        return false;
    if (port_.isOpen() && !applyLineSettings(*parsed)) {
        applyLineSettings(lineSettings_); // put back what the open port had
        return false;
    }
    lineSettings_ = *parsed;
    settingsText_ = settings;
    return true;
}

bool QtCommControl::setPortOpen(bool open) {
    if (!open) {
        closePort();
        lossPending_ = false;
        return true;
    }
    refusal_ = {};
    if (port_.isOpen())
        return false;
    const QString name = portName_(commPort_);
    port_.setPortName(name);
    if (!applyLineSettings(lineSettings_) || !lockBeforeOpen(name))
        return false;
    if (!port_.open(QIODevice::ReadWrite)) {
        port_.clearError();
        deviceLock_.reset();
        refusal_ = portRefusal(name);
        return false;
    }
    if (!applyLineSettings(lineSettings_)) {
        closePort();
        return false;
    }
    return true;
}

// Another program's lock on the name is judged here, not by Qt's serial port (which takes over a
// live lock in another program's form). A link and the device it leads to meet in the device's
// lock, taken here; the name's own lock is the serial port's (a second lock of one file in one
// process would make the port refuse to open).
bool QtCommControl::lockBeforeOpen(const QString &name) {
    if (const auto refusal = port_lock::clearStaleLock(name)) {
        refusal_ = lockedPort(name, *refusal);
        return false;
    }
    auto lock = std::make_unique<PortLock>(name, PortLock::Names::DeviceBehind);
    if (!lock->isLocked()) {
        refusal_ = lockedPort(name, *lock->refusal());
        return false;
    }
    deviceLock_ = std::move(lock);
    return true;
}

void QtCommControl::closePort() {
    if (port_.isOpen())
        port_.close();
    deviceLock_.reset();
}

bool QtCommControl::setInputMode(int mode) {
    if (mode != comInputModeText && mode != comInputModeBinary)
        return false;
    inputMode_ = mode;
    return true;
}

bool QtCommControl::setInputLen(int length) {
    if (length < 0)
        return false;
    inputLen_ = length;
    return true;
}

bool QtCommControl::setInBufferCount(int count) {
    if (count != 0)
        return false;
    return !port_.isOpen() || port_.clear(QSerialPort::Input);
}

bool QtCommControl::setOutBufferCount(int count) {
    if (count != 0)
        return false;
    return !port_.isOpen() || port_.clear(QSerialPort::Output);
}

bool QtCommControl::setRThreshold(int bytes) {
    if (bytes < 0)
        return false;
    rThreshold_ = bytes;
    return true;
}

bool QtCommControl::setSThreshold(int bytes) {
    if (bytes < 0)
        return false;
    sThreshold_ = bytes;
    return true;
}

bool QtCommControl::Output(const QByteArray &bytes) {
    if (!port_.isOpen())
        return false;
    if (port_.write(bytes) != bytes.size())
        return false;
    // Hand the bytes to the device now rather than on the next turn of the event loop.
    port_.flush();
    return true;
}

QByteArray QtCommControl::Input() {
    if (!port_.isOpen())
        return {};
    return inputLen_ > 0 ? port_.read(inputLen_) : port_.readAll();
}

QByteArray QtCommControl::waitingInput() {
    return port_.isOpen() ? port_.peek(port_.bytesAvailable()) : QByteArray();
}

void QtCommControl::onReadyRead() {
    const qint64 count = port_.bytesAvailable();
    if (receiveDue(count, [this, count] { return port_.peek(count); })) {
        commEvent_ = comEvReceive;
        emit OnComm();
    }
}

void QtCommControl::onErrorOccurred(QSerialPort::SerialPortError error) {
    const bool deviceGone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!deviceGone || !port_.isOpen() || lossPending_)
        return;
    // Qt may report a vanished device as a flood of read errors while the port stays open.
    // Close once, from the event loop rather than inside this slot, and raise one event.
    lossPending_ = true;
    QMetaObject::invokeMethod(this, &QtCommControl::closeLostDevice, Qt::QueuedConnection);
}

void QtCommControl::closeLostDevice() {
    if (!lossPending_)
        return;
    lossPending_ = false;
    closePort();
    port_.clearError();
    commEvent_ = comEventDeviceLost;
    emit OnComm();
}
