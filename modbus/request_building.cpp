// What every request builder shares: the CRC, the serial preparation and the sending.
#include "app/frm_main.h"
#include "core/numeric_text.h"
#include "serial/comm_control.h"

using namespace window_texts;

void frmMain::Crc16(const modbus::Frame &cmdstring, int j) {
    const modbus::CrcBytes crc = modbus::Crc16(cmdstring, j);
    HiByte = crc.HiByte;
    LoByte = crc.LoByte;
}

void frmMain::sealFrame(modbus::Frame &frame) {
    Crc16(frame, modbus::kCrcLastIndex);
    frame[6] = std::uint8_t(HiByte);
    frame[7] = LoByte;
}

void frmMain::prepareForRequest() {
    // Discard what is waiting and raise no receive event while the request is built.
    MSComm1.setInBufferCount(0);
    MSComm1.setInputLen(0);
    MSComm1.setInputMode(CommControl::comInputModeBinary);
    MSComm1.setRThreshold(0);
    MSComm1.setEarlyReply({});
}

namespace {
QByteArray frameBytes(const modbus::Frame &frame) {
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}
} // namespace

bool frmMain::sendFrame(modbus::RequestKind kind, const modbus::Frame &frame) {
    lastRequest_ = modbus::requestOf(kind, frame);
    MSComm1.setEarlyReply([request = lastRequest_](const QByteArray &waiting) {
        return modbus::isRefusal(request, waiting);
    });
    const bool sent = MSComm1.Output(frameBytes(frame));
    emit requestIssued(lastRequest_, frameBytes(frame), sent);
    return sent;
}

void frmMain::skipSending(modbus::RequestKind kind, const modbus::Frame &frame) {
    lastRequest_ = modbus::requestOf(kind, frame);
    emit requestIssued(lastRequest_, frameBytes(frame), false);
}

modbus::Request frmMain::pendingRequest() const {
    modbus::Request request = lastRequest_;
    if (modbus::cmdTypeOf(request.kind) != CmdType)
        request.kind = modbus::requestKindOf(CmdType);
    return request;
}

void frmMain::showCommandText() {
    if (showText(ui.txtCommand, CmdText))
        ui.txtCommand->home(false); // the request's first bytes in view, as after any text change
}
