#include "commands.h"

#include "cli_tables.h"
#include "interrupts.h"
#include "module_master.h"
#include "record_format.h"
#include "settling.h"
#include "tcp_address.h"

#include "core/address_list.h"
#include "core/input_checks.h"
#include "core/port_access.h"
#include "core/reply_decoder.h"

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
// errno why the rest did not. Each write waits first, the ending signals let through, until the
// descriptor takes bytes.
bool writeBytes(int descriptor, const QByteArray &bytes, qsizetype &done,
                const HeldInterrupts &held) {
    for (done = 0; done < bytes.size();) {
        held.waitUntilWritable(descriptor);
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
    if (writeBytes(descriptor, bytes, done, held))
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
    auto master =
        ModuleMaster::open({line.device, baud, line.timeoutMs, line.retries, line.echo}, failure);
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
                                                       invocation.line.address(), failure.reason);
    const QString text =
        formatRecord(withFrames(record, reply), invocation.format, TextLayout::Block);
    if (!text.isEmpty())
        printOut(recordHeader(invocation.format) + text);
    return statusFor(failure);
}

// One reading of the module at `address`, the measurement or the address read, printed as a
// line; a failed one prints its reason on stderr (after its time when `timed`) and its rejected
// record (csv, json). A vanished port is left to the caller.
ModuleMaster::Exchange readModule(const Invocation &invocation, ModuleMaster &master,
                                  modbus::RequestKind kind, int address, bool timed) {
    const bool measurement = kind == modbus::RequestKind::Measurement;
    const auto reply =
        measurement ? readMeasurement(master, address) : readAddress(master, address);
    const QDateTime time = localNow();
    if (reply.failure && reply.failure->kind == Failure::Kind::PortGone)
        return reply;
    modbus::ExchangeRecord record;
    if (reply.failure) {
        const QString &reason = reply.failure->reason;
        complain(timed ? modbus::isoTimestamp(time) + QStringLiteral(": ") + reason : reason);
        record = failedRecord(time, kind, address, reason);
    } else {
        record = measurement ? measurementRecord(time, address, reply.values)
                             : addressRecord(time, kind, address);
    }
    printOut(formatRecord(withFrames(record, reply), invocation.format, TextLayout::Line));
    return reply;
}

// Every module of the bus read in turn, each printed as a line: kExitSuccess when every reading
// was accepted, kExitNoAnswer when one failed (the others are read all the same), kExitPort when
// the port vanished (at once). Each accepted concentration goes to the settling when there is one.
int readRound(const Invocation &invocation, ModuleMaster &master, modbus::RequestKind kind,
              bool timed, Settling *settling = nullptr) {
    int status = kExitSuccess;
    for (const int address : invocation.line.addresses) {
        const auto reply = readModule(invocation, master, kind, address, timed);
        if (reply.failure && reply.failure->kind == Failure::Kind::PortGone)
            return fail(*reply.failure);
        if (reply.failure)
            status = kExitNoAnswer;
        if (!settling)
            continue;
        if (reply.failure)
            settling->failed(address);
        else
            settling->accepted(address, Clock::now(),
                               modbus::shownValue(reply.values[modbus::kConcentrationRegister]));
    }
    return status;
}

bool onBus(const Invocation &invocation) {
    return invocation.line.addresses.size() > 1;
}

int showMeasurement(const Invocation &invocation, ModuleMaster &master) {
    if (onBus(invocation)) {
        printOut(recordHeader(invocation.format));
        return readRound(invocation, master, modbus::RequestKind::Measurement, false);
    }
    const int address = invocation.line.address();
    const auto reply = readMeasurement(master, address);
    if (reply.failure)
        return failedReading(invocation, reply);
    return printed(invocation,
                   withFrames(measurementRecord(localNow(), address, reply.values), reply));
}

int showAddress(const Invocation &invocation, ModuleMaster &master) {
    if (onBus(invocation)) {
        printOut(recordHeader(invocation.format));
        return readRound(invocation, master, modbus::RequestKind::AddressRead, false);
    }
    const int address = invocation.line.address();
    const auto reply = readAddress(master, address);
    if (reply.failure)
        return fail(*reply.failure);
    return printed(
        invocation,
        withFrames(addressRecord(localNow(), modbus::RequestKind::AddressRead, address), reply));
}

