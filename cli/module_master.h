#pragma once

#include "core/line_facts.h"
#include "core/reply_check.h"

#include <QByteArray>
#include <QString>

#include <chrono>
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
    QString reason;    // one line
    bool echo = false; // the line gives back requests, or none, against --echo: the reason says so
};

// The Modbus master on one serial line or Modbus TCP connection, which libmodbus opens: each
// request built by the core's frame type, its reply read until the core's check (the command
// line's policy: CRC or MBAP header, length, address, function, byte count or echo) finds a whole
// frame. A reply must be whole within the timeout plus the exchange's time on the wire. No reply
// or an invalid one is tried again `retries` times; an exception reply, a read request the line
// gave back (an echo the master was not told of) or a vanished port is final. On a line that
// gives back every request (`echo`), the request's echo is read and checked first, then the reply.
class ModuleMaster {
public:
    struct Settings {
        QString device;
        int baud = kDefaultBaudRate;
        int timeoutMs = 200;
        int retries = 1;
        bool echo = false; // the line gives back each request before the reply (serial only)
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
        QByteArray reply; // the frame found; empty when none came or none could be framed
        std::vector<std::uint16_t> values; // a read's registers
        std::optional<Failure> failure;
    };
    // The request sent, its reply checked as the command line takes replies: from the address
    // asked, with the function and byte count asked or the exact echo.
    Exchange exchange(const modbus::Request &request);
    Exchange readRegisters(int address, int first, int count);

private:
    // What one try found: the check of the bytes received, or the line's failure (errno).
    struct Try {
        modbus::ReplyCheck check;
        QByteArray received; // after the echo, when the line gives one back
        int lineError = 0;
    };

    ModuleMaster(modbus_t *context, Settings settings, std::unique_ptr<PortLock> lock);
    Try tryOnce(const modbus::Request &request, std::chrono::microseconds timeout);
    bool send(const QByteArray &bytes, Try &result);
    // Reads the echo of `sent` and takes it off the bytes received; false when the line failed or
    // gave back other bytes (or too few) by the deadline (the check's verdict EchoDiffers).
    bool takeEcho(const QByteArray &sent, std::chrono::steady_clock::time_point deadline,
                  Try &result);
    // Waits for more bytes until the deadline at most and adds them to the try's; false when the
    // line failed or the deadline passed.
    bool readMore(std::chrono::steady_clock::time_point deadline, Try &result);
    // Reads until the check finds more than the start of a reply, the line fails, or the deadline.
    void receive(const modbus::Request &request, std::chrono::steady_clock::time_point deadline,
                 Try &result);
    modbus::ReplyCheck check(const modbus::Request &request, QByteArray &received) const;
    QByteArray frameOf(const Try &result) const;

    modbus_t *context_;
    Settings settings_;
    bool tcp_;
    std::unique_ptr<PortLock> lock_; // none over TCP
    std::uint16_t nextTransactionId_ = 1;
    std::vector<std::uint16_t> transactionIds_; // of the exchange's tries: a late reply counts
};

} // namespace cli
