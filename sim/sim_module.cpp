#include "sim_module.h"

#include "core/modbus_frame.h"
#include "core/wire_time.h"

#include <modbus/modbus.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace sim {
namespace {

constexpr std::size_t kMaxFrame = modbus::kLongestRtuFrame;
constexpr int kPollMs = 20;
constexpr int kHighestLibmodbusSlave = modbus::kHighestLibmodbusAddress;
constexpr int kBroadcastAddress = modbus::kBroadcastAddress;
constexpr auto kShortestFrameGap = std::chrono::milliseconds(3);
constexpr std::size_t kShortestRequest = 4; // address, function, CRC: a request with no data

constexpr std::pair<speed_t, int> kSpeeds[] = {{B1200, 1200},   {B2400, 2400},    {B4800, 4800},
                                               {B9600, 9600},   {B19200, 19200},  {B38400, 38400},
                                               {B57600, 57600}, {B115200, 115200}};

bool makeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

void setNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

std::vector<std::uint8_t> drain(int fd) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

// Empties a socket without blocking, whatever its mode.
void discardSocket(int fd) {
    std::uint8_t buffer[512];
    while (recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

// Requests whose length the function code tells: read holding registers and write one register.
bool isWholeFixedRequest(const std::vector<std::uint8_t> &frame) {
    const auto request = modbus::Request::parse(frame);
    return frame.size() >= std::size_t(modbus::kRequestLength) && request &&
           (request->function() == modbus::kReadHoldingRegisters ||
            request->function() == modbus::kWriteSingleRegister);
}

} // namespace

namespace {
constexpr FaultInfo kFaults[] = {
    {Fault::None, "none", "every reply as the module makes it"},
    {Fault::BadCrc, "bad-crc", "the reply's last CRC byte flipped"},
    {Fault::Silence, "silence", "no reply"},
    {Fault::Exception, "exception", "a Modbus exception reply (slave device failure) instead"},
    {Fault::Noise, "noise", "a burst of random bytes on the line before the reply"},
    {Fault::Split, "split", "the reply in three chunks, each some milliseconds late"},
    {Fault::Junk, "junk", "random bytes after the reply"},
    {Fault::Vanish, "vanish", "the port disappears and a new one comes two seconds later"},
};

constexpr bool descriptionsFitTheHelp() {
    return std::all_of(std::begin(kFaults), std::end(kFaults), [](const FaultInfo &info) {
        return std::string_view(info.description).size() <= kLongestFaultDescription;
    });
}
static_assert(descriptionsFitTheHelp());
} // namespace

std::span<const FaultInfo> faults() {
    return kFaults;
}

bool parseFault(const std::string &name, Fault &fault) {
    for (const FaultInfo &info : kFaults) {
        if (name == info.name) {
            fault = info.fault;
            return true;
        }
    }
    return false;
}

const char *faultName(Fault fault) {
    for (const FaultInfo &info : kFaults) {
        if (info.fault == fault)
            return info.name;
    }
    return "none";
}

Module::Station::Station(int address, std::size_t position, unsigned seed)
    : slave(address), random(seed + unsigned(position)),
      concentrationOffset(int(position) * kConcentrationStep) {
    mapping = modbus_mapping_new_start_address(0, 0, 0, 0, 0, kSlaveAddressRegister + 1, 0, 0);
    for (int i = 0; i < kRegisterCount; ++i)
        mapping->tab_registers[i] = kDefaultRegisters[i];
    mapping->tab_registers[modbus::kConcentrationRegister] += std::uint16_t(concentrationOffset);
    for (const modbus::ModuleField &field : modbus::kModuleFields) {
        if (field.parameter)
            mapping->tab_registers[*field.parameter] = kDefaultRegisters[field.address];
    }
    mapping->tab_registers[kSlaveAddressRegister] = std::uint16_t(address);
}

Module::Station::~Station() {
    modbus_mapping_free(mapping);
}

Module::Module(Options options)
    : options_(options), fault_(options.fault), faultEvery_(std::max(1, options.faultEvery)),
      started_(std::chrono::steady_clock::now()) {
    const std::vector<int> addresses =
        options.slaves.empty() ? std::vector<int>{options.slave} : options.slaves;
    for (std::size_t i = 0; i < addresses.size(); ++i)
        stations_.push_back(std::make_unique<Station>(addresses[i], i, options.seed));
    ctx_ = modbus_new_rtu("/dev/null", options.baud, 'N', 8, 1);
    modbus_set_byte_timeout(ctx_, 0, 2000);
    modbus_set_indication_timeout(ctx_, 0, 200000);
    if (std::getenv("GX7140R_SIM_DEBUG"))
        modbus_set_debug(ctx_, TRUE);
}

Module::~Module() {
    closeFds();
    modbus_free(ctx_);
}

void Module::closeFds() {
    for (int *fd : {&master_, &keepSlaveOpen_, &modbusSide_, &relaySide_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

bool Module::open(std::string &error) {
    closeFds();
    char name[256] = {};
    if (openpty(&master_, &keepSlaveOpen_, name, nullptr, nullptr) != 0) {
        error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    // Raw at once: a cooked terminal would echo our replies back to us as requests.
    makeRaw(keepSlaveOpen_);
    setNonBlocking(master_);
    // A program the tests start must not inherit the device side: the port could never vanish.
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(keepSlaveOpen_, F_SETFD, FD_CLOEXEC);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        error = std::string("socketpair: ") + std::strerror(errno);
        closeFds();
        return false;
    }
    modbusSide_ = pair[0];
    relaySide_ = pair[1];
    setNonBlocking(relaySide_);
    portPath_ = name;
    vanished_ = false;
    return true;
}

bool Module::reopen(std::string &error) {
    return open(error);
}

void Module::vanish() {
    closeFds();
    vanished_ = true;
}

void Module::setFault(Fault fault, int every) {
    faultEvery_ = std::max(1, every);
    fault_ = fault;
}

std::array<std::uint16_t, kRegisterCount> Module::registers(std::size_t module) const {
    std::lock_guard lock(registersMutex_);
    std::array<std::uint16_t, kRegisterCount> copy{};
    std::copy_n(stations_.at(module)->mapping->tab_registers, kRegisterCount, copy.begin());
    return copy;
}

void Module::setRegister(int address, std::uint16_t value, std::size_t module) {
    std::lock_guard lock(registersMutex_);
    stations_.at(module)->mapping->tab_registers[address] = value;
}

int Module::lineSpeed() const {
    termios tio{};
    if (keepSlaveOpen_ < 0 || tcgetattr(keepSlaveOpen_, &tio) != 0)
        return 0;
    for (const auto &[speed, baud] : kSpeeds) {
        if (cfgetospeed(&tio) == speed)
            return baud;
    }
    return 0;
}

void Module::serve(const std::atomic<bool> &stop) {
    while (!stop.load() && !vanished_.load()) {
        pollfd p{master_, POLLIN, 0};
        const int ready = poll(&p, 1, kPollMs);
        if (ready <= 0)
            continue;
        if (p.revents & POLLIN) {
            const auto frame = readFrame();
            if (!frame.empty())
                handleFrame(frame);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
    }
}

std::vector<std::uint8_t> Module::readFrame() {
    // A frame ends with the line's silence (3.5 characters, at least 3 ms here), or at once when
    // the function code tells its length.
    const int gapMs =
        int(std::max(kShortestFrameGap,
                     std::chrono::ceil<std::chrono::milliseconds>(modbus::frameGap(options_.baud)))
                .count());
    std::vector<std::uint8_t> frame = drain(master_);
    while (!frame.empty() && frame.size() < kMaxFrame && !isWholeFixedRequest(frame)) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, gapMs) <= 0 || !(p.revents & POLLIN))
            break;
        const auto more = drain(master_);
        if (more.empty())
            break;
        frame.insert(frame.end(), more.begin(), more.end());
    }
    return frame;
}

void Module::handleFrame(const std::vector<std::uint8_t> &frame) {
    ++heard_;
    // The adapter hears what it sends, at whatever speed and whoever it is for.
    if (options_.echo)
        writeBytes(frame.data(), frame.size());
    if (options_.strictBaud && lineSpeed() != options_.baud)
        return;
    if (frame.size() < kShortestRequest)
        return;
    const int slave = frame[0];
    const auto addressed = stationsAt(slave);
    if (addressed.empty())
        return; // a request for a module that is not on the line
    ++seen_;
    // On a bus the modules' answers to a broadcast would collide: none answers. One module alone
    // answers as libmodbus makes it (an exception it raises itself).
    const bool answer = slave != kBroadcastAddress || stations_.size() == 1;
    for (Station *station : addressed) {
        auto reply = libmodbusReply(*station, frame);
        afterReply(*station, frame);
        if (answer && !reply.empty())
            transmit(*station, std::move(reply));
    }
}

// The module at the address, or every module for a broadcast.
std::vector<Module::Station *> Module::stationsAt(int address) {
    std::vector<Station *> found;
    for (const auto &station : stations_) {
        if (address == kBroadcastAddress || station->slave.load() == address)
            found.push_back(station.get());
    }
    return found;
}

// Whether another module would answer at the address too, were the module to move there: one
// already there, or on a broadcast (which moves every module) any other module at all.
bool Module::addressTaken(const Station &mover, int address, bool broadcast) const {
    return std::any_of(stations_.begin(), stations_.end(), [&](const auto &station) {
        return station.get() != &mover && (broadcast || station->slave.load() == address);
    });
}

std::vector<std::uint8_t> Module::libmodbusReply(Station &station,
                                                 const std::vector<std::uint8_t> &frame) {
    drain(relaySide_);
    discardSocket(modbusSide_);
    if (write(relaySide_, frame.data(), frame.size()) != ssize_t(frame.size()))
        return {};
    modbus_set_socket(ctx_, modbusSide_);
    modbus_set_slave(ctx_, std::min(station.slave.load(), kHighestLibmodbusSlave));
    std::uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
    const int length = modbus_receive(ctx_, request);
    if (length <= 0) {
        discardSocket(modbusSide_); // a bad CRC or a broken frame: a real module stays silent
        return {};
    }
    // A request of another function may be shorter than a read's or a write's (address, function
    // and CRC): it has no register and no value.
    const auto parts = modbus::Request::parse(modbus::ByteView(request, std::size_t(length)));
    const std::uint8_t function = request[1];
    const int first = parts ? parts->registerAddress() : 0;
    const int countOrValue = parts ? parts->value() : 0;
    const bool faultHits =
        fault_.load() == Fault::Exception && (station.replies + 1) % faultEvery_.load() == 0;

    std::lock_guard lock(registersMutex_);
    if (options_.drift)
        driftConcentration(station);
    // The module answers reads of its measurement block and one-register writes of its
    // parameters and address; libmodbus checks the counts and answers 03 for a count it refuses.
    int exception = 0;
    const bool read = function == modbus::kReadHoldingRegisters;
    const bool write = function == modbus::kWriteSingleRegister;
    if (faultHits)
        exception = MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE;
    else if (!read && !write)
        exception = MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
    else if (read && countOrValue >= 1 && countOrValue <= MODBUS_MAX_READ_REGISTERS &&
             !modbus::isReadableRange(first, countOrValue))
        exception = MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
    else if (write && !modbus::isWritableRegister(first))
        exception = MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
    else if (write && first == kSlaveAddressRegister &&
             (countOrValue < modbus::kLowestModuleAddress || countOrValue > kHighestLibmodbusSlave))
        exception = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
    else if (write && first == kSlaveAddressRegister &&
             addressTaken(station, countOrValue, request[0] == kBroadcastAddress))
        exception = MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE; // two modules would answer at one address

    if (exception)
        modbus_reply_exception(ctx_, request, unsigned(exception));
    else
        modbus_reply(ctx_, request, length, station.mapping);
    const modbus::ModuleField *written = write ? modbus::fieldForParameter(first) : nullptr;
    if (written && !exception)
        station.mapping->tab_registers[written->address] = std::uint16_t(countOrValue);
    return drain(relaySide_);
}

void Module::afterReply(Station &station, const std::vector<std::uint8_t> &frame) {
    // The new address takes effect after its echo.
    const auto request = modbus::Request::parse(frame);
    if (request && request->kind() == modbus::RequestKind::AddressChange) {
        std::lock_guard lock(registersMutex_);
        const int value = station.mapping->tab_registers[kSlaveAddressRegister];
        if (value >= modbus::kLowestModuleAddress && value <= kHighestLibmodbusSlave)
            station.slave = value;
    }
}

std::uint16_t driftedConcentration(double seconds, std::mt19937 &random) {
    const double wave =
        kSlowWaveReach * std::sin(seconds / 30.0) + kFastWaveReach * std::sin(seconds / 4.0);
    std::uniform_int_distribution<int> jitter(-kJitterReach, kJitterReach);
    return std::uint16_t(std::lround(kDefaultRegisters[modbus::kConcentrationRegister] + wave) +
                         jitter(random));
}

void Module::driftConcentration(Station &station) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    std::uint16_t *registers = station.mapping->tab_registers;
    registers[modbus::kConcentrationRegister] =
        std::uint16_t(driftedConcentration(seconds, station.random) + station.concentrationOffset);
    registers[modbus::kAlarmStateRegister] =
        registers[modbus::kConcentrationRegister] > registers[modbus::kAlarmHighRegister] ? 1 : 0;
}

void Module::writeBytes(const std::uint8_t *data, std::size_t size) {
    if (!options_.paced) {
        std::size_t done = 0;
        while (done < size && master_ >= 0) {
            const ssize_t n = write(master_, data + done, size - done);
            if (n > 0)
                done += std::size_t(n);
            else if (errno == EAGAIN)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            else
                return;
        }
        return;
    }
    // One byte every 10 bit times, as a UART at this baud rate sends them.
    const auto byteTime = modbus::wireTime(1, options_.baud);
    auto due = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < size && master_ >= 0; ++i) {
        due += byteTime;
        std::this_thread::sleep_until(due);
        if (write(master_, data + i, 1) != 1)
            return;
    }
}

void Module::transmit(Station &station, std::vector<std::uint8_t> reply) {
    ++answered_;
    const int number = ++station.replies;
    const Fault fault = fault_.load();
    const bool hits = fault != Fault::None && number % faultEvery_.load() == 0;
    // The request itself took its time on the line (its echo took it already).
    if (options_.paced && !options_.echo)
        std::this_thread::sleep_for(modbus::wireTime(modbus::kRequestLength, options_.baud));
    std::uniform_int_distribution<int> byte(0, 255);
    auto randomBytes = [&](int low, int high) {
        std::vector<std::uint8_t> bytes(
            std::uniform_int_distribution<int>(low, high)(station.random));
        for (auto &b : bytes)
            b = std::uint8_t(byte(station.random));
        return bytes;
    };
    if (!hits || fault == Fault::Exception) {
        writeBytes(reply.data(), reply.size());
        return;
    }
    switch (fault) {
    case Fault::BadCrc:
        reply.back() ^= 0xFF;
        writeBytes(reply.data(), reply.size());
        break;
    case Fault::Silence:
        break;
    case Fault::Noise: {
        const auto noise = randomBytes(5, 16);
        writeBytes(noise.data(), noise.size());
        writeBytes(reply.data(), reply.size());
        break;
    }
    case Fault::Split: {
        const std::size_t third = std::max<std::size_t>(1, reply.size() / 3);
        for (std::size_t at = 0; at < reply.size(); at += third) {
            if (at > 0)
                std::this_thread::sleep_for(options_.splitDelay);
            writeBytes(reply.data() + at, std::min(third, reply.size() - at));
        }
        break;
    }
    case Fault::Junk: {
        const auto junk = randomBytes(1, 6);
        reply.insert(reply.end(), junk.begin(), junk.end());
        writeBytes(reply.data(), reply.size());
        break;
    }
    case Fault::Vanish:
        vanish();
        break;
    default:
        writeBytes(reply.data(), reply.size());
    }
}

} // namespace sim
