#pragma once

#include <QObject>
#include <QTimer>

// The window's interval timer: it ticks every Interval ms while Enabled, and an Interval of 0
// raises no tick at all (a QTimer with interval 0 would fire continuously).
class WindowTimer final : public QObject {
    Q_OBJECT
public:
    explicit WindowTimer(QObject *parent = nullptr);

    int Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    void setInterval(int milliseconds);
    void setEnabled(bool enabled);
    // Whether ticks are actually being raised, and the time left to the next one.
    bool isTicking() const { return timer_.isActive(); }
    int remainingTime() const { return timer_.remainingTime(); }

signals:
    void Timer();

private:
    enum class Restart { No, Yes };
    void update(Restart restart);

    QTimer timer_;
    int interval_ = 0;
    bool enabled_ = false;
};
