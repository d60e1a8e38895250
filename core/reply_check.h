#pragma once

#include "modbus_frame.h"

#include <cstdint>
#include <optional>
#include <span>

// What the bytes received after a request are, in two layers: the framing (Modbus RTU: a whole
// frame and its CRC; Modbus TCP: the MBAP header) and the frame against its request (exception,
// function, byte count, echo, address). One check for the window, the records, the trend, the
// command line and the fuzz target; which replies count as the answer is a policy. Qt-free.
namespace modbus {

// Which frames answer a request.
enum class ReplyPolicy {
    // The window: a measurement reply from the module asked, with the function and byte count
    // asked; the address read's reply with function 3 and one register, from any address (the
    // read is how the window learns the address); the address change's echo of its function,
    // register and new address, from the old address or the new one; a parameter write's echo of
    // the whole request.
    Window,
    // The command line: from the address asked, with the function and byte count asked, or the
    // exact echo of the request; no reply from another address counts.
    Strict,
};

enum class ReplyVerdict {
    Accepted,
    NotPending, // no request was pending: nothing to check against
    NothingReceived,
    CutShort,
    CrcMismatch,
    OtherTransaction, // Modbus TCP: a reply under another request's transaction id
    BadHeader,        // Modbus TCP: not protocol 0, or a length the PDU does not have
    Exception,        // the module refused the request
    WrongAddress,     // from another module than the one asked
    WrongFunction,    // a function the request is not answered with
    WrongByteCount,   // a read reply with another number of registers than asked
    OtherValue,       // a write's echo of another register or value than the one written
    EchoOfRequest,    // a read's request given back by the line (a half-duplex adapter)
    EchoDiffers,      // a line taken to give back the request gave back other bytes
};

struct ReplyCheck {
    ReplyVerdict verdict = ReplyVerdict::NotPending;
    // Once the framing found a whole frame: where its slave address (unit id) is, 0 in RTU and
    // after the MBAP header in Modbus TCP; its whole length, CRC or header included; the bytes
    // after it.
    int frameStart = 0;
    int frameLength = 0;
    int extraBytes = 0;
    // The reply's parts the verdict speaks of.
    std::uint8_t slave = 0;
    std::uint8_t function = 0;
    std::uint8_t exceptionCode = 0;
    std::uint8_t byteCount = 0;
    std::uint16_t echoedRegister = 0;
    std::uint16_t echoedValue = 0;
};

// Nothing yet, or the start of a frame: more bytes may make the answer whole.
bool stillComing(ReplyVerdict verdict);

// The length of the whole RTU reply to the request. With nothing received: the reply it asks for
// (the window's receive threshold). With bytes received: the reply their first bytes announce, 5
// for an exception, 3 + byte count + 2 for a read, 8 for a write's echo. Empty while fewer than
// three bytes of a read reply are there, when the function is not the request's, or with nothing
// pending.
std::optional<int> expectedReplyLength(const Request &request, ByteView received = {});

// Modbus RTU: the framing (a whole frame by the length its first bytes announce, then its CRC),
// then the frame against the request. A read reply that announces another byte count than asked
// is told as such before it is whole. Bytes after a whole frame are counted, not checked. Bytes
// that begin with the read request just sent, or are its start, are the line giving it back
// (EchoOfRequest) once they tell more than "still coming"; a write's echo is its normal reply.
ReplyCheck checkReply(const Request &request, ByteView block, ReplyPolicy policy);

// Modbus TCP: the MBAP header (protocol 0, a length the PDU has, and a transaction id of this
// exchange's: a reply to an earlier try may be taken), then the unit id and PDU against the
// request. An ADU under another transaction id is OtherTransaction, its length in frameLength, to
// be skipped.
ReplyCheck checkTcpReply(const Request &request, std::span<const std::uint16_t> transactionIds,
                         ByteView adu, ReplyPolicy policy);

// The second layer alone: a whole frame, from its slave address on and without a CRC, against
// the request.
ReplyCheck checkAnswer(const Request &request, ByteView frame, ReplyPolicy policy);

// The block begins with a whole exception reply to this request: the window handles it at once.
inline bool isRefusal(const Request &request, ByteView block) {
    return checkReply(request, block, ReplyPolicy::Window).verdict == ReplyVerdict::Exception;
}

// The window's pending kind (CmdType) for a request of this kind.
int cmdTypeOf(RequestKind kind);

} // namespace modbus
