#include "module_master.h"
#include "tcp_address.h"

#include "interrupts.h"

#include "core/exchange_record.h"
#include "core/frame_codec.h"
#include "core/line_settings.h"
#include "core/module_protocol.h"
#include "core/port_lock.h"

#include <QFile>

#include <modbus/modbus.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/ioctl.h>
#include <tuple>

namespace cli {
namespace {

constexpr int kRequestBytes = int(std::tuple_size_v<modbus::Frame>);
constexpr int kCrcBytes = 2;

bool portGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF ||
           error == ECONNRESET || error == EPIPE;
}

// What a Modbus TCP gateway answers for itself when the module behind it said nothing (or it has
// no way to the module): no reply from the module, not the module's exception.
bool gatewaySaysNoReply(int error) {
    return error == EMBXGPATH || error == EMBXGTAR;
}

Failure::Kind kindOf(int error) {
    if (error == ETIMEDOUT || gatewaySaysNoReply(error))
        return Failure::Kind::NoReply;
    if (error >= EMBXILFUN && error <= EMBXGTAR)
        return Failure::Kind::Exception;
    if (portGone(error))
        return Failure::Kind::PortGone;
    return Failure::Kind::InvalidReply;
}

QString reasonFor(int error, int address, std::int64_t timeoutUs, int tries,
                  const QString &device) {
    const QString triesNote = tries > 1 ? QStringLiteral(" (%1 tries)").arg(tries) : QString();
    switch (kindOf(error)) {
    case Failure::Kind::NoReply:
        if (gatewaySaysNoReply(error))
            return QStringLiteral("no reply from address %1: the gateway answered with %2")
                       .arg(address)
                       .arg(modbus::exceptionText(std::uint8_t(error - MODBUS_ENOBASE))) +
                   triesNote;
        return QStringLiteral("no reply from address %1 within %2 ms")
                   .arg(address)
                   .arg(std::llround(double(timeoutUs) / 1000.0)) +
               triesNote;
    case Failure::Kind::Exception:
        return QStringLiteral("address %1 answered with %2")
            .arg(address)
            .arg(modbus::exceptionText(std::uint8_t(error - MODBUS_ENOBASE)));
    case Failure::Kind::PortGone:
        // libmodbus reports a read that found the end of the device as ECONNRESET.
        return QStringLiteral("%1: the port is gone (%2)")
            .arg(device, error == ECONNRESET ? QStringLiteral("it hung up")
                                             : QString::fromLocal8Bit(std::strerror(error)));
    case Failure::Kind::InvalidReply:
        break;
    }
    const QString what = error == EMBBADCRC ? QStringLiteral("CRC mismatch")
                                            : QString::fromLocal8Bit(modbus_strerror(error));
    return QStringLiteral("invalid reply from address %1: %2").arg(address).arg(what) + triesNote;
}

} // namespace

std::unique_ptr<ModuleMaster> ModuleMaster::open(const Settings &settings, OpenFailure &failure) {
    const bool tcp = isTcpAddress(settings.device);
    // A serial port is one program's at a time; a TCP server takes as many clients as it will.
    std::unique_ptr<PortLock> lock;
    if (!tcp) {
        lock = std::make_unique<PortLock>(settings.device);
        if (!lock->isLocked()) {
            failure = {lock->holder().has_value(), lock->error()};
            return nullptr;
        }
    }
    modbus_t *context =
        tcp ? newTcpContext(settings.device, settings.timeoutMs)
            : modbus_new_rtu(settings.device.toLocal8Bit().constData(), settings.baud, 'N', 8, 1);
    if (!context) {
        failure = {false, QString::fromLocal8Bit(modbus_strerror(errno))};
        return nullptr;
    }
    if (modbus_connect(context) != 0) {
        const int reason = errno;
        failure = {false, tcp ? tcpConnectFailure(settings.device, reason, settings.timeoutMs)
                              : QString::fromLocal8Bit(modbus_strerror(reason))};
        modbus_free(context);
        return nullptr;
    }
    if (!tcp && ioctl(modbus_get_socket(context), TIOCEXCL) != 0) {
        failure = {false, QString::fromLocal8Bit(modbus_strerror(errno))};
        modbus_close(context);
        modbus_free(context);
        return nullptr;
    }
    // No byte timeout: the whole reply must be in within the response timeout.
    modbus_set_byte_timeout(context, 0, 0);
    if (lock) {
        for (const QString &path : lock->paths())
            removeOnInterrupt(QFile::encodeName(path).constData());
    }
    return std::unique_ptr<ModuleMaster>(new ModuleMaster(context, settings, std::move(lock)));
}

ModuleMaster::ModuleMaster(modbus_t *context, Settings settings, std::unique_ptr<PortLock> lock)
    : context_(context), settings_(std::move(settings)), tcp_(isTcpAddress(settings_.device)),
      lock_(std::move(lock)) {}

ModuleMaster::~ModuleMaster() {
    modbus_close(context_);
    modbus_free(context_);
    if (lock_) {
        for (const QString &path : lock_->paths())
            keepOnInterrupt(QFile::encodeName(path).constData());
    }
}

