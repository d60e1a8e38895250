// The single measurement: a click on "单次", and every tick of the cyclic polling.
#include "app/frm_main.h"
#include "core/numeric_text.h"
#include "core/reply_check.h"
#include "serial/comm_control.h"

using namespace window_texts;

void frmMain::comDoOnce_Click() {
    CmdText.clear();
    ui.txtState->clearText();
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
    modbus::Frame frame{};
    frame[0] = numeric::textFloorToByte(ui.txtStationID->text()).value_or(0);
    frame[1] = numeric::textNearestToByte(ui.txtFunID->text()).value_or(0);
    frame[3] = numeric::textFloorToByte(ui.txtStartID->text()).value_or(0);
    frame[5] = numeric::textFloorToByte(ui.txtDataLength->text()).value_or(0);
    sealFrame(frame);

    const auto kind = modbus::RequestKind::Measurement;
    RecThreshold = qint16(*modbus::expectedReplyLength(modbus::requestOf(kind, frame)));
    MSComm1.setRThreshold(RecThreshold);
    CmdType = qint16(modbus::cmdTypeOf(kind));
    sendFrame(kind, frame);
    CmdText += modbus::requestHexText(frame);
    showCommandText();
}
