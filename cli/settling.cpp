#include "settling.h"

namespace cli {

Settling::Settling(int spreadPpm, std::chrono::seconds window, const std::vector<int> &addresses)
    : spreadPpm_(spreadPpm), window_(window) {
    for (const int address : addresses)
        modules_[address];
}

void Settling::accepted(int address, Clock::time_point time, int ppm) {
    Module &module = modules_[address];
    const Reading reading{nextSequence_++, time, ppm};
    module.readings.push_back(reading);
    while (!module.highest.empty() && module.highest.back().ppm <= ppm)
        module.highest.pop_back();
    module.highest.push_back(reading);
    while (!module.lowest.empty() && module.lowest.back().ppm >= ppm)
        module.lowest.pop_back();
    module.lowest.push_back(reading);
    // The oldest reading kept is the newest one at least a window before this one.
    while (module.readings.size() > 1 && time - module.readings[1].time >= window_)
        module.readings.pop_front();
    const long oldest = module.readings.front().sequence;
    while (module.highest.front().sequence < oldest)
        module.highest.pop_front();
    while (module.lowest.front().sequence < oldest)
        module.lowest.pop_front();
}

void Settling::failed(int address) {
    modules_[address] = Module{};
}

Settling::State Settling::state(int address) const {
    State state;
    const auto found = modules_.find(address);
    if (found == modules_.end() || found->second.readings.empty())
        return state;
    const Module &module = found->second;
    state.span = module.readings.back().time - module.readings.front().time;
    state.covered = state.span >= window_;
    state.spread = module.highest.front().ppm - module.lowest.front().ppm;
    state.settled = state.covered && state.spread <= spreadPpm_;
    state.last = module.readings.back().ppm;
    return state;
}

bool Settling::allSettled() const {
    for (const auto &[address, module] : modules_) {
        if (!state(address).settled)
            return false;
    }
    return true;
}

} // namespace cli
