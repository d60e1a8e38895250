#include "window_timer.h"

WindowTimer::WindowTimer(QObject *parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &WindowTimer::Timer);
}

void WindowTimer::setInterval(int milliseconds) {
    interval_ = milliseconds < 0 ? 0 : milliseconds;
    update(Restart::Yes); // a new Interval, even the same one, starts the count afresh
}

void WindowTimer::setEnabled(bool enabled) {
    enabled_ = enabled;
    update(Restart::No);
}

void WindowTimer::update(Restart restart) {
    if (enabled_ && interval_ > 0) {
        if (restart == Restart::Yes || !timer_.isActive())
            timer_.start(interval_);
    } else {
        timer_.stop();
    }
}
