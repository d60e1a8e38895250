// Every event of the serial control: counted; a receive event is shown, decoded as the answer to
// the pending request and turns the lamp green.
#include "app/frm_main.h"
#include "core/reply_decoder.h"
#include "serial/comm_control.h"

#include <limits>

using namespace window_texts;

void frmMain::MSComm1_OnComm() {
    if (RecCount < std::numeric_limits<qint32>::max())
        ++RecCount;
    ui.lblErrCounter->setText(QString::number(RecCount));
    const modbus::Request pending = pendingRequest();
    if (MSComm1.CommEvent() != CommControl::comEvReceive) {
        emit lineEvent(pending, MSComm1.CommEvent());
        return;
    }

    const QByteArray block = MSComm1.Input();
    MSComm1.setInBufferCount(0);
    const modbus::DecodedReply reply = MSComm1.echoDiffered() ? modbus::echoDifferedReply(block)
                                                              : modbus::decodeReply(block, pending);

    ui.txtState->setText(reply.hexText);
    describeReply(pending, reply);
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

namespace {
// What the receive box says beyond its bytes: a refusal named, a write's echo of another value
// named (the module may have taken it), nothing for any other reply.
QString replyExplanation(const modbus::Request &pending, const modbus::ReplyCheck &check) {
    using modbus::ReplyVerdict;
    if (check.verdict == ReplyVerdict::Exception)
        return refusalText(check.exceptionCode);
    if (check.verdict == ReplyVerdict::EchoOfRequest)
        return shown(kEchoedRequestDescription);
    if (check.verdict == ReplyVerdict::EchoDiffers)
        return shown(kNoEchoDescription);
    if (check.verdict != ReplyVerdict::OtherValue)
        return {};
    if (check.echoedRegister != pending.registerAddress())
        return shown(kEchoedRegisterDescription)
            .arg(QStringLiteral("%1").arg(check.echoedRegister, 4, 16, QLatin1Char('0')).toUpper())
            .arg(check.echoedValue);
    return shown(pending.kind() == modbus::RequestKind::AddressChange ? kEchoedAddressDescription
                                                                      : kEchoedValueDescription)
        .arg(check.echoedValue);
}
} // namespace

// A reply that is not the answer to the pending request is shown in red, not decoded; a refusal
// and a write's echo of another value are named.
void frmMain::describeReply(const modbus::Request &pending, const modbus::DecodedReply &reply) {
    setTextColour(ui.txtState, reply.rejected ? kRejectedReplyColour : defaultStateColour_);
    const QString explanation = replyExplanation(pending, reply.check);
    ui.txtState->setAccessibleDescription(!explanation.isEmpty() ? explanation
                                          : reply.rejected       ? shown(kRejectedReplyDescription)
                                                                 : QString());
    ui.txtState->setToolTip(explanation);
}

void frmMain::emptyReceiveBox() {
    ui.txtState->clearText();
    ui.txtState->setToolTip({});
    ui.txtState->setAccessibleDescription({});
}
