// gx7140r-sim: a GX7140R CO2 sensor module on a pseudo-terminal, for demonstrations and tests.
#include "port_link.h"
#include "sim_module.h"
#include "tcp_server.h"

#include "core/address_list.h"
#include "core/whole_digits.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <getopt.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <variant>

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

// libmodbus answers at slave addresses 1..247, fewer than the module's 1..250.
constexpr int kLowestSlave = modbus::kLowestModuleAddress;
constexpr int kHighestSlave = modbus::kHighestLibmodbusAddress;
constexpr int kLowestSimulatedSpeed = 50; // baud

// The first and the last register the configuration writes change.
constexpr std::pair<int, int> parameterRegisters() {
    std::pair<int, int> span{0xFFFF, 0};
    for (const modbus::ModuleField &field : modbus::kModuleFields) {
        if (field.parameter)
            span = {std::min(span.first, *field.parameter),
                    std::max(span.second, *field.parameter)};
    }
    return span;
}

// The help's list of fault modes: each name and what it does.
constexpr int kFaultIndent = 2;
constexpr int kFaultNameWidth = 11;
static_assert(kFaultIndent + kFaultNameWidth + sim::kLongestFaultDescription <= 79);

void usage() {
    std::printf(
        "Usage: gx7140r-sim [OPTION]...\n"
        "Play a GX7140R carbon-dioxide sensor module, a Modbus RTU slave, on a pseudo-terminal:\n"
        "registers 0..%d with a slowly drifting CO2 value, the writable configuration\n"
        "registers 0x%04X..0x%04X and the slave-address register 0x%04X. For demonstrations\n"
        "and tests of gx7140r-tool and gx7140r-cli without a module.\n"
        "\n"
        "Options:\n"
        "  --com N          link the terminal as /dev/COMn, the tool's COMn (default 1; 0: no\n"
        "                   link)\n"
        "  --link PATH      link the terminal as PATH instead\n"
        "  --slave LIST     the slave address to answer at, %d..%d (default %d), or a\n"
        "                   list of them (1,5,9 or 3-7 or 1,3-5,9): a bus, one module\n"
        "                   at each address on the one terminal (see below)\n"
        "  --baud B         line speed for --paced and --strict-baud (default %d)\n"
        "  --paced          replies take the line's real time (10 bits a byte)\n"
        "  --echo           give every request back on the line, byte for byte, before\n"
        "                   the reply, as an RS-485 adapter without echo suppression\n"
        "                   does (see below)\n"
        "  --strict-baud    answer only when the terminal is set to --baud, as a real module\n"
        "                   does (otherwise any speed will do: a pty has none of its own)\n"
        "  --steady         no drift: the gas concentration stays at %d ppm\n"
        "  --fault MODE     corrupt or withhold replies: MODE is one of the fault modes\n"
        "                   below (default none)\n"
        "  --fault-every N  the fault hits every n-th reply (default 1)\n"
        "  --tcp [HOST:]PORT\n"
        "                   also serve Modbus TCP on HOST (default 127.0.0.1; IPv6 in\n"
        "                   brackets), as an Ethernet gateway in front of the module: unit id\n"
        "                   and PDU go to the module as RTU frames, its replies come back;\n"
        "                   several clients at once\n"
        "  --seconds S      stop after S seconds (default: run until interrupted)\n"
        "  -h, --help       show this help and exit\n"
        "  -V, --version    show the version and exit\n"
        "Options take their value as the next argument or after '=' (--slave=2,3).\n"
        "\n"
        "Fault modes:\n",
        modbus::kMeasurementRegisterCount - 1, parameterRegisters().first,
        parameterRegisters().second, modbus::kSlaveAddressRegister, kLowestSlave, kHighestSlave,
        sim::Options{}.slave, sim::Options{}.baud,
        int(sim::kDefaultRegisters[std::size_t(modbus::kConcentrationRegister)]));
    for (const sim::FaultInfo &fault : sim::faults())
        std::printf("%*s%-*s%s\n", kFaultIndent, "", kFaultNameWidth, fault.name,
                    fault.description);
    std::printf(
        "\n"
        "A bus of modules, a line that echoes:\n"
        "  With --slave LIST the terminal carries one module at each address, each with\n"
        "  its own registers and drift, each answering only at its own address. The\n"
        "  modules of LIST, counted from 0, read %d ppm more each than the one before,\n"
        "  so that no two read the same value at the same moment. Writing a module's\n"
        "  address register moves that module alone; an address another module on the\n"
        "  bus has is refused with exception 03 (illegal data value), since two modules\n"
        "  at one address garble each other's replies. A broadcast (address 0) reaches\n"
        "  every module: each takes a register write, none answers, and an address\n"
        "  change by broadcast is refused by all. (One module alone answers a broadcast\n"
        "  it refuses with an exception, as libmodbus does.) The fault modes hit every\n"
        "  module, each at its own n-th reply; vanish takes the whole line.\n"
        "\n"
        "  With --echo each request comes back first, also one that no module answers\n"
        "  (another address, a bad CRC, the silence fault); with --paced the echo takes\n"
        "  the request's time on the wire. The Modbus TCP gateway (--tcp) reads the echo\n"
        "  back itself, as a gateway with echo suppression does: its clients see the\n"
        "  replies alone.\n"
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
        sim::kConcentrationStep);
}

