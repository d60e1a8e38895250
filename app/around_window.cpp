#include "around_window.h"

#include "app/frm_main.h"
#include "record/exchange_recorder.h"
#include "record/window_log.h"
#include "trend/trend_window.h"

AroundWindow::AroundWindow(frmMain &window, std::unique_ptr<CsvLog> log, bool trend) {
    if (!log && !trend)
        return;
    recorder_ = std::make_unique<ExchangeRecorder>(window);
    if (log)
        log_ = std::make_unique<WindowLog>(window, *recorder_, std::move(log));
    if (trend) {
        trend_ = std::make_unique<TrendWindow>();
        trend_->setPortDescription([&window] { return window.portDescription(window.CommNum); });
        QObject::connect(recorder_.get(), &ExchangeRecorder::recorded, trend_.get(),
                         &TrendWindow::add);
    }
}

AroundWindow::~AroundWindow() = default;

void AroundWindow::showBeside(const frmMain &window) {
    if (!trend_)
        return;
    trend_->placeBeside(window);
    trend_->show();
}
