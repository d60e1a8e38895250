// gx7140r-sim: a GX7140R CO2 sensor module on a pseudo-terminal, for demonstrations and tests.
#include "sim_module.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> stopRequested{false};
void onSignal(int) {
    stopRequested = true;
}

void usage() {
    std::puts("usage: gx7140r-sim [options]\n"
              "  --com N          appear as COMn: link the terminal as /dev/COMn (default 1; 0: no "
              "link)\n"
              "  --link PATH      link the terminal as PATH instead\n"
              "  --slave A        answer at slave address A, 1..247 (default 1)\n"
              "  --baud B         line speed for --paced (default 9600)\n"
              "  --paced          replies take the line's real time (10 bits a byte)\n"
              "  --steady         no drift: the gas concentration stays at 450 ppm\n"
              "  --fault MODE     none, bad-crc, silence, exception, noise, split, junk, vanish\n"
              "  --fault-every N  the fault hits every n-th reply (default 1)\n"
              "  --seconds S      stop after S seconds (default: run until interrupted)");
}

bool number(const char *text, int low, int high, int &out) {
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!text[0] || *end || value < low || value > high)
        return false;
    out = int(value);
    return true;
}

struct Link {
    std::string path;
    bool made = false;
    void make(const std::string &target) {
        if (path.empty())
            return;
        unlink(path.c_str());
        made = symlink(target.c_str(), path.c_str()) == 0;
        if (made)
            std::printf("linked %s -> %s\n", path.c_str(), target.c_str());
        else
            std::printf("could not link %s (%s); run as root, or link it yourself:\n"
                        "  sudo ln -sf %s %s\n",
                        path.c_str(), std::strerror(errno), target.c_str(), path.c_str());
        std::fflush(stdout);
    }
    ~Link() {
        if (made)
            unlink(path.c_str());
    }
};

} // namespace

int main(int argc, char *argv[]) {
    sim::Options options;
    int com = 1;
    int seconds = 0;
    std::string linkPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : "";
        bool ok = true;
        if (arg == "--com")
            ok = number(value, 0, 255, com), ++i;
        else if (arg == "--link")
            linkPath = value, ++i;
        else if (arg == "--slave")
            ok = number(value, 1, 247, options.slave), ++i;
        else if (arg == "--baud")
            ok = number(value, 50, 4000000, options.baud), ++i;
        else if (arg == "--paced")
            options.paced = true;
        else if (arg == "--steady")
            options.drift = false;
        else if (arg == "--fault")
            ok = sim::parseFault(value, options.fault), ++i;
        else if (arg == "--fault-every")
            ok = number(value, 1, 1000000, options.faultEvery), ++i;
        else if (arg == "--seconds")
            ok = number(value, 1, 86400 * 365, seconds), ++i;
        else if (arg == "-h" || arg == "--help")
            return usage(), 0;
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "gx7140r-sim: bad argument near '%s'\n", arg.c_str());
            usage();
            return 2;
        }
    }
    if (linkPath.empty() && com > 0)
        linkPath = "/dev/COM" + std::to_string(com);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    sim::Module module(options);
    std::string error;
    if (!module.open(error)) {
        std::fprintf(stderr, "gx7140r-sim: %s\n", error.c_str());
        return 1;
    }
    Link link{linkPath};
    std::printf("GX7140R module at slave address %d on %s (fault: %s)\n", options.slave,
                module.portPath().c_str(), sim::faultName(options.fault));
    std::fflush(stdout);
    link.make(module.portPath());

    if (seconds > 0) {
        std::thread([seconds] {
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            stopRequested = true;
        }).detach();
    }
    while (!stopRequested) {
        module.serve(stopRequested);
        if (module.vanished() && !stopRequested) {
            std::puts("the port vanished; it comes back in 2 s");
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::seconds(2));
            if (!module.reopen(error)) {
                std::fprintf(stderr, "gx7140r-sim: %s\n", error.c_str());
                return 1;
            }
            link.make(module.portPath());
        }
    }
    std::printf("served %d requests\n", module.requestsAnswered());
    return 0;
}
