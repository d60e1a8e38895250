#include "commands.h"

#include "interrupts.h"
#include "module_master.h"
#include "record_format.h"

#include <QDateTime>

#include <cstdio>
#include <ctime>
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

void print(FILE *stream, const QString &text) {
    if (text.isEmpty())
        return;
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

void complain(const QString &reason) {
    print(stderr, QStringLiteral("gx7140r-cli: %1\n").arg(reason));
}

int statusFor(const Failure &failure) {
    return failure.kind == Failure::Kind::PortGone ? kExitPort : kExitNoAnswer;
}

int fail(const Failure &failure) {
    complain(failure.reason);
    return statusFor(failure);
}

QString portName(const Line &line) {
    return line.port == line.device ? line.device
                                    : QStringLiteral("%1 (%2)").arg(line.device, line.port);
}

std::unique_ptr<ModuleMaster> openPort(const Invocation &invocation, int baud) {
    const Line &line = invocation.line;
    QString error;
    auto master = ModuleMaster::open({line.device, baud, line.timeoutMs, line.retries}, error);
    if (!master)
        complain(QStringLiteral("cannot open %1: %2").arg(portName(line), error));
    return master;
}

int printed(const Invocation &invocation, const modbus::ExchangeRecord &record) {
    print(stdout, recordHeader(invocation.format) +
                      formatRecord(record, invocation.format, TextLayout::Block));
    return kExitSuccess;
}

// The window's address read: one register from 0. libmodbus takes the reply only from `address`.
std::optional<Failure> readAddress(ModuleMaster &master, int address) {
    return master.readRegisters(address, 0, 1).failure;
}

ModuleMaster::Registers readMeasurement(ModuleMaster &master, int address) {
    return master.readRegisters(address, 0, modbus::kMeasurementRegisterCount);
}

int showMeasurement(const Invocation &invocation, ModuleMaster &master) {
    const auto reply = readMeasurement(master, invocation.line.address);
    if (reply.failure)
        return fail(*reply.failure);
    return printed(invocation,
                   measurementRecord(localNow(), invocation.line.address, reply.values));
}

int showAddress(const Invocation &invocation, ModuleMaster &master) {
    if (const auto failure = readAddress(master, invocation.line.address))
        return fail(*failure);
    return printed(invocation, addressRecord(localNow(), modbus::RequestKind::AddressRead,
                                             invocation.line.address));
}

int changeAddress(const Invocation &invocation, ModuleMaster &master) {
    if (const auto failure = master.writeRegister(
            invocation.line.address, modbus::kSlaveAddressRegister, invocation.newAddress))
        return fail(*failure);
    if (const auto failure = readAddress(master, invocation.newAddress)) {
        complain(QStringLiteral("the module took address %1 but does not answer there: %2")
                     .arg(invocation.newAddress)
                     .arg(failure->reason));
        return statusFor(*failure);
    }
    return printed(invocation, addressRecord(localNow(), modbus::RequestKind::AddressChange,
                                             invocation.newAddress));
}

int writeSetting(const Invocation &invocation, ModuleMaster &master) {
    const modbus::ModuleField &field = *invocation.field;
    const int address = invocation.line.address;
    if (const auto failure = master.writeRegister(address, *field.parameter, invocation.value))
        return fail(*failure);
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
    return printed(invocation, settingRecord(localNow(), address, field, invocation.value));
}

// One reading every interval (start to start; a late one delays the next, it does not crowd
// it). A failed reading is reported and the polling goes on; a vanished port ends it.
int poll(const Invocation &invocation, ModuleMaster &master) {
    HeldInterrupts interrupts;
    std::optional<Clock::time_point> end;
    if (invocation.durationSeconds)
        end = Clock::now() + std::chrono::seconds(*invocation.durationSeconds);
    print(stdout, recordHeader(invocation.format));
    bool allRead = true;
    auto due = Clock::now();
    for (int readings = 0; !invocation.count || readings < *invocation.count; ++readings) {
        if (const int signal = interrupts.waitUntil(end ? std::min(due, *end) : due))
            return exitStatusFor(signal);
        if (end && Clock::now() >= *end)
            break;
        due += std::chrono::milliseconds(invocation.intervalMs);
        const auto reply = readMeasurement(master, invocation.line.address);
        const QDateTime time = localNow();
        due = std::max(due, Clock::now());
        if (!reply.failure) {
            print(stdout,
                  formatRecord(measurementRecord(time, invocation.line.address, reply.values),
                               invocation.format, TextLayout::Line));
            continue;
        }
        if (reply.failure->kind == Failure::Kind::PortGone)
            return fail(*reply.failure);
        allRead = false;
        complain(modbus::isoTimestamp(time) + QStringLiteral(": ") + reply.failure->reason);
        print(stdout, formatRecord(failedRecord(time, modbus::RequestKind::Measurement,
                                                reply.failure->reason),
                                   invocation.format, TextLayout::Line));
    }
    if (const int signal = interrupts.pending())
        return exitStatusFor(signal);
    return allRead ? kExitSuccess : kExitNoAnswer;
}

// Every address at every rate: a module counts as found when it answers the address read with a
// valid reply or a Modbus exception.
int scan(const Invocation &invocation) {
    HeldInterrupts interrupts;
    const bool showProgress = isatty(STDERR_FILENO);
    const auto clearProgress = [&] {
        if (showProgress)
            print(stderr, kClearLine);
    };
    print(stdout, scanHeader(invocation.format));
    int found = 0;
    for (const int baud : invocation.bauds) {
        const auto master = openPort(invocation, baud);
        if (!master)
            return kExitPort;
        for (int address = invocation.firstAddress; address <= invocation.lastAddress; ++address) {
            if (const int signal = interrupts.pending()) {
                clearProgress();
                return exitStatusFor(signal);
            }
            if (showProgress)
                print(stderr, QStringLiteral("\rscanning at %1 baud: address %2 of %3-%4\033[K")
                                  .arg(baud)
                                  .arg(address)
                                  .arg(invocation.firstAddress)
                                  .arg(invocation.lastAddress));
            const auto failure = readAddress(*master, address);
            if (failure && failure->kind == Failure::Kind::PortGone) {
                clearProgress();
                return fail(*failure);
            }
            if (!failure || failure->kind == Failure::Kind::Exception) {
                clearProgress();
                print(stdout, formatFind(address, baud, invocation.format));
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

int run(const Invocation &invocation) {
    switch (invocation.action) {
    case Invocation::Action::UsageError:
        complain(invocation.error + QStringLiteral(" (see --help)"));
        return kExitUsage;
    case Invocation::Action::ShowHelp:
        print(stdout, helpText());
        return kExitSuccess;
    case Invocation::Action::ShowVersion:
        print(stdout, versionText());
        return kExitSuccess;
    case Invocation::Action::Run:
        break;
    }
    if (invocation.command == Command::Scan)
        return scan(invocation);
    const auto master = openPort(invocation, invocation.line.baud);
    if (!master)
        return kExitPort;
    switch (invocation.command) {
    case Command::Read:
        return showMeasurement(invocation, *master);
    case Command::Poll:
        return poll(invocation, *master);
    case Command::Address:
        return showAddress(invocation, *master);
    case Command::SetAddress:
        return changeAddress(invocation, *master);
    case Command::Set:
        return writeSetting(invocation, *master);
    case Command::Scan:
        break;
    }
    return kExitSuccess;
}

} // namespace cli
