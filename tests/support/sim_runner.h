#pragma once

#include "sim_module.h"

#include <QString>

#include <atomic>
#include <memory>
#include <thread>

// The simulated module serving on its own thread, as the far end of a pty.
class SimRunner {
public:
    explicit SimRunner(sim::Options options = steadyOptions()) : module_(options) {
        std::string error;
        ok_ = module_.open(error);
        if (ok_)
            start();
    }
    ~SimRunner() { stop(); }

    static sim::Options steadyOptions() {
        sim::Options options;
        options.drift = false;
        return options;
    }

    bool ok() const { return ok_; }
    sim::Module &module() { return module_; }
    QString path() const { return QString::fromStdString(module_.portPath()); }

    // After the port vanished: a new terminal, served again.
    bool comeBack() {
        stop();
        std::string error;
        ok_ = module_.reopen(error);
        if (ok_)
            start();
        return ok_;
    }

private:
    void start() {
        stop_ = false;
        thread_ = std::thread([this] { module_.serve(stop_); });
    }
    void stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    sim::Module module_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    bool ok_ = false;
};
