#pragma once

#include "core/line_facts.h"
#include "core/module_map.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The command line of gx7140r-cli, read and checked in full before any port is opened, so that a
// usage error sends nothing. Pure: where a COMn leads comes in as a function.
namespace cli {

struct CommandInfo; // its row in the command table (cli_tables.h)
enum class Format { Text, Csv, Json };

// libmodbus's RTU master reaches slaves 1..247; the module itself takes addresses up to 250.
inline constexpr int kHighestReachableAddress = modbus::kHighestLibmodbusAddress;
inline constexpr int kDefaultTimeoutMs = 200;
inline constexpr int kDefaultScanTimeoutMs = 50;
inline constexpr int kDefaultRetries = 1;
inline constexpr int kDefaultScanRetries = 0; // a missing address costs one timeout
inline constexpr int kLongestTimeoutMs = 60000;
inline constexpr int kMostRetries = 10;
inline constexpr int kLongestDurationSeconds = 366 * 24 * 3600;
inline constexpr int kWidestSpreadPpm = 65535;              // a register's range
inline const QString kDefaultPort = QStringLiteral("COM1"); // the window's start-up port

// Where and how the exchanges go.
struct Line {
    QString port;   // as given: COMn or a device
    QString device; // what is opened
    int baud = kDefaultBaudRate;
    std::vector<int> addresses{1}; // --address: one module, or a bus read in this order
    int address() const { return addresses.front(); }
    int timeoutMs = kDefaultTimeoutMs; // beyond the exchange's time on the wire
    int retries = kDefaultRetries;
    bool echo = false; // the line gives back every request before the reply
};

// poll --until-stable SPREAD,SECONDS
struct Stability {
    int spreadPpm = 0;
    int seconds = 0;
};

// 1, 2, ... 247
inline std::vector<int> everyReachableAddress() {
    std::vector<int> addresses;
    for (int address = modbus::kLowestModuleAddress; address <= kHighestReachableAddress; ++address)
        addresses.push_back(address);
    return addresses;
}

struct Invocation {
    enum class Action { Run, ShowHelp, ShowVersion, UsageError };
    Action action = Action::Run;
    QString error; // one line, for UsageError
    const CommandInfo *command = nullptr;
    Format format = Format::Text;
    Line line;
    // poll
    int intervalMs = 0;
    std::optional<int> count;
    std::optional<int> durationSeconds;
    std::optional<Stability> untilStable;
    // set-address
    int newAddress = 0;
    // set
    const modbus::ModuleField *field = nullptr;
    std::uint16_t value = 0; // what is written
    bool force = false;      // --force: written even outside the module's range
    // scan
    QList<int> bauds;
    std::vector<int> scanAddresses = everyReachableAddress();
};

using PortRoute = std::function<QString(int port)>; // COMn -> device

// Arguments without the program name.
Invocation parseCommandLine(const QStringList &arguments, const PortRoute &route);

// The readers of the commands' own arguments and options, named in their rows (commands.cpp),
// beside the Invocation fields they fill.
struct ParsedOptions; // the options as given around the command
bool readPoll(const ParsedOptions &, const QStringList &, Invocation &, QString &error);
bool readSetAddress(const ParsedOptions &, const QStringList &, Invocation &, QString &error);
bool readSet(const ParsedOptions &, const QStringList &, Invocation &, QString &error);
bool readScan(const ParsedOptions &, const QStringList &, Invocation &, QString &error);

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoAnswer = 1; // no reply, an exception, an invalid frame, a mismatch
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPort = 3;   // the port could not be opened, is in use, or vanished
inline constexpr int kExitOutput = 4; // standard output could not be written

} // namespace cli
