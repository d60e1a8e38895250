#pragma once

#include "core/line_facts.h"
#include "core/module_map.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <vector>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace sim {

// What goes wrong with a reply, for tests and demonstrations; faults() tells what each does.
enum class Fault { None, BadCrc, Silence, Exception, Noise, Split, Junk, Vanish };

struct FaultInfo {
    Fault fault;
    const char *name;        // as --fault names it
    const char *description; // a line of the help
};
inline constexpr std::size_t kLongestFaultDescription = 64;
// Every fault, in the order the help lists them.
std::span<const FaultInfo> faults();

bool parseFault(const std::string &name, Fault &fault);
const char *faultName(Fault fault);

struct Options {
    int slave = 1;
    // A bus: one module at each of these addresses, in this order, on the one terminal. Empty: the
    // one module at `slave`.
    std::vector<int> slaves;
    // The line gives back every request, byte for byte, before any reply: an RS-485 adapter
    // without echo suppression hears itself.
    bool echo = false;
    int baud = kDefaultBaudRate;
    bool paced = false; // replies take the line's real time: 10 bits a byte at `baud`
    // Answer only when the master set the terminal to `baud`: at any other speed a real module
    // hears noise. A pty carries bytes at no speed, but it keeps the speed the master set.
    bool strictBaud = false;
    bool drift = true; // the gas concentration drifts slowly
    Fault fault = Fault::None;
    int faultEvery = 1; // the fault hits every n-th reply
    std::chrono::milliseconds splitDelay{15};
    unsigned seed = 7140;
};

// Registers as the module keeps them (core/module_map.h): 0 gas concentration (ppm), 1 alarm
// state, 2 range coefficient, 3 range low, 4 range high, 5 display calibration, 6 alarm low,
// 7 alarm high, 8, 9; the configuration registers 0x0A02..0x0A07 and the address register 0x0B00.
inline constexpr int kRegisterCount = modbus::kMeasurementRegisterCount;
inline constexpr int kSlaveAddressRegister = modbus::kSlaveAddressRegister;
// The gas concentration the simulated module starts from (ppm).
inline constexpr std::uint16_t kStartConcentration = 450;
// The registers 0..9 after start-up: the module's defaults, the concentration above, 0 elsewhere.
inline constexpr std::array<std::uint16_t, kRegisterCount> kDefaultRegisters = [] {
    std::array<std::uint16_t, kRegisterCount> registers{};
    for (const modbus::ModuleField &field : modbus::kModuleFields)
        registers[std::size_t(field.address)] = field.defaultValue.value_or(0);
    registers[modbus::kConcentrationRegister] = kStartConcentration;
    return registers;
}();

// The drifting gas concentration (ppm) `seconds` after the module started: a slow wave and a
// faster one around 450 ppm, and a jitter drawn from `random`, one draw per reading; each at most
// its reach (ppm) either side.
inline constexpr int kSlowWaveReach = 40;
inline constexpr int kFastWaveReach = 10;
inline constexpr int kJitterReach = 2;
std::uint16_t driftedConcentration(double seconds, std::mt19937 &random);

// On a bus, each module reads this much more than the one before it in the list. The wave is the
// same for all (as the air of one room), the jitter each one's own: a step wider than the jitter
// spans keeps two modules from reading the same value at the same moment, and 247 modules all
// stay below the alarm's high limit.
inline constexpr int kConcentrationStep = 5; // ppm
static_assert(kConcentrationStep > 2 * kJitterReach);
static_assert(kDefaultRegisters[modbus::kConcentrationRegister] +
                  (modbus::kHighestLibmodbusAddress - 1) * kConcentrationStep + kSlowWaveReach +
                  kFastWaveReach + kJitterReach <
              kDefaultRegisters[modbus::kAlarmHighRegister]);

// A GX7140R module on a pseudo-terminal, or a bus of them (Options::slaves), each with its own
// registers and drift. Requests are framed by the line's silence; libmodbus checks each one
// addressed to a module (CRC included) and builds its reply. The modules are counted from 0 in
// the order the options list them.
class Module {
public:
    explicit Module(Options options);
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    // Creates the pseudo-terminal; false with a reason on failure.
    bool open(std::string &error);
    // The terminal the tool opens.
    const std::string &portPath() const { return portPath_; }

    // Serves requests until `stop` is set (looked at every few milliseconds) or the port vanished.
    void serve(const std::atomic<bool> &stop);
    // Removes the port as if the adapter were pulled; reopen() brings a new one.
    void vanish();
    bool reopen(std::string &error);
    bool vanished() const { return vanished_.load(); }

    void setFault(Fault fault, int every = 1);
    std::size_t moduleCount() const { return stations_.size(); }
    // The address a module answers at now.
    int slave(std::size_t module = 0) const { return stations_.at(module)->slave.load(); }
    std::array<std::uint16_t, kRegisterCount> registers(std::size_t module = 0) const;
    void setRegister(int address, std::uint16_t value, std::size_t module = 0);
    int requestsAnswered() const { return answered_.load(); }
    int requestsSeen() const { return seen_.load(); }
    // Every frame that reached the terminal, for any address and at any speed.
    int framesHeard() const { return heard_.load(); }
    // The speed the master set on the terminal, in baud (0 when unknown).
    int lineSpeed() const;

private:
    // One module on the line: its address, its registers, and its own random draws (the jitter,
    // the fault modes' bytes in its replies).
    struct Station {
        Station(int address, std::size_t position, unsigned seed);
        ~Station();
        Station(const Station &) = delete;
        Station &operator=(const Station &) = delete;

        std::atomic<int> slave;
        modbus_mapping_t *mapping = nullptr;
        std::mt19937 random;
        int concentrationOffset = 0;
        int replies = 0; // its replies so far, which --fault-every counts
    };

    std::vector<std::uint8_t> readFrame();
    void handleFrame(const std::vector<std::uint8_t> &frame);
    std::vector<Station *> stationsAt(int address);
    bool addressTaken(const Station &mover, int address, bool broadcast) const;
    std::vector<std::uint8_t> libmodbusReply(Station &station,
                                             const std::vector<std::uint8_t> &frame);
    void afterReply(Station &station, const std::vector<std::uint8_t> &frame);
    void transmit(Station &station, std::vector<std::uint8_t> reply);
    void writeBytes(const std::uint8_t *data, std::size_t size);
    void driftConcentration(Station &station);
    void closeFds();

    Options options_;
    std::vector<std::unique_ptr<Station>> stations_;
    std::atomic<int> answered_{0};
    std::atomic<int> seen_{0};
    std::atomic<int> heard_{0};
    std::atomic<bool> vanished_{false};
    std::atomic<Fault> fault_;
    std::atomic<int> faultEvery_;
    int master_ = -1;
    int keepSlaveOpen_ = -1;
    int modbusSide_ = -1; // libmodbus reads requests from and writes replies to this socket
    int relaySide_ = -1;
    std::string portPath_;
    modbus_t *ctx_ = nullptr;
    mutable std::mutex registersMutex_; // guards every module's registers
    std::chrono::steady_clock::time_point started_;
};

} // namespace sim
