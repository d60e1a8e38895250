// What the address change, the address read and the parameter writes share.
#include "app/frm_main.h"
#include "core/input_checks.h"
#include "serial/comm_control.h"

using namespace window_texts;

void frmMain::issueConfigurationRequest(const modbus::Request &request,
                                        KeepThreshold keepInRecThreshold) {
    CmdText.clear();
    emptyReceiveBox();
    prepareForRequest();
    setPending(request);
    CmdText = modbus::requestHexText(sealedFrame(request));
    const int threshold = request.replyLength();
    if (keepInRecThreshold == KeepThreshold::Yes)
        RecThreshold = qint16(threshold);
    MSComm1.setRThreshold(threshold);
    showCommandText();
    // A closed port is no error here: everything but the sending happens, and the lamp tells it.
    if (MSComm1.PortOpen()) {
        bringToFront(ui.imgConnected);
        sendRequest(request);
    } else {
        bringToFront(ui.imgNotConnected);
        skipSending(request);
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
