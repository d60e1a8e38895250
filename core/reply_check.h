#pragma once

#include "frame_codec.h"
#include "module_protocol.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

// What a request asks of the module, and what the bytes received after it are: one set of rules
// for the window's thresholds and decoding, the records, the trend and the fuzz target.
namespace modbus {

enum class RequestKind { None, Measurement, AddressChange, AddressRead, ParameterWrite };

struct Request {
    RequestKind kind = RequestKind::None;
    std::uint8_t slave = 0;
    std::uint8_t function = 0;
    int startRegister = 0;
    int registerCount = 0; // the count word of a read
};

// The request a frame of that kind carries.
Request requestOf(RequestKind kind, const Frame &frame);

// The window's pending kind (CmdType) and back. The address read and the parameter write share
// 6; their replies are checked alike, so 6 comes back as the address read.
int cmdTypeOf(RequestKind kind);
RequestKind requestKindOf(int cmdType);

enum class ReplyVerdict {
    Accepted,
    NotPending, // no request was pending: nothing to check against
    NothingReceived,
    CutShort,
    CrcMismatch,
    Exception,      // the module refused the request
    WrongAddress,   // an exception from another module
    WrongFunction,  // a function the request is not answered with
    WrongByteCount, // a read reply to a one-register read that is not one register long
};

struct ReplyCheck {
    ReplyVerdict verdict = ReplyVerdict::NotPending;
    int frameLength = 0;       // of the whole frame the block begins with, once its CRC checked out
    int extraBytes = 0;        // after that frame
    std::uint8_t function = 0; // the reply's function code, when it had one
    std::uint8_t exceptionCode = 0;
};

// The length of the whole reply to the request. With nothing received: the reply it asks for
// (the receive threshold). With bytes received: the reply their first bytes announce, 5 for an
// exception, 3 + byte count + 2 for registers, 8 for a write echo. Empty while fewer than three
// bytes of a register reply are there, or when the function is not one the request is answered
// with.
std::optional<int> expectedReplyLength(const Request &request, const QByteArray &received = {});

// The checks in this order: something pending, something received, a function the request is
// answered with, the byte count of a one-register reply, the length, the CRC, and for an
// exception its address and function. Bytes after a whole frame are counted, not checked. A
// measurement takes a register reply of any function and from any address; an address read and a
// parameter write each take the one-register reply or the echo (the window's shared pending kind).
ReplyCheck checkReply(const Request &request, const QByteArray &block);

// The block begins with a whole exception reply to this request.
inline bool isRefusal(const Request &request, const QByteArray &block) {
    return checkReply(request, block).verdict == ReplyVerdict::Exception;
}

} // namespace modbus
