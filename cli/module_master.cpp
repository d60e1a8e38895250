#include "module_master.h"
#include "tcp_address.h"

#include "interrupts.h"

#include "core/exchange_record.h"
#include "core/frame_codec.h"
#include "core/line_settings.h"
#include "core/port_lock.h"

#include <QFile>

#include <modbus/modbus.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace cli {
namespace {

constexpr int kWritePollMs = 10; // a line that takes no more bytes for now: ask again after this

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

// What one exchange came to: an errno as libmodbus sets it (0: accepted) and, for an invalid reply
// libmodbus has no errno of its own for, what was wrong in words.
struct Outcome {
    int error = 0;
    QString problem;
    bool final = false; // trying again cannot help
    bool echo = false;  // the line's echo is not as --echo says
};

QString reasonFor(const Outcome &outcome, int address, std::int64_t timeoutUs, int tries,
                  const QString &device) {
    const int error = outcome.error;
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
    const QString what = !outcome.problem.isEmpty() ? outcome.problem
                         : error == EMBBADCRC       ? QStringLiteral("CRC mismatch")
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
            const LockRefusal &refusal = *lock->refusal();
            failure = {refusal.kind == LockRefusal::Kind::HeldByProcess, refusal.text()};
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

namespace {

// The errno libmodbus would have set for what the check found, so that every reason reads as the
// command line has always worded it.
int errorFor(const modbus::ReplyCheck &check) {
    using modbus::ReplyVerdict;
    switch (check.verdict) {
    case ReplyVerdict::Accepted:
        return 0;
    case ReplyVerdict::NothingReceived:
    case ReplyVerdict::CutShort: // the whole reply did not come in time
    case ReplyVerdict::NotPending:
    case ReplyVerdict::OtherTransaction:
        return ETIMEDOUT;
    case ReplyVerdict::Exception:
        return check.exceptionCode > 0 && check.exceptionCode < MODBUS_EXCEPTION_MAX
                   ? int(MODBUS_ENOBASE + check.exceptionCode)
                   : EMBBADEXC;
    case ReplyVerdict::CrcMismatch:
        return EMBBADCRC;
    case ReplyVerdict::WrongAddress:
        return EMBBADSLAVE;
    case ReplyVerdict::BadHeader:
    case ReplyVerdict::WrongFunction:
    case ReplyVerdict::WrongByteCount:
    case ReplyVerdict::OtherValue:
    case ReplyVerdict::EchoOfRequest:
    case ReplyVerdict::EchoDiffers:
        break;
    }
    return EMBBADDATA;
}

// The echo's two verdicts in the core's words, which name --echo. A read's request given back by
// a line the master was not told echoes is final: the next try's echo would come as well, after
// what is left of this one's reply.
Outcome outcomeOf(const modbus::Request &request, const modbus::ReplyCheck &check) {
    switch (check.verdict) {
    case modbus::ReplyVerdict::EchoOfRequest:
        return {EMBBADDATA, modbus::replyProblem(request, check), true, true};
    case modbus::ReplyVerdict::EchoDiffers:
        return {EMBBADDATA, modbus::replyProblem(request, check), false, true};
    default:
        return {errorFor(check), {}, false};
    }
}

} // namespace

// One try: the request sent as the frame type builds it, the bytes read back until the core's
// check finds a whole frame (or a frame it knows is no answer), the line fails, or the time is
// up. Over Modbus TCP each try goes under a transaction id of its own; a reply under an id of an
// earlier try of the same exchange is taken, any other is skipped.
ModuleMaster::Try ModuleMaster::tryOnce(const modbus::Request &request,
                                        std::chrono::microseconds timeout) {
    Try result;
    modbus_flush(context_); // what is left of an earlier reply is not this one's
    QByteArray bytes;
    if (tcp_) {
        const std::uint16_t id = nextTransactionId_++;
        transactionIds_.push_back(id);
        bytes = modbus::byteArrayOf(request.tcp(id));
    } else {
        bytes = modbus::byteArrayOf(request.rtu());
    }
    if (!send(bytes, result))
        return result;
    if (settings_.echo) {
        // The echo takes the request's time on the wire; the reply's time starts after it.
        const auto echoTime =
            std::chrono::milliseconds(settings_.timeoutMs) +
            std::chrono::microseconds(wireTimeMicroseconds(int(bytes.size()), settings_.baud));
        if (!takeEcho(bytes, std::chrono::steady_clock::now() + echoTime, result))
            return result;
    }
    receive(request, std::chrono::steady_clock::now() + timeout, result);
    return result;
}

bool ModuleMaster::send(const QByteArray &bytes, Try &result) {
    const int socket = modbus_get_socket(context_);
    for (qsizetype done = 0; done < bytes.size();) {
        const char *data = bytes.constData() + done;
        const auto size = std::size_t(bytes.size() - done);
        const ssize_t sent =
            tcp_ ? ::send(socket, data, size, MSG_NOSIGNAL) : ::write(socket, data, size);
        if (sent > 0) {
            done += sent;
            continue;
        }
        if (sent < 0 && (errno == EINTR || errno == EAGAIN)) {
            pollfd writable{socket, POLLOUT, 0};
            ::poll(&writable, 1, kWritePollMs);
            continue;
        }
        result.lineError = sent == 0 ? EIO : errno;
        return false;
    }
    return true;
}

modbus::ReplyCheck ModuleMaster::check(const modbus::Request &request, QByteArray &received) const {
    using modbus::ReplyVerdict;
    if (!tcp_)
        return modbus::checkReply(request, modbus::bytesOf(received), modbus::ReplyPolicy::Strict);
    for (;;) {
        const modbus::ReplyCheck found = modbus::checkTcpReply(
            request, transactionIds_, modbus::bytesOf(received), modbus::ReplyPolicy::Strict);
        if (found.verdict != ReplyVerdict::OtherTransaction)
            return found;
        received.remove(0, found.frameLength); // another request's reply: skipped
    }
}

bool ModuleMaster::readMore(std::chrono::steady_clock::time_point deadline, Try &result) {
    const int socket = modbus_get_socket(context_);
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return false;
    pollfd readable{socket, POLLIN, 0};
    const int ready = ::poll(&readable, 1, int(left.count()));
    if (ready < 0 && errno != EINTR) {
        result.lineError = errno;
        return false;
    }
    if (ready <= 0)
        return true;
    char chunk[MODBUS_MAX_ADU_LENGTH];
    const ssize_t got = ::read(socket, chunk, sizeof chunk);
    if (got > 0) {
        result.received.append(chunk, got);
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        // A terminal or connection that hung up reads as the end; libmodbus told ECONNRESET.
        result.lineError = got == 0 ? ECONNRESET : errno;
        return false;
    }
    return true;
}

bool ModuleMaster::takeEcho(const QByteArray &sent, std::chrono::steady_clock::time_point deadline,
                            Try &result) {
    while (result.received.size() < sent.size() && sent.startsWith(result.received) &&
           readMore(deadline, result)) {
    }
    if (result.lineError)
        return false;
    if (!result.received.startsWith(sent)) {
        result.check = modbus::ReplyCheck{};
        result.check.verdict = modbus::ReplyVerdict::EchoDiffers;
        return false;
    }
    result.received.remove(0, sent.size());
    return true;
}

void ModuleMaster::receive(const modbus::Request &request,
                           std::chrono::steady_clock::time_point deadline, Try &result) {
    do {
        result.check = check(request, result.received);
    } while (modbus::stillComing(result.check.verdict) && readMore(deadline, result));
}

// The frame the check found: RTU with its CRC; over TCP from the unit id on, without the MBAP
// header. Empty when none could be framed.
QByteArray ModuleMaster::frameOf(const Try &result) const {
    const modbus::ReplyCheck &found = result.check;
    if (found.frameLength == 0 || result.lineError)
        return {};
    return result.received.sliced(found.frameStart, found.frameLength - found.frameStart);
}

ModuleMaster::Exchange ModuleMaster::exchange(const modbus::Request &request) {
    const std::int64_t timeoutUs =
        std::int64_t(settings_.timeoutMs) * 1000 +
        wireTimeMicroseconds(modbus::kRequestLength + request.replyLength(), settings_.baud);
    Exchange exchange;
    exchange.request =
        tcp_ ? modbus::byteArrayOf(request.header()) : modbus::byteArrayOf(request.rtu());
    transactionIds_.clear();
    int tries = 0;
    Outcome outcome;
    do {
        ++tries;
        const Try result = tryOnce(request, std::chrono::microseconds(timeoutUs));
        exchange.reply = frameOf(result);
        outcome = result.lineError ? Outcome{result.lineError, {}, false}
                                   : outcomeOf(request, result.check);
        if (outcome.error == 0) {
            if (request.asksForRegisters())
                exchange.values = modbus::ReplyFrame(modbus::bytesOf(exchange.reply)).registers();
            return exchange;
        }
    } while (tries <= settings_.retries && !outcome.final &&
             (kindOf(outcome.error) == Failure::Kind::NoReply ||
              kindOf(outcome.error) == Failure::Kind::InvalidReply));
    exchange.failure = Failure{
        kindOf(outcome.error),
        reasonFor(outcome, request.slave(), timeoutUs, tries, settings_.device), outcome.echo};
    return exchange;
}

ModuleMaster::Exchange ModuleMaster::readRegisters(int address, int first, int count) {
    return exchange(modbus::Request::readRegisters(std::uint8_t(address), std::uint16_t(first),
                                                   std::uint16_t(count)));
}

} // namespace cli
