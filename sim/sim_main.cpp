// gx7140r-sim: a GX7140R CO2 sensor module on a pseudo-terminal, for demonstrations and tests.
#include "port_link.h"
#include "sim_module.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Set by the signal handler, read by the serving loop: nothing else happens inside the handler.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
void onSignal(int) {
    stopRequested = true;
}

void endOnSignals() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void usage() {
    std::fputs(
        "Usage: gx7140r-sim [OPTION]...\n"
        "Play a GX7140R carbon-dioxide sensor module, a Modbus RTU slave, on a pseudo-terminal:\n"
        "registers 0..9 with a slowly drifting CO2 value, the writable configuration registers\n"
        "and the slave-address register. For demonstrations and tests of gx7140r-tool and\n"
        "gx7140r-cli without a module.\n"
        "\n"
        "Options:\n"
        "  --com N          link the terminal as /dev/COMn, the tool's COMn (default 1; 0: no\n"
        "                   link)\n"
        "  --link PATH      link the terminal as PATH instead\n"
        "  --slave A        answer at slave address A, 1..247 (default 1)\n"
        "  --baud B         line speed for --paced and --strict-baud (default 9600)\n"
        "  --paced          replies take the line's real time (10 bits a byte)\n"
        "  --strict-baud    answer only when the terminal is set to --baud, as a real module\n"
        "                   does (otherwise any speed will do: a pty has none of its own)\n"
        "  --steady         no drift: the gas concentration stays at 450 ppm\n"
        "  --fault MODE     corrupt or withhold replies: none, bad-crc, silence, exception,\n"
        "                   noise, split, junk, vanish (the port disappears and a new one\n"
        "                   comes two seconds later)\n"
        "  --fault-every N  the fault hits every n-th reply (default 1)\n"
        "  --seconds S      stop after S seconds (default: run until interrupted)\n"
        "  -h, --help       show this help and exit\n"
        "  -V, --version    show the version and exit\n"
        "\n"
        "The link:\n"
        "  The link is made only when nothing is at its path; a stale link the simulator left\n"
        "  behind (to a terminal that is gone) is replaced. Anything else there, such as a link\n"
        "  to your adapter, is left as it is, and the simulator serves without a link. Making a\n"
        "  link in /dev needs root. No link is needed at all: start the tool with the terminal\n"
        "  as one of its ports, gx7140r-tool --port COM1=/dev/pts/N. On SIGTERM, SIGINT or\n"
        "  SIGHUP the simulator stops and removes its link if the link still points to its\n"
        "  terminal.\n"
        "\n"
        "Exit status:\n"
        "  0  stopped by a signal or after --seconds\n"
        "  1  no pseudo-terminal could be made\n"
        "  2  a usage error\n",
        stdout);
}

bool number(const char *text, int low, int high, int &out) {
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!text[0] || *end || value < low || value > high)
        return false;
    out = int(value);
    return true;
}

// Links the terminal and says what happened; a path that is taken is left as it is.
void linkTerminal(sim::PortLink &link, const std::string &terminal, int com) {
    const int port = com > 0 ? com : 1;
    switch (link.make(terminal)) {
    case sim::PortLink::Outcome::Made:
        std::printf("linked %s -> %s\n", link.path().c_str(), terminal.c_str());
        break;
    case sim::PortLink::Outcome::Replaced:
        std::printf("linked %s -> %s (in place of a stale simulator link)\n", link.path().c_str(),
                    terminal.c_str());
        break;
    case sim::PortLink::Outcome::Taken: {
        std::fprintf(stderr, "gx7140r-sim: %s is taken (%s); it is left as it is.\n",
                     link.path().c_str(), link.found().c_str());
        if (com > 0) {
            if (const int free = sim::firstFreeComNumber(); free > 0)
                std::fprintf(stderr,
                             "  Appear as a free COM number instead: gx7140r-sim --com %d\n", free);
        } else {
            std::fprintf(stderr, "  Link another path instead: gx7140r-sim --link PATH\n");
        }
        std::fprintf(stderr,
                     "  Or give the tool this terminal directly: gx7140r-tool --port COM%d=%s\n",
                     port, terminal.c_str());
        break;
    }
    case sim::PortLink::Outcome::Failed:
        std::fprintf(stderr,
                     "gx7140r-sim: could not link %s (%s).\n"
                     "  Give the tool this terminal directly: gx7140r-tool --port COM%d=%s\n",
                     link.path().c_str(), link.error().c_str(), port, terminal.c_str());
        break;
    }
    std::fflush(stdout);
    std::fflush(stderr);
}

// Waits up to `duration`, or less when a stop is requested.
void pause(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    while (!stopRequested && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace

int main(int argc, char *argv[]) {
    sim::Options options;
    int com = 1;
    int seconds = 0;
    std::string linkPath;
    bool linkGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : "";
        bool ok = true;
        if (arg == "--com")
            ok = number(value, 0, 255, com), ++i;
        else if (arg == "--link")
            linkPath = value, linkGiven = true, ++i;
        else if (arg == "--slave")
            ok = number(value, modbus::kLowestModuleAddress, modbus::kHighestLibmodbusAddress,
                        options.slave),
            ++i;
        else if (arg == "--baud")
            ok = number(value, 50, 4000000, options.baud), ++i;
        else if (arg == "--paced")
            options.paced = true;
        else if (arg == "--strict-baud")
            options.strictBaud = true;
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
        else if (arg == "-V" || arg == "--version")
            return std::puts("gx7140r-sim " GX7140R_VERSION), 0;
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "gx7140r-sim: bad argument near '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (linkGiven)
        com = 0; // the link's name says nothing about a COM number
    else if (com > 0)
        linkPath = "/dev/COM" + std::to_string(com);

    endOnSignals();

    sim::Module module(options);
    std::string error;
    if (!module.open(error)) {
        std::fprintf(stderr, "gx7140r-sim: %s\n", error.c_str());
        return 1;
    }
    sim::PortLink link{linkPath};
    std::printf("GX7140R module at slave address %d on %s (fault: %s)\n", options.slave,
                module.portPath().c_str(), sim::faultName(options.fault));
    std::fflush(stdout);
    if (!linkPath.empty())
        linkTerminal(link, module.portPath(), com);

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
            link.remove();
            pause(std::chrono::seconds(2));
            if (stopRequested)
                break;
            if (!module.reopen(error)) {
                std::fprintf(stderr, "gx7140r-sim: %s\n", error.c_str());
                return 1;
            }
            std::printf("GX7140R module back on %s\n", module.portPath().c_str());
            std::fflush(stdout);
            if (!linkPath.empty())
                linkTerminal(link, module.portPath(), com);
        }
    }
    std::printf("served %d requests\n", module.requestsAnswered());
    return 0;
}
