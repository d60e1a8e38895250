// What every request builder shares: the CRC, the serial preparation, the pending request and the
// sending.
#include "app/frm_main.h"
#include "serial/comm_control.h"

using namespace window_texts;

void frmMain::Crc16(const modbus::Frame &cmdstring, int j) {
    const modbus::CrcBytes crc = modbus::Crc16(cmdstring, j);
    HiByte = crc.HiByte;
    LoByte = crc.LoByte;
}

modbus::Frame frmMain::sealedFrame(const modbus::Request &request) {
    const modbus::Frame frame = request.rtu();
    Crc16(frame, modbus::kCrcLastIndex);
    return frame;
}

void frmMain::prepareForRequest() {
    if (const QByteArray left = MSComm1.waitingInput(); !left.isEmpty())
        emit bytesDiscarded(pendingRequest(), left);
    MSComm1.setInBufferCount(0);
    MSComm1.setInputLen(0);
    MSComm1.setInputMode(CommControl::comInputModeBinary);
    MSComm1.setRThreshold(0);
    MSComm1.setEarlyReply({});
}

void frmMain::setPending(const modbus::Request &request) {
    lastRequest_ = request;
    CmdType = qint16(modbus::cmdTypeOf(request.kind()));
}

bool frmMain::sendRequest(const modbus::Request &request) {
    MSComm1.setEarlyReply([request](const QByteArray &waiting) {
        return modbus::isRefusal(request, modbus::bytesOf(waiting));
    });
    const modbus::Frame frame = request.rtu();
    const bool sent = MSComm1.Output(modbus::byteArrayOf(frame));
    emit requestIssued(request, sent);
    return sent;
}

void frmMain::skipSending(const modbus::Request &request) {
    emit requestIssued(request, false);
}

modbus::Request frmMain::pendingRequest() const {
    return modbus::cmdTypeOf(lastRequest_.kind()) == CmdType ? lastRequest_ : modbus::Request{};
}

void frmMain::showCommandText() {
    if (showText(ui.txtCommand, CmdText))
        ui.txtCommand->home(false); // the request's first bytes in view, as after any text change
}
