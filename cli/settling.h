#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <vector>

// poll --until-stable: whether the gas concentration of every polled module has settled. Pure: it
// is told each reading's time and value (or that it failed) and knows nothing of ports.
namespace cli {

// A module has settled when its accepted readings of the last `window` stay within `spread` ppm
// (highest minus lowest) and cover the whole window: they reach back at least `window` from the
// newest one, with no failed reading among them. A failed reading starts the module's window
// again.
class Settling {
public:
    using Clock = std::chrono::steady_clock;

    // How a module stands after its latest reading.
    struct State {
        bool settled = false;
        bool covered = false;    // its readings since the last failure reach back a whole window
        int spread = 0;          // highest minus lowest of the readings counted (the window's)
        std::optional<int> last; // its latest reading; empty when it failed or none came yet
        Clock::duration span{};  // from the oldest reading counted to the newest
    };

    Settling(int spreadPpm, std::chrono::seconds window, const std::vector<int> &addresses);

    void accepted(int address, Clock::time_point time, int ppm);
    void failed(int address);

    State state(int address) const;
    bool allSettled() const;

private:
    struct Reading {
        long sequence;
        Clock::time_point time;
        int ppm;
    };
    // One module's readings since its last failure: those of the window, and the highest and
    // lowest of them in two monotonic queues (each a value no later reading beats).
    struct Module {
        std::deque<Reading> readings;
        std::deque<Reading> highest;
        std::deque<Reading> lowest;
    };

    int spreadPpm_;
    Clock::duration window_;
    long nextSequence_ = 0;
    std::map<int, Module> modules_;
};

} // namespace cli
