#include "commands.h"

#include "cli_tables.h"
#include "interrupts.h"
#include "module_master.h"
#include "record_format.h"
#include "tcp_address.h"

#include "core/input_checks.h"
#include "core/port_access.h"

#include <QDateTime>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace cli {
namespace {

using Clock = std::chrono::steady_clock;
const QString kClearLine = QStringLiteral("\r\033[K");

// Now in local time with its offset from UTC, from localtime_r: QDateTime's local time asks the
// C library to look at /etc/localtime again each time, three file lookups per reading. (So a
// change of the system's time zone shows in a run started after it.)
QDateTime localNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(sinceEpoch.count(), Qt::OffsetFromUTC,
                                          int(local.tm_gmtoff));
}

// Hands the bytes to the system until all went or a write failed; `done` tells how many went,
// errno why the rest did not.
bool writeBytes(int descriptor, const QByteArray &bytes, qsizetype &done) {
    for (done = 0; done < bytes.size();) {
        const ssize_t written =
            ::write(descriptor, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// After a write that stopped within a line (a full disk, the file size limit), a regular file is
// cut back to the end of its last whole line, so that every line in it reads.
void cutBackToWholeLine(int descriptor, const QByteArray &bytes, qsizetype done) {
    struct stat facts {};
    if (done == 0 || ::fstat(descriptor, &facts) != 0 || !S_ISREG(facts.st_mode))
        return;
    const qsizetype wholeLines = bytes.lastIndexOf('\n', done - 1) + 1;
    const off_t end = ::lseek(descriptor, 0, SEEK_CUR);
    const off_t cutAt = end - off_t(done - wholeLines);
    if (end >= 0 && cutAt >= 0) {
        // When even this fails there is nothing more to try; the failed write's reason is told.
        [[maybe_unused]] const int cut = ::ftruncate(descriptor, cutAt);
    }
}

// The whole text handed to the system, the ending signals held meanwhile so that it goes out
// whole or not at all; errno tells why when it did not. A regular file keeps only whole lines.
bool writeAll(int descriptor, const QString &text) {
    const QByteArray bytes = text.toLocal8Bit();
    HeldInterrupts held;
    qsizetype done = 0;
    if (writeBytes(descriptor, bytes, done))
        return true;
    const int error = errno;
    cutBackToWholeLine(descriptor, bytes, done);
    errno = error;
    return false;
}

void complain(const QString &reason) {
    writeAll(STDERR_FILENO, QStringLiteral("gx7140r-cli: %1\n").arg(reason));
}

// Standard output that could not be written ends the program with its own status.
struct OutputFailed {};

void printOut(const QString &text) {
    if (text.isEmpty() || writeAll(STDOUT_FILENO, text))
        return;
    const int error = errno;
    complain(QStringLiteral("cannot write standard output: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(error))));
    throw OutputFailed{};
}

int statusFor(const Failure &failure) {
    return failure.kind == Failure::Kind::PortGone ? kExitPort : kExitNoAnswer;
}

int fail(const Failure &failure) {
    complain(failure.reason);
    return statusFor(failure);
}

// "/dev/ttyUSB0 (COM1)" or "COM1 (/dev/ttyUSB0)", the first one named first.
QString portName(const Line &line, bool portFirst) {
    if (line.port == line.device)
        return line.device;
    return portFirst ? QStringLiteral("%1 (%2)").arg(line.port, line.device)
                     : QStringLiteral("%1 (%2)").arg(line.device, line.port);
}

std::unique_ptr<ModuleMaster> openPort(const Invocation &invocation, int baud) {
    const Line &line = invocation.line;
    ModuleMaster::OpenFailure failure;
    auto master = ModuleMaster::open({line.device, baud, line.timeoutMs, line.retries}, failure);
    if (master)
        return master;
    if (failure.inUse)
        complain(QStringLiteral("%1 is %2").arg(portName(line, true), failure.reason));
    else
        complain(QStringLiteral("cannot open %1: %2").arg(portName(line, false), failure.reason) +
                 refusalNote(line.device));
    return nullptr;
}

// The record with the frames of its exchange, as the window's log has them.
modbus::ExchangeRecord withFrames(modbus::ExchangeRecord record,
                                  const ModuleMaster::Exchange &exchange) {
    record.request = exchange.request;
    record.reply = exchange.reply;
    return record;
}

int printed(const Invocation &invocation, const modbus::ExchangeRecord &record) {
    printOut(recordHeader(invocation.format) +
             formatRecord(record, invocation.format, TextLayout::Block));
    return kExitSuccess;
}

// The window's address read: one register from 0. Only a reply from `address` counts.
ModuleMaster::Exchange readAddress(ModuleMaster &master, int address) {
    return master.exchange(modbus::Request::addressRead(std::uint8_t(address)));
}

ModuleMaster::Exchange readMeasurement(ModuleMaster &master, int address) {
    return master.readRegisters(address, 0, modbus::kMeasurementRegisterCount);
}

// A reading that failed, printed as poll prints it (nothing in text), after its reason.
int failedReading(const Invocation &invocation, const ModuleMaster::Exchange &reply) {
    const Failure &failure = *reply.failure;
    if (failure.kind == Failure::Kind::PortGone)
        return fail(failure);
    complain(failure.reason);
    const modbus::ExchangeRecord record = failedRecord(localNow(), modbus::RequestKind::Measurement,
                                                       invocation.line.address, failure.reason);
    const QString text =
        formatRecord(withFrames(record, reply), invocation.format, TextLayout::Block);
    if (!text.isEmpty())
        printOut(recordHeader(invocation.format) + text);
    return statusFor(failure);
}

int showMeasurement(const Invocation &invocation, ModuleMaster &master) {
    const auto reply = readMeasurement(master, invocation.line.address);
    if (reply.failure)
        return failedReading(invocation, reply);
    return printed(
        invocation,
        withFrames(measurementRecord(localNow(), invocation.line.address, reply.values), reply));
}

int showAddress(const Invocation &invocation, ModuleMaster &master) {
    const auto reply = readAddress(master, invocation.line.address);
    if (reply.failure)
        return fail(*reply.failure);
    return printed(invocation,
                   withFrames(addressRecord(localNow(), modbus::RequestKind::AddressRead,
                                            invocation.line.address),
                              reply));
}

// The change, then the address read at NEW. When the change's echo is lost or spoiled the
// module may have taken NEW all the same: the read there tells.
int changeAddress(const Invocation &invocation, ModuleMaster &master) {
    const int from = invocation.line.address;
    const int to = invocation.newAddress;
    const auto change =
        master.exchange(modbus::Request::addressChange(std::uint8_t(from), std::uint8_t(to)));
    if (change.failure && change.failure->kind != Failure::Kind::NoReply &&
        change.failure->kind != Failure::Kind::InvalidReply)
        return fail(*change.failure);
    const auto check = readAddress(master, to);
    if (check.failure && change.failure) {
        complain(QStringLiteral("%1; no answer at %2 either (%3): the module answers at %4 or %2, "
                                "try --address %4 and --address %2")
                     .arg(change.failure->reason)
                     .arg(to)
                     .arg(check.failure->reason)
                     .arg(from));
        return statusFor(*check.failure);
    }
    if (check.failure) {
        complain(QStringLiteral("the module took address %1 but does not answer there: %2")
                     .arg(to)
                     .arg(check.failure->reason));
        return statusFor(*check.failure);
    }
    if (change.failure)
        complain(QStringLiteral("the change's echo was lost (%1), but the module answers at %2")
                     .arg(change.failure->reason)
                     .arg(to));
    return printed(
        invocation,
        withFrames(addressRecord(localNow(), modbus::RequestKind::AddressChange, to), change));
}

int writeSetting(const Invocation &invocation, ModuleMaster &master) {
    const modbus::ModuleField &field = *invocation.field;
    const int address = invocation.line.address;
    const auto write = master.exchange(modbus::Request::parameterWrite(
        std::uint8_t(address), std::uint16_t(*field.parameter), invocation.value));
    if (write.failure)
        return fail(*write.failure);
    const auto readBack = master.readRegisters(address, field.address, 1);
    if (readBack.failure)
        return fail(*readBack.failure);
    if (readBack.values.front() != invocation.value) {
        complain(QStringLiteral("%1 reads back %2, not %3")
                     .arg(QLatin1String(field.key.data(), qsizetype(field.key.size())))
                     .arg(readBack.values.front())
                     .arg(invocation.value));
        return kExitNoAnswer;
    }
    return printed(invocation,
                   withFrames(settingRecord(localNow(), address, field, invocation.value), write));
}

// One reading every interval (start to start; a late one delays the next, it does not crowd
// it). A failed reading is reported and the polling goes on; a vanished port ends it.
int poll(const Invocation &invocation, ModuleMaster &master) {
    std::optional<Clock::time_point> end;
    if (invocation.durationSeconds)
        end = Clock::now() + std::chrono::seconds(*invocation.durationSeconds);
    printOut(recordHeader(invocation.format));
    bool allRead = true;
    auto due = Clock::now();
    const int address = invocation.line.address;
    for (int readings = 0; !invocation.count || readings < *invocation.count; ++readings) {
        std::this_thread::sleep_until(end ? std::min(due, *end) : due);
        if (end && Clock::now() >= *end)
            break;
        due += std::chrono::milliseconds(invocation.intervalMs);
        const auto reply = readMeasurement(master, address);
        const QDateTime time = localNow();
        due = std::max(due, Clock::now());
        if (!reply.failure) {
            printOut(formatRecord(withFrames(measurementRecord(time, address, reply.values), reply),
                                  invocation.format, TextLayout::Line));
            continue;
        }
        if (reply.failure->kind == Failure::Kind::PortGone)
            return fail(*reply.failure);
        allRead = false;
        complain(modbus::isoTimestamp(time) + QStringLiteral(": ") + reply.failure->reason);
        printOut(formatRecord(withFrames(failedRecord(time, modbus::RequestKind::Measurement,
                                                      address, reply.failure->reason),
                                         reply),
                              invocation.format, TextLayout::Line));
    }
    return allRead ? kExitSuccess : kExitNoAnswer;
}

// Every address at every rate: a module counts as found when it answers the address read with a
// valid reply or a Modbus exception.
int scan(const Invocation &invocation) {
    const bool showProgress = isatty(STDERR_FILENO);
    const auto clearProgress = [&] {
        if (showProgress)
            writeAll(STDERR_FILENO, kClearLine);
        setProgressShown(false);
    };
    // A Modbus TCP port has no baud rate: one pass, and no rate printed.
    const bool tcp = isTcpAddress(invocation.line.device);
    printOut(scanHeader(invocation.format, !tcp));
    int found = 0;
    for (const int baud : invocation.bauds) {
        const auto master = openPort(invocation, baud);
        if (!master)
            return kExitPort;
        for (int address = invocation.firstAddress; address <= invocation.lastAddress; ++address) {
            if (showProgress) {
                writeAll(STDERR_FILENO, QStringLiteral("\rscanning at %1 baud: address %2 of "
                                                       "%3-%4\033[K")
                                            .arg(baud)
                                            .arg(address)
                                            .arg(invocation.firstAddress)
                                            .arg(invocation.lastAddress));
                setProgressShown(true);
            }
            const auto failure = readAddress(*master, address).failure;
            if (failure && failure->kind == Failure::Kind::PortGone) {
                clearProgress();
                return fail(*failure);
            }
            if (!failure || failure->kind == Failure::Kind::Exception) {
                clearProgress();
                printOut(formatFind(address, tcp ? std::nullopt : std::optional(baud),
                                    invocation.format));
                ++found;
            }
        }
    }
    clearProgress();
    if (found == 0) {
        complain(QStringLiteral("no module answered at addresses %1-%2")
                     .arg(invocation.firstAddress)
                     .arg(invocation.lastAddress));
        return kExitNoAnswer;
    }
    return kExitSuccess;
}

} // namespace

// One row per command: its name, options and arguments as the help shows them, what it does, the
// function that reads its own arguments and options (cli_options.cpp), the one that runs it, and
// its --timeout and --retries when not given.
const QList<CommandInfo> &commandTable() {
    static const QList<CommandInfo> table{
        {QStringLiteral("read"),
         {},
         {},
         QStringLiteral("read one measurement and print every decoded field"),
         nullptr,
         showMeasurement,
         nullptr},
        {QStringLiteral("poll"),
         QStringLiteral("--interval MS [--count N | --duration SECONDS]"),
         {},
         QStringLiteral("read every MS milliseconds (%1 to %2), one reading per line with an ISO "
                        "8601 timestamp: N readings, for SECONDS (at most %3), or until "
                        "interrupted")
             .arg(modbus::kShortestPollInterval)
             .arg(modbus::kLongestPollInterval)
             .arg(kLongestDurationSeconds),
         readPoll,
         poll,
         nullptr},
        {QStringLiteral("address"),
         {},
         {},
         QStringLiteral("read the address of the module that answers at --address"),
         nullptr,
         showAddress,
         nullptr},
        {QStringLiteral("set-address"),
         {},
         {QStringLiteral("NEW")},
         QStringLiteral("change the module's address to NEW, then read it back at NEW (also when "
                        "the change's echo is lost); %1 to %2: the module takes up to %3, but "
                        "libmodbus reaches no further than %2 (the window sets %4 to %3)")
             .arg(modbus::kLowestModuleAddress)
             .arg(kHighestReachableAddress)
             .arg(modbus::kHighestModuleAddress)
             .arg(kHighestReachableAddress + 1),
         readSetAddress,
         changeAddress,
         nullptr},
        {QStringLiteral("set"),
         QStringLiteral("[--force]"),
         {QStringLiteral("NAME"), QStringLiteral("VALUE")},
         QStringLiteral("write one configuration register, then read it back. NAME and the "
                        "values the module takes: %1. VALUE is a decimal number; one outside "
                        "that range, or one the register cannot hold as it is (a fraction), is "
                        "refused and nothing is sent. --force writes it as the window does: "
                        "65536 added when negative, rounded to the nearest integer (halves to "
                        "even), 0 to 65535 after that")
             .arg(settingsWithRanges()),
         readSet,
         writeSetting,
         nullptr},
        {QStringLiteral("scan"),
         QStringLiteral("[--bauds LIST] [--addresses FROM-TO]"),
         {},
         QStringLiteral("find every module that answers: at each rate of LIST (default %1), each "
                        "address FROM to TO (default %2-%3); prints the address and baud rate of "
                        "each find as it happens, progress on stderr when that is a terminal")
             .arg(baudRateList(QStringLiteral(","), QStringLiteral(",")))
             .arg(modbus::kLowestModuleAddress)
             .arg(kHighestReachableAddress),
         readScan,
         nullptr,
         scan,
         kDefaultScanTimeoutMs,
         kDefaultScanRetries},
    };
    return table;
}

namespace {

int runCommand(const Invocation &invocation) {
    const CommandInfo &command = *invocation.command;
    if (command.runOwnPorts)
        return command.runOwnPorts(invocation);
    const auto master = openPort(invocation, invocation.line.baud);
    if (!master)
        return kExitPort;
    return command.run(invocation, *master);
}

} // namespace

int refuseClosedOutput() {
    complain(QStringLiteral("cannot write standard output: it is closed"));
    return kExitOutput;
}

int run(const Invocation &invocation) {
    endAtOnceOnInterrupt();
    try {
        switch (invocation.action) {
        case Invocation::Action::UsageError:
            complain(invocation.error + QStringLiteral(" (see --help)"));
            return kExitUsage;
        case Invocation::Action::ShowHelp:
            printOut(helpText());
            return kExitSuccess;
        case Invocation::Action::ShowVersion:
            printOut(versionText());
            return kExitSuccess;
        case Invocation::Action::Run:
            break;
        }
        return runCommand(invocation);
    } catch (const OutputFailed &) {
        return kExitOutput;
    }
}

} // namespace cli
