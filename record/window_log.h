#pragma once

#include "core/csv_log.h"

#include <QObject>
#include <QPointer>

#include <memory>

class ExchangeRecorder;
class frmMain;

// The --log observer: every record of the window's exchange appended to the CSV log. The first
// write that fails ends the logging and tells the technician once, through the window's message
// box; the window goes on polling.
class WindowLog final : public QObject {
    Q_OBJECT
public:
    WindowLog(frmMain &window, ExchangeRecorder &recorder, std::unique_ptr<CsvLog> log);
    bool logging() const { return log_ != nullptr; }

private:
    void append(const modbus::ExchangeRecord &record);
    void stopAndTell();

    QPointer<frmMain> window_;
    std::unique_ptr<CsvLog> log_;
};