// The change, then the address read at NEW. When the change's echo is lost or spoiled the
// module may have taken NEW all the same: the read there tells.
int changeAddress(const Invocation &invocation, ModuleMaster &master) {
    const int from = invocation.line.address();
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
    const int address = invocation.line.address();
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

QString milliseconds(Clock::duration duration) {
    return QString::number(std::chrono::round<std::chrono::milliseconds>(duration).count());
}

// Said once, when rounds do not fit the interval: each is followed at once by the next.
void tellOverrun(const Invocation &invocation, Clock::duration took) {
    const auto modules = qsizetype(invocation.line.addresses.size());
    const QString reading = modules > 1
                                ? QStringLiteral("rounds of %1 readings take %2 ms (%3 ms each)")
                                      .arg(modules)
                                      .arg(milliseconds(took), milliseconds(took / modules))
                                : QStringLiteral("a reading takes %1 ms").arg(milliseconds(took));
    complain(reading + QStringLiteral(", more than --interval %1: polling as fast as the line "
                                      "allows")
                           .arg(invocation.intervalMs));
}

QString seconds(Clock::duration duration) {
    return QString::number(std::chrono::duration<double>(duration).count(), 'f', 1);
}

// Where each module settled, or why it did not; kExitSuccess when every one settled.
int tellSettling(const Invocation &invocation, const Settling &settling) {
    const Stability &wanted = *invocation.untilStable;
    for (const int address : invocation.line.addresses) {
        const Settling::State state = settling.state(address);
        const QString module = QStringLiteral("address %1 ").arg(address);
        if (state.settled)
            complain(module + QStringLiteral("settled at %1 ppm: spread %2 ppm over the last %3 s")
                                  .arg(*state.last)
                                  .arg(state.spread)
                                  .arg(wanted.seconds));
        else if (!state.last)
            complain(module + QStringLiteral("did not settle: its last reading failed"));
        else if (state.covered)
            complain(module + QStringLiteral("did not settle: spread %1 ppm over the last %2 s, "
                                             "more than %3 (last %4 ppm)")
                                  .arg(state.spread)
                                  .arg(wanted.seconds)
                                  .arg(wanted.spreadPpm)
                                  .arg(*state.last));
        else
            complain(module + QStringLiteral("did not settle: spread %1 ppm over %2 s of "
                                             "readings, not yet %3 s (last %4 ppm)")
                                  .arg(state.spread)
                                  .arg(seconds(state.span))
                                  .arg(wanted.seconds)
                                  .arg(*state.last));
    }
    return settling.allSettled() ? kExitSuccess : kExitNoAnswer;
}

// One round every interval, start to start: every module in turn, a line each. A round that
// takes longer than the interval is followed at once by the next, never by two to catch up; two
// such rounds in a row (the rounds do not fit, rather than the machine or a module was slow
// once) are said once on stderr. A failed reading is reported and the polling goes on; a vanished
// port ends it. With --until-stable it ends as soon as every module settled.
int poll(const Invocation &invocation, ModuleMaster &master) {
    std::optional<Clock::time_point> end;
    if (invocation.durationSeconds)
        end = Clock::now() + std::chrono::seconds(*invocation.durationSeconds);
    std::optional<Settling> settling;
    if (invocation.untilStable)
        settling.emplace(invocation.untilStable->spreadPpm,
                         std::chrono::seconds(invocation.untilStable->seconds),
                         invocation.line.addresses);
    printOut(recordHeader(invocation.format));
    const auto interval = std::chrono::milliseconds(invocation.intervalMs);
    bool allRead = true;
    bool lastOverran = false;
    bool overrunTold = false;
    auto due = Clock::now();
    for (int rounds = 0; !invocation.count || rounds < *invocation.count; ++rounds) {
        std::this_thread::sleep_until(end ? std::min(due, *end) : due);
        if (end && Clock::now() >= *end)
            break;
        const auto start = Clock::now();
        due += interval;
        const int status = readRound(invocation, master, modbus::RequestKind::Measurement, true,
                                     settling ? &*settling : nullptr);
        if (status == kExitPort)
            return status;
        allRead = allRead && status == kExitSuccess;
        if (settling && settling->allSettled())
            return tellSettling(invocation, *settling);
        const auto now = Clock::now();
        const bool overran = now - start > interval;
        if (overran && lastOverran && !overrunTold) {
            tellOverrun(invocation, now - start);
            overrunTold = true;
        }
        lastOverran = overran;
        due = std::max(due, now);
    }
    if (settling)
        return tellSettling(invocation, *settling);
    return allRead ? kExitSuccess : kExitNoAnswer;
}

// "1-5,9": the addresses as --address takes them back.
QString addressListText(const std::vector<int> &addresses) {
    return QString::fromStdString(modbus::addressListText(addresses));
}

// "found 3 modules: --baud 9600 --address 1,5,9", to be given back to the command line as it is.
void tellFound(const std::vector<int> &found, std::optional<int> baud) {
    QString options = QStringLiteral("--address ") + addressListText(found);
    if (baud)
        options.prepend(QStringLiteral("--baud %1 ").arg(*baud));
    complain(QStringLiteral("found %1 %2: %3")
                 .arg(found.size())
                 .arg(found.size() == 1 ? QStringLiteral("module") : QStringLiteral("modules"),
                      options));
}

// Every address at every rate: a module counts as found when it answers the address read with a
// valid reply or a Modbus exception. Each rate that found modules ends with a line on stderr that
// names them as options for the command line.
int scan(const Invocation &invocation) {
    const bool showProgress = isatty(STDERR_FILENO);
    const auto clearProgress = [&] {
        if (showProgress)
            writeAll(STDERR_FILENO, kClearLine);
        setProgressShown(false);
    };
    // A Modbus TCP port has no baud rate: one pass, and no rate printed.
    const bool tcp = isTcpAddress(invocation.line.device);
    const QString scanned = addressListText(invocation.scanAddresses);
    printOut(scanHeader(invocation.format, !tcp));
    bool anyFound = false;
    QString echoTrouble; // a line whose echo is not as --echo says hides every module alike
    for (const int baud : invocation.bauds) {
        const auto master = openPort(invocation, baud);
        if (!master)
            return kExitPort;
        std::vector<int> found;
        for (const int address : invocation.scanAddresses) {
            if (showProgress) {
                writeAll(STDERR_FILENO,
                         QStringLiteral("\rscanning at %1 baud: address %2 of %3\033[K")
                             .arg(baud)
                             .arg(address)
                             .arg(scanned));
                setProgressShown(true);
            }
            const auto failure = readAddress(*master, address).failure;
            if (failure && failure->kind == Failure::Kind::PortGone) {
                clearProgress();
                return fail(*failure);
            }
            if (failure && failure->echo && echoTrouble.isEmpty())
                echoTrouble = failure->reason;
            if (!failure || failure->kind == Failure::Kind::Exception) {
                clearProgress();
                printOut(formatFind(address, tcp ? std::nullopt : std::optional(baud),
                                    invocation.format));
                found.push_back(address);
            }
        }
        clearProgress();
        if (!found.empty())
            tellFound(found, tcp ? std::nullopt : std::optional(baud));
        anyFound = anyFound || !found.empty();
    }
    if (!anyFound) {
        complain(QStringLiteral("no module answered at addresses %1").arg(scanned) +
                 (echoTrouble.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(echoTrouble)));
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
         QStringLiteral("read one measurement and print every decoded field; with a LIST of "
                        "addresses, one line per module as poll prints them"),
         nullptr,
         showMeasurement,
         nullptr},
        {QStringLiteral("poll"),
         QStringLiteral("--interval MS [--count N | --duration SECONDS]"),
         {},
         QStringLiteral("read every MS milliseconds (%1 to %2), one reading per line with an ISO "
                        "8601 timestamp: N rounds, for SECONDS (at most %3), until settled "
                        "(--until-stable), or until interrupted")
             .arg(modbus::kShortestPollInterval)
             .arg(modbus::kLongestPollInterval)
             .arg(kLongestDurationSeconds),
         readPoll,
         poll,
         nullptr},
        {QStringLiteral("address"),
         {},
         {},
         QStringLiteral("read the address of the module that answers at --address (of each, "
                        "with a LIST)"),
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
         QStringLiteral("[--bauds LIST] [--addresses LIST]"),
         {},
         QStringLiteral("find every module that answers: at each rate of --bauds (default %1), "
                        "each address of --addresses (default %2-%3); prints the address and baud "
                        "rate of each find as it happens, progress on stderr when that is a "
                        "terminal, and for each rate that found any a last line on stderr that "
                        "names them as options: found 3 modules: --baud 9600 --address 1,5,9")
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