// One request sent as built, its reply through libmodbus's receive (length by function, CRC,
// address), then the checks libmodbus makes of a reply to its own requests: an exception, the
// function, the byte count, the echo. -1 with errno set as libmodbus sets it when one fails.
// Over Modbus TCP the request goes without its CRC and the reply's MBAP header is left out of
// the recorded frame, which then starts at the unit id as an RTU frame does and has no CRC.
int ModuleMaster::tryOnce(Exchange &exchange, int expectedLength) {
    exchange.reply.clear();
    const QByteArray &request = exchange.request;
    const auto *header = reinterpret_cast<const std::uint8_t *>(request.constData());
    if (modbus_send_raw_request(context_, header, kRequestBytes - kCrcBytes) == -1)
        return -1;
    std::uint8_t adu[MODBUS_MAX_ADU_LENGTH];
    const int aduLength = modbus_receive_confirmation(context_, adu);
    if (aduLength == -1)
        return -1;
    if (aduLength == 0) { // a frame of another slave, dropped by libmodbus
        errno = EMBBADSLAVE;
        return -1;
    }
    // The unit id's place: 0 in an RTU frame, after the transaction, protocol and length in TCP.
    const int start = modbus_get_header_length(context_) - 1;
    if (aduLength <= start + 2) {
        errno = EMBBADDATA;
        return -1;
    }
    const std::uint8_t *reply = adu + start;
    const int length = aduLength - start;
    exchange.reply = QByteArray(reinterpret_cast<const char *>(reply), length);
    // libmodbus drops an RTU frame of another slave, but takes any unit id over TCP: a late reply
    // of the unit asked before is not this one's.
    if (reply[0] != header[0]) {
        errno = EMBBADSLAVE;
        return -1;
    }
    const std::uint8_t function = header[1];
    if (reply[1] == (function | modbus::kExceptionFlag)) {
        errno = reply[2] > 0 && reply[2] < MODBUS_EXCEPTION_MAX ? int(MODBUS_ENOBASE + reply[2])
                                                                : EMBBADEXC;
        return -1;
    }
    const int wanted = tcp_ ? expectedLength - kCrcBytes : expectedLength;
    const bool echoExpected = function == modbus::kWriteSingleRegister;
    const bool valid = reply[1] == function && length == wanted &&
                       (echoExpected ? exchange.reply.first(kRequestBytes - kCrcBytes) ==
                                           request.first(kRequestBytes - kCrcBytes)
                                     : reply[2] == expectedLength - modbus::readReplyLength(0));
    if (!valid) {
        errno = EMBBADDATA;
        return -1;
    }
    return length;
}

ModuleMaster::Exchange ModuleMaster::exchange(int address, std::uint8_t function, int first,
                                              int countOrValue) {
    const int replyBytes = function == modbus::kWriteSingleRegister
                               ? modbus::kWriteEchoLength
                               : modbus::readReplyLength(countOrValue);
    const std::int64_t timeoutUs = std::int64_t(settings_.timeoutMs) * 1000 +
                                   wireTimeMicroseconds(kRequestBytes + replyBytes, settings_.baud);
    modbus_set_response_timeout(context_, std::uint32_t(timeoutUs / 1'000'000),
                                std::uint32_t(timeoutUs % 1'000'000));
    modbus_set_slave(context_, address);
    Exchange exchange;
    for (const int byte :
         {address, int(function), first >> 8, first, countOrValue >> 8, countOrValue})
        exchange.request.append(char(byte & 0xFF));
    if (!tcp_) { // over TCP the MBAP header frames the request, libmodbus adds it
        const std::uint16_t crc = modbus::crc16Modbus(exchange.request);
        exchange.request.append(char(crc & 0xFF)).append(char(crc >> 8));
    }
    int tries = 0;
    int error = 0;
    do {
        ++tries;
        modbus_flush(context_); // what is left of an earlier reply is not this one's
        if (tryOnce(exchange, replyBytes) != -1)
            return exchange;
        error = errno;
    } while (tries <= settings_.retries && (kindOf(error) == Failure::Kind::NoReply ||
                                            kindOf(error) == Failure::Kind::InvalidReply));
    exchange.failure =
        Failure{kindOf(error), reasonFor(error, address, timeoutUs, tries, settings_.device)};
    return exchange;
}

ModuleMaster::Exchange ModuleMaster::readRegisters(int address, int first, int count) {
    Exchange read = exchange(address, modbus::kReadHoldingRegisters, first, count);
    if (read.failure)
        return read;
    constexpr int kFirstValueByte = 3;
    for (int i = 0; i < count; ++i)
        read.values.push_back(std::uint16_t(std::uint8_t(read.reply[kFirstValueByte + 2 * i]) << 8 |
                                            std::uint8_t(read.reply[kFirstValueByte + 2 * i + 1])));
    return read;
}

ModuleMaster::Exchange ModuleMaster::writeRegister(int address, int registerAddress,
                                                   std::uint16_t value) {
    return exchange(address, modbus::kWriteSingleRegister, registerAddress, value);
}

} // namespace cli
