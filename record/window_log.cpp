#include "window_log.h"

#include "app/frm_main.h"
#include "exchange_recorder.h"

#include <QTimer>

WindowLog::WindowLog(frmMain &window, ExchangeRecorder &recorder, std::unique_ptr<CsvLog> log)
    : window_(&window), log_(std::move(log)) {
    connect(&recorder, &ExchangeRecorder::recorded, this, &WindowLog::append);
}

void WindowLog::append(const modbus::ExchangeRecord &record) {
    if (log_ && !log_->append(record))
        stopAndTell();
}

void WindowLog::stopAndTell() {
    log_.reset();
    // Not from inside the window's handler that emitted the record: the modal box runs the event
    // loop, and the handler should finish first.
    QTimer::singleShot(0, this, [this] {
        if (window_)
            window_->showMessage(window_texts::kLogWriteFailed, window_texts::kAppTitle,
                                 MessageIcon::Exclamation);
    });
}
