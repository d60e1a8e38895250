#include "exchange_recorder.h"

#include "app/frm_main.h"
#include "core/module_protocol.h"
#include "core/reply_decoder.h"
#include "serial/comm_control.h"

using modbus::ExchangeRecord;

ExchangeRecorder::ExchangeRecorder(frmMain &window, Clock clock) : clock_(std::move(clock)) {
    connect(&window, &frmMain::requestIssued, this, &ExchangeRecorder::recordRequest);
    connect(&window, &frmMain::replyHandled, this, &ExchangeRecorder::recordReply);
    connect(&window, &frmMain::lineEvent, this, &ExchangeRecorder::recordLineEvent);
}

ExchangeRecord ExchangeRecorder::started(ExchangeRecord::Event event, int kind) const {
    ExchangeRecord record;
    record.time = clock_();
    record.event = event;
    record.kind = modbus::kindName(kind, lastRequest_);
    return record;
}

void ExchangeRecorder::recordRequest(int kind, const QByteArray &frame, bool sent) {
    pendingKind_ = kind;
    lastRequest_ = frame;
    if (kind == modbus::kMeasurementRead && frame.size() > 3)
        measurementStartRegister_ = std::uint8_t(frame[2]) << 8 | std::uint8_t(frame[3]);
    ExchangeRecord record = started(ExchangeRecord::Event::Request, kind);
    record.request = frame;
    record.status = sent ? modbus::kSentStatus : modbus::kNotSentStatus;
    emit recorded(record);
}

void ExchangeRecorder::recordReply(int kind, const QByteArray &block,
                                   const modbus::DecodedReply &reply) {
    ExchangeRecord record = started(ExchangeRecord::Event::Reply, kind);
    record.reply = block;
    if (kind == modbus::kNoRequest) {
        record.status = modbus::kUndecodedStatus;
    } else if (reply.rejected) {
        record.status = modbus::kRejectedStatus;
        record.note = modbus::rejectionReason(block, kind);
    } else {
        record.status = modbus::kAcceptedStatus;
        if (kind == modbus::kMeasurementRead)
            record.registers = modbus::valuesByRegister(measurementStartRegister_, reply.values);
        if (reply.address)
            record.address = *reply.address;
    }
    emit recorded(record);
}

void ExchangeRecorder::recordLineEvent(int commEvent) {
    ExchangeRecord record = started(ExchangeRecord::Event::Line, pendingKind_);
    record.note = lineEventName(commEvent);
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
