#include "exchange_recorder.h"

#include "app/frm_main.h"
#include "core/reply_decoder.h"
#include "serial/comm_control.h"

using modbus::ExchangeRecord;

ExchangeRecorder::ExchangeRecorder(frmMain &window, Clock clock) : clock_(std::move(clock)) {
    connect(&window, &frmMain::requestIssued, this, &ExchangeRecorder::recordRequest);
    connect(&window, &frmMain::replyHandled, this, &ExchangeRecorder::recordReply);
    connect(&window, &frmMain::lineEvent, this, &ExchangeRecorder::recordLineEvent);
    connect(&window, &frmMain::bytesDiscarded, this, &ExchangeRecorder::recordDiscarded);
}

ExchangeRecord ExchangeRecorder::started(ExchangeRecord::Event event,
                                         modbus::RequestKind kind) const {
    ExchangeRecord record;
    record.time = clock_();
    record.event = event;
    record.kind = kind;
    return record;
}

void ExchangeRecorder::recordRequest(const modbus::Request &request, bool sent) {
    ExchangeRecord record = started(ExchangeRecord::Event::Request, request.kind());
    record.request = modbus::byteArrayOf(request.rtu());
    record.status = sent ? ExchangeRecord::Status::Sent : ExchangeRecord::Status::NotSent;
    record.address = request.slave();
    emit recorded(record);
}

void ExchangeRecorder::recordReply(const modbus::Request &pending, const QByteArray &block,
                                   const modbus::DecodedReply &reply) {
    using modbus::ReplyVerdict;
    const modbus::ReplyCheck &check = reply.check;
    ExchangeRecord record = started(ExchangeRecord::Event::Reply, pending.kind());
    // The frame the reply was found to be; what followed it goes into the note.
    record.reply = check.frameLength > 0 ? block.first(check.frameLength) : block;
    if (check.verdict == ReplyVerdict::NotPending) {
        record.status = ExchangeRecord::Status::Undecoded;
    } else if (reply.rejected) {
        record.status = ExchangeRecord::Status::Rejected;
        if (check.verdict == ReplyVerdict::Exception)
            record.address = pending.slave();
    } else {
        record.status = ExchangeRecord::Status::Accepted;
        if (pending.kind() == modbus::RequestKind::Measurement)
            record.registers = modbus::valuesByRegister(pending.registerAddress(), reply.values);
        record.address = reply.address ? *reply.address : std::uint8_t(block[0]);
    }
    record.note = modbus::replyNote(pending, check, block);
    emit recorded(record);
}

void ExchangeRecorder::recordLineEvent(const modbus::Request &pending, int commEvent) {
    ExchangeRecord record = started(ExchangeRecord::Event::Line, pending.kind());
    record.note = lineEventName(commEvent);
    emit recorded(record);
}

void ExchangeRecorder::recordDiscarded(const modbus::Request &pending, const QByteArray &bytes) {
    ExchangeRecord record = started(ExchangeRecord::Event::Reply, pending.kind());
    record.reply = bytes;
    record.status = ExchangeRecord::Status::Undecoded;
    record.note = QStringLiteral("cut short, discarded");
    emit recorded(record);
}

QString lineEventName(int commEvent) {
    switch (commEvent) {
    case CommControl::comEventBreak:
        return QStringLiteral("break");
    case CommControl::comEventFrame:
        return QStringLiteral("framing error");
    case CommControl::comEventOverrun:
        return QStringLiteral("overrun");
    case CommControl::comEventRxParity:
        return QStringLiteral("parity error");
    case CommControl::comEventDeviceLost:
        return QStringLiteral("device lost");
    default:
        return QStringLiteral("event %1").arg(commEvent);
    }
}
