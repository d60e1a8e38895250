// What the address change, the address read and the parameter writes share.
#include "app/frm_main.h"
#include "core/input_checks.h"
#include "serial/comm_control.h"

using namespace window_texts;

void frmMain::issueConfigurationRequest(modbus::Frame frame, modbus::RequestKind kind,
                                        KeepThreshold keepInRecThreshold) {
    CmdType = qint16(modbus::cmdTypeOf(kind));
    CmdText.clear();
    ui.txtState->clearText();
    prepareForRequest();
    sealFrame(frame);
    CmdText = modbus::requestHexText(frame);
    const int threshold = *modbus::expectedReplyLength(modbus::requestOf(kind, frame));
    if (keepInRecThreshold == KeepThreshold::Yes)
        RecThreshold = qint16(threshold);
    MSComm1.setRThreshold(threshold);
    showCommandText();
    // A closed port is no error here: everything but the sending happens, and the lamp tells it.
    if (MSComm1.PortOpen()) {
        bringToFront(ui.imgConnected);
        sendFrame(kind, frame);
    } else {
        bringToFront(ui.imgNotConnected);
        skipSending(kind, frame);
    }
}

std::optional<std::uint8_t> frmMain::configurationStation() {
    const auto station = modbus::checkStationAddress(ui.txtStationID->text());
    if (station.problem != modbus::InputProblem::None) {
        showInputProblem(station.problem);
        return std::nullopt;
    }
    return station.value;
}