// A whole number in low..high as the command line takes one: decimal digits only.
bool number(const char *text, int low, int high, int &out) {
    const auto value = numeric::parseDigits(text, low, high);
    if (!std::holds_alternative<std::int64_t>(value))
        return false;
    out = int(std::get<std::int64_t>(value));
    return true;
}

// "1, 5, 9".
std::string addressesText(const std::vector<int> &addresses) {
    std::string text;
    for (const int address : addresses)
        text += (text.empty() ? "" : ", ") + std::to_string(address);
    return text;
}

// What the first line says of the modules: "module at slave address 1", "modules at slave
// addresses 1, 5, 9".
std::string modulesText(const sim::Options &options) {
    if (options.slaves.size() > 1)
        return "modules at slave addresses " + addressesText(options.slaves);
    return "module at slave address " + std::to_string(options.slave);
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
    std::string tcpAddress;
    enum : int {
        Com = 1000,
        Link,
        Slave,
        Baud,
        Paced,
        StrictBaud,
        Steady,
        FaultMode,
        FaultEvery,
        Seconds,
        Tcp,
        Echo
    };
    static const option longOptions[] = {
        {"com", required_argument, nullptr, Com},
        {"link", required_argument, nullptr, Link},
        {"slave", required_argument, nullptr, Slave},
        {"baud", required_argument, nullptr, Baud},
        {"paced", no_argument, nullptr, Paced},
        {"echo", no_argument, nullptr, Echo},
        {"strict-baud", no_argument, nullptr, StrictBaud},
        {"steady", no_argument, nullptr, Steady},
        {"fault", required_argument, nullptr, FaultMode},
        {"fault-every", required_argument, nullptr, FaultEvery},
        {"seconds", required_argument, nullptr, Seconds},
        {"tcp", required_argument, nullptr, Tcp},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0; // one message of our own below
    for (int choice; (choice = getopt_long(argc, argv, "+hV", longOptions, nullptr)) != -1;) {
        bool ok = true;
        switch (choice) {
        case Com:
            ok = number(optarg, 0, kHighestPortNumber, com);
            break;
        case Link:
            linkPath = optarg, linkGiven = true;
            break;
        case Slave: {
            const auto list = modbus::parseAddressList(optarg, kLowestSlave, kHighestSlave);
            if (const auto *problem = std::get_if<modbus::AddressListProblem>(&list)) {
                std::fprintf(stderr, "gx7140r-sim: --slave: %s (see --help)\n",
                             problem->message.c_str());
                return 2;
            }
            options.slaves = std::get<std::vector<int>>(list);
            options.slave = options.slaves.front();
            break;
        }
        case Baud:
            ok = number(optarg, kLowestSimulatedSpeed, kHighestLineSpeed, options.baud);
            break;
        case Paced:
            options.paced = true;
            break;
        case Echo:
            options.echo = true;
            break;
        case StrictBaud:
            options.strictBaud = true;
            break;
        case Steady:
            options.drift = false;
            break;
        case FaultMode:
            ok = sim::parseFault(optarg, options.fault);
            break;
        case FaultEvery:
            ok = number(optarg, 1, 1000000, options.faultEvery);
            break;
        case Tcp:
            ok = sim::TcpServer::validAddress(optarg), tcpAddress = optarg;
            break;
        case Seconds:
            ok = number(optarg, 1, 86400 * 365, seconds);
            break;
        case 'h':
            return usage(), 0;
        case 'V':
            return std::puts("gx7140r-sim " GX7140R_VERSION), 0;
        default:
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "gx7140r-sim: bad argument near '%s' (see --help)\n",
                         argv[optind - 1]);
            return 2;
        }
    }
    if (optind < argc) {
        std::fprintf(stderr, "gx7140r-sim: bad argument near '%s' (see --help)\n", argv[optind]);
        return 2;
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
    std::printf("GX7140R %s on %s (fault: %s%s)\n", modulesText(options).c_str(),
                module.portPath().c_str(), sim::faultName(options.fault),
                options.echo ? ", requests echoed" : "");
    std::fflush(stdout);
    if (!linkPath.empty())
        linkTerminal(link, module.portPath(), com);
    sim::TcpServer tcp(module.portPath(), options.baud, options.paced, options.echo);
    if (!tcpAddress.empty()) {
        if (!tcp.start(tcpAddress, stopRequested, error)) {
            std::fprintf(stderr, "gx7140r-sim: %s\n", error.c_str());
            return 1;
        }
        std::printf("Modbus TCP on %s\n", tcp.address().c_str());
        std::fflush(stdout);
    }

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
            tcp.setTerminal(module.portPath());
            std::printf("GX7140R %s back on %s\n", module.moduleCount() > 1 ? "modules" : "module",
                        module.portPath().c_str());
            std::fflush(stdout);
            if (!linkPath.empty())
                linkTerminal(link, module.portPath(), com);
        }
    }
    std::printf("served %d requests\n", module.requestsAnswered());
    return 0;
}
