#include "module_master.h"
#include "tcp_address.h"

#include "core/exchange_record.h"
#include "core/frame_codec.h"
#include "core/module_protocol.h"
#include "core/line_settings.h"

#include <modbus/modbus.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <tuple>

namespace cli {
namespace {

constexpr int kRequestBytes = int(std::tuple_size_v<modbus::Frame>);

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

std::unique_ptr<ModuleMaster> ModuleMaster::open(const Settings &settings, QString &error) {
    modbus_t *context =
        isTcpAddress(settings.device)
            ? newTcpContext(settings.device, settings.timeoutMs)
            : modbus_new_rtu(settings.device.toLocal8Bit().constData(), settings.baud, 'N', 8, 1);
    if (!context) {
        error = QString::fromLocal8Bit(modbus_strerror(errno));
        return nullptr;
    }
    if (modbus_connect(context) != 0) {
        const int reason = errno;
        error = isTcpAddress(settings.device)
                    ? tcpConnectFailure(settings.device, reason, settings.timeoutMs)
                    : QString::fromLocal8Bit(modbus_strerror(reason));
        modbus_free(context);
        return nullptr;
    }
    // No byte timeout: the whole reply must be in within the response timeout.
    modbus_set_byte_timeout(context, 0, 0);
    return std::unique_ptr<ModuleMaster>(new ModuleMaster(context, settings));
}

ModuleMaster::ModuleMaster(modbus_t *context, Settings settings)
    : context_(context), settings_(std::move(settings)) {}

ModuleMaster::~ModuleMaster() {
    modbus_close(context_);
    modbus_free(context_);
}

template <typename Attempt>
std::optional<Failure> ModuleMaster::exchange(int address, int replyBytes, Attempt attempt) {
    const std::int64_t timeoutUs = std::int64_t(settings_.timeoutMs) * 1000 +
                                   wireTimeMicroseconds(kRequestBytes + replyBytes, settings_.baud);
    modbus_set_response_timeout(context_, std::uint32_t(timeoutUs / 1'000'000),
                                std::uint32_t(timeoutUs % 1'000'000));
    modbus_set_slave(context_, address);
    int tries = 0;
    int error = 0;
    do {
        ++tries;
        modbus_flush(context_); // what is left of an earlier reply is not this one's
        if (attempt() != -1)
            return std::nullopt;
        error = errno;
    } while (tries <= settings_.retries && (kindOf(error) == Failure::Kind::NoReply ||
                                            kindOf(error) == Failure::Kind::InvalidReply));
    return Failure{kindOf(error), reasonFor(error, address, timeoutUs, tries, settings_.device)};
}

ModuleMaster::Registers ModuleMaster::readRegisters(int address, int first, int count) {
    Registers registers;
    registers.values.resize(std::size_t(count));
    registers.failure = exchange(address, modbus::readReplyLength(count), [&] {
        return modbus_read_registers(context_, first, count, registers.values.data());
    });
    if (registers.failure)
        registers.values.clear();
    return registers;
}

std::optional<Failure> ModuleMaster::writeRegister(int address, int registerAddress,
                                                   std::uint16_t value) {
    return exchange(address, modbus::kWriteEchoLength,
                    [&] { return modbus_write_register(context_, registerAddress, value); });
}

} // namespace cli
