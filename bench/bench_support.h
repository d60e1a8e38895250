#pragma once

#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

// Under `valgrind --tool=callgrind` the counts of the measured stretch alone (a dump named
// "measured"); otherwise nothing.
struct CallgrindStretch {
    CallgrindStretch() { CALLGRIND_ZERO_STATS; }
    ~CallgrindStretch() { CALLGRIND_DUMP_STATS_AT("measured"); }
};

// User + system CPU seconds this process has used so far.
inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Lets a window that was just shown be mapped and painted whole, so that a measurement started
// afterwards holds the polls alone, not the program's start-up.
// Then says so on stdout ("poll_started 1"), for whoever measures the X server meanwhile.
inline void letWindowSettle(int milliseconds = 500) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("poll_started 1\n");
    std::fflush(stdout);
}

// What the process used between two points: CPU (user, system), page faults and context switches.
struct Usage {
    rusage start{};
    Usage() { getrusage(RUSAGE_SELF, &start); }
    void print(const char *prefix) const {
        rusage now{};
        getrusage(RUSAGE_SELF, &now);
        auto seconds = [](const timeval &a, const timeval &b) {
            return double(a.tv_sec - b.tv_sec) + double(a.tv_usec - b.tv_usec) / 1e6;
        };
        std::printf("%s_user_s %.4f\n%s_system_s %.4f\n", prefix,
                    seconds(now.ru_utime, start.ru_utime), prefix,
                    seconds(now.ru_stime, start.ru_stime));
        std::printf("%s_minflt %ld\n%s_nvcsw %ld\n%s_nivcsw %ld\n", prefix,
                    now.ru_minflt - start.ru_minflt, prefix, now.ru_nvcsw - start.ru_nvcsw, prefix,
                    now.ru_nivcsw - start.ru_nivcsw);
    }
};

// Installed on the application: counts the repaint passes of the top-level windows (one
// UpdateRequest each) and the paint events their widgets receive.
class PaintCounter : public QObject {
public:
    using QObject::QObject;
    long passes = 0;
    long paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::UpdateRequest)
            ++passes;
        else if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};
