// The single measurement: a click on "单次", and every tick of the cyclic polling.
#include "app/frm_main.h"
#include "core/numeric_text.h"
#include "serial/comm_control.h"

using namespace window_texts;

void frmMain::comDoOnce_Click() {
    CmdText.clear();
    emptyReceiveBox();
    ui.lblCounter->setText(QString::number(counterValue(ui.lblCounter) + 1));

    if (!MSComm1.PortOpen()) {
        // Ticks that fall due while this message is open send nothing (see Timer2_Timer).
        closedPortMessageOpen_ = true;
        showMessage(kPortClosedOnRequest);
        closedPortMessageOpen_ = false;
        bringToFront(ui.imgNotConnected);
        PollEnabled = false;
        return;
    }
    bringToFront(ui.ImgYellow);
    prepareForRequest();

    // Unparsable or out-of-range boxes leave their byte at 0, silently.
    const auto request = modbus::Request::measurement(
        numeric::textFloorToByte(ui.txtStationID->text()).value_or(0),
        numeric::textNearestToByte(ui.txtFunID->text()).value_or(0),
        numeric::textFloorToByte(ui.txtStartID->text()).value_or(0),
        numeric::textFloorToByte(ui.txtDataLength->text()).value_or(0));
    const modbus::Frame frame = sealedFrame(request);

    RecThreshold = qint16(request.replyLength());
    MSComm1.setRThreshold(RecThreshold);
    setPending(request);
    sendRequest(request);
    CmdText += modbus::requestHexText(frame);
    showCommandText();
}
