#pragma once

#include "core/line_facts.h"
#include "core/module_map.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
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
// The registers 0..9 after start-up.
inline constexpr std::array<std::uint16_t, kRegisterCount> kDefaultRegisters = {
    450, 0, 1, 0, 2000, 1000, 0, 2000, 0, 0};

// The drifting gas concentration (ppm) `seconds` after the module started: a slow wave around
// 450 ppm and a jitter of -2..2 ppm drawn from `random`, one draw per reading.
std::uint16_t driftedConcentration(double seconds, std::mt19937 &random);

// A GX7140R module on a pseudo-terminal. Requests are framed by the line's silence; libmodbus
// checks each one addressed to this module (CRC included) and builds the reply.
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
    int slave() const { return slave_.load(); }
    std::array<std::uint16_t, kRegisterCount> registers() const;
    void setRegister(int address, std::uint16_t value);
    int requestsAnswered() const { return answered_.load(); }
    int requestsSeen() const { return seen_.load(); }
    // Every frame that reached the terminal, for any address and at any speed.
    int framesHeard() const { return heard_.load(); }
    // The speed the master set on the terminal, in baud (0 when unknown).
    int lineSpeed() const;

private:
    std::vector<std::uint8_t> readFrame();
    void handleFrame(const std::vector<std::uint8_t> &frame);
    std::vector<std::uint8_t> libmodbusReply(const std::vector<std::uint8_t> &frame);
    void afterReply(const std::vector<std::uint8_t> &frame);
    void transmit(std::vector<std::uint8_t> reply);
    void writeBytes(const std::uint8_t *data, std::size_t size);
    void driftConcentration();
    void closeFds();

    Options options_;
    std::atomic<int> slave_;
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
    modbus_mapping_t *mapping_ = nullptr;
    mutable std::mutex registersMutex_;
    std::mt19937 random_;
    std::chrono::steady_clock::time_point started_;
};

} // namespace sim
