// Every event of the serial control: counted; a receive event is shown, decoded by the pending
// kind and turns the lamp green.
#include "app/frm_main.h"
#include "core/reply_decoder.h"
#include "serial/comm_control.h"

#include <limits>

using namespace window_texts;

void frmMain::MSComm1_OnComm() {
    if (RecCount < std::numeric_limits<qint32>::max())
        ++RecCount;
    ui.lblErrCounter->setText(QString::number(RecCount));
    if (MSComm1.CommEvent() != CommControl::comEvReceive) {
        emit lineEvent(MSComm1.CommEvent());
        return;
    }

    const QByteArray block = MSComm1.Input();
    MSComm1.setInBufferCount(0);
    const modbus::Request pending = pendingRequest();
    const modbus::DecodedReply reply = modbus::decodeReply(block, pending);

    ui.txtState->setText(reply.hexText);
    describeReply(reply);
    for (std::size_t position = 0; position < reply.values.size(); ++position) {
        showText(txtValue[position], QString::number(reply.values[position]));
        setTextColour(txtValue[position], kDecodedValueColour);
    }
    if (reply.address) {
        showText(txtSetID[0], QString::number(*reply.address));
        showText(ui.txtStationID, QString::number(*reply.address));
    }
    bringToFront(ui.imgConnected);
    emit replyHandled(pending, block, reply);
}

// A reply that is not a whole, valid frame of the pending kind is shown in red, not decoded; a
// refusal is named.
void frmMain::describeReply(const modbus::DecodedReply &reply) {
    setTextColour(ui.txtState, reply.rejected ? kRejectedReplyColour : defaultStateColour_);
    const bool refused = reply.check.verdict == modbus::ReplyVerdict::Exception;
    const QString refusal = refused ? refusalText(reply.check.exceptionCode) : QString();
    ui.txtState->setAccessibleDescription(refused          ? refusal
                                          : reply.rejected ? shown(kRejectedReplyDescription)
                                                           : QString());
    ui.txtState->setToolTip(refusal);
}
