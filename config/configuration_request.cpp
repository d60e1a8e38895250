// What the address change, the address read and the parameter writes share.
#include "app/frm_main.h"
#include "app/numeric_text.h"
#include "serial/comm_control.h"

using namespace window_texts;

void frmMain::issueConfigurationRequest(modbus::Frame frame, int kind, int threshold,
                                        KeepThreshold keepInRecThreshold) {
    CmdType = qint16(kind);
    CmdText.clear();
    ui.txtState->clear();
    prepareForRequest();
    sealFrame(frame);
    CmdText = modbus::requestHexText(frame);
    if (keepInRecThreshold == KeepThreshold::Yes)
        RecThreshold = qint16(threshold);
    MSComm1.setRThreshold(threshold);
    showCommandText();
    // A closed port is no error here: everything but the sending happens, and the lamp tells it.
    if (MSComm1.PortOpen()) {
        bringToFront(ui.imgConnected);
        sendFrame(frame);
    } else {
        bringToFront(ui.imgNotConnected);
    }
}

std::optional<std::uint8_t> frmMain::configurationStation() {
    const auto station = numeric::parseNumber(ui.txtStationID->text());
    if (!station) {
        showMessage(kSourceAddressMalformed);
        return std::nullopt;
    }
    const auto address = numeric::nearestToByte(*station);
    if (!address)
        showMessage(*station > kHighestByte ? kAddressTooHigh : kAddressZero);
    return address;
}
