#pragma once

#include "core/csv_log.h"

#include <memory>

class ExchangeRecorder;
class TrendWindow;
class WindowLog;
class frmMain;

// What the program records and shows around the window when asked to: the CSV log (--log) and the
// trend window (--trend), both fed by one recorder of the window's exchange. With neither, nothing
// listens to the window at all.
class AroundWindow {
public:
    AroundWindow(frmMain &window, std::unique_ptr<CsvLog> log, bool trend);
    ~AroundWindow();

    // Shows the trend window, if any, beside the shown main window.
    void showBeside(const frmMain &window);
    TrendWindow *trendWindow() const { return trend_.get(); }
    WindowLog *log() const { return log_.get(); }

private:
    std::unique_ptr<ExchangeRecorder> recorder_;
    std::unique_ptr<WindowLog> log_;
    std::unique_ptr<TrendWindow> trend_;
};
