#pragma once

#include "core/exchange_record.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <functional>

class frmMain;
namespace modbus {
struct DecodedReply;
}

// The window's exchange as records, from the window's signals: each request as built, each
// received block with what it meant, each other event of the line. The CSV log and the trend listen
// to `recorded`; the window knows nothing of them.
class ExchangeRecorder final : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    explicit ExchangeRecorder(
        frmMain &window, Clock clock = [] { return QDateTime::currentDateTime(); });

signals:
    void recorded(const modbus::ExchangeRecord &record);

private:
    void recordRequest(const modbus::Request &request, bool sent);
    void recordReply(const modbus::Request &pending, const QByteArray &block,
                     const modbus::DecodedReply &reply);
    void recordLineEvent(const modbus::Request &pending, int commEvent);
    void recordDiscarded(const modbus::Request &pending, const QByteArray &bytes);
    modbus::ExchangeRecord started(modbus::ExchangeRecord::Event event,
                                   modbus::RequestKind kind) const;

    Clock clock_;
};

// What a non-receive event of the serial control means, for the log's note: "device lost".
QString lineEventName(int commEvent);
