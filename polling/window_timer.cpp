#include "window_timer.h"

WindowTimer::WindowTimer(QObject *parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &WindowTimer::Timer);
}

void WindowTimer::setInterval(int milliseconds) {
    interval_ = milliseconds < 0 ? 0 : milliseconds;
    update();
}

void WindowTimer::setEnabled(bool enabled) {
    enabled_ = enabled;
    update();
}

void WindowTimer::update() {
    if (enabled_ && interval_ > 0) {
        if (!timer_.isActive() || timer_.interval() != interval_)
            timer_.start(interval_);
    } else {
        timer_.stop();
    }
}
