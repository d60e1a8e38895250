#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

typedef struct _modbus modbus_t;

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
        int baud = 9600;
        int timeoutMs = 200;
        int retries = 1;
    };
    // nullptr, with the system's reason in `error`, when the port cannot be opened.
    static std::unique_ptr<ModuleMaster> open(const Settings &settings, QString &error);
    ~ModuleMaster();
    ModuleMaster(const ModuleMaster &) = delete;
    ModuleMaster &operator=(const ModuleMaster &) = delete;

    struct Registers {
        std::vector<std::uint16_t> values;
        std::optional<Failure> failure;
    };
    Registers readRegisters(int address, int first, int count);
    std::optional<Failure> writeRegister(int address, int registerAddress, std::uint16_t value);

private:
    ModuleMaster(modbus_t *context, Settings settings);
    template <typename Attempt>
    std::optional<Failure> exchange(int address, int replyBytes, Attempt attempt);

    modbus_t *context_;
    Settings settings_;
};

} // namespace cli
