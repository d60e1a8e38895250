#pragma once

#include "core/line_facts.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

typedef struct _modbus modbus_t;
class PortLock;

namespace cli {

// Why an exchange brought back nothing to use.
struct Failure {
    enum class Kind { NoReply, InvalidReply, Exception, PortGone };
    Kind kind = Kind::NoReply;
    QString reason; // one line
};

// The Modbus RTU master on one serial line: libmodbus, with its CRC, length, address and function
// checks. A reply must be whole within the timeout plus the exchange's time on the wire. No reply
// or an invalid one is tried again `retries` times; an exception reply or a vanished port is final.
class ModuleMaster {
public:
    struct Settings {
        QString device;
        int baud = kDefaultBaudRate;
        int timeoutMs = 200;
        int retries = 1;
    };
    struct OpenFailure {
        bool inUse = false; // another program holds the port's lock
        QString reason;     // one line: "in use by process 1234 (gx7140r-tool)", the system's
    };
    // The port locked as the window locks it, opened exclusively (TIOCEXCL); nullptr, with the
    // reason, when it cannot be.
    static std::unique_ptr<ModuleMaster> open(const Settings &settings, OpenFailure &failure);
    ~ModuleMaster();
    ModuleMaster(const ModuleMaster &) = delete;
    ModuleMaster &operator=(const ModuleMaster &) = delete;

    // One request and its reply, as the last try sent and received them (CRC included; over TCP
    // from the unit id on, without the MBAP header and with no CRC).
    struct Exchange {
        QByteArray request;
        QByteArray reply; // empty when none came or libmodbus dropped it (CRC, address)
        std::vector<std::uint16_t> values; // a read's registers
        std::optional<Failure> failure;
    };
    Exchange readRegisters(int address, int first, int count);
    Exchange writeRegister(int address, int registerAddress, std::uint16_t value);

private:
    ModuleMaster(modbus_t *context, Settings settings, std::unique_ptr<PortLock> lock);
    Exchange exchange(int address, std::uint8_t function, int first, int countOrValue);
    int tryOnce(Exchange &exchange, int expectedLength);

    modbus_t *context_;
    Settings settings_;
    bool tcp_;
    std::unique_ptr<PortLock> lock_; // none over TCP
};

} // namespace cli
