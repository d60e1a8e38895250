#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _modbus modbus_t;

namespace sim {

// Modbus TCP in front of the simulated module, as an Ethernet gateway serves an RTU module: each
// request's unit id and PDU (framed by its MBAP header) go to the module's terminal as an RTU frame
// (with the CRC the frame type adds), and the module's reply goes back under the request's
// transaction id. A request the module leaves unanswered (another unit id, a fault) gets no reply,
// as on the serial line. On a line that echoes requests (--echo) it reads the echo back and drops
// it, as a gateway with echo suppression does, so that clients see the replies alone. Several
// clients at once, their requests taking turns on the one line; a client that sends what is no
// Modbus TCP is hung up on, and so is one idle for a minute, or the longest idle when every place
// is taken and another client comes.
class TcpServer {
public:
    TcpServer(std::string terminal, int baud, bool paced, bool echo = false);
    ~TcpServer();
    TcpServer(const TcpServer &) = delete;
    TcpServer &operator=(const TcpServer &) = delete;

    // Whether TEXT is "[HOST:]PORT", PORT 1..65535; an IPv6 HOST may be in brackets.
    static bool validAddress(const std::string &text);
    // Listens on HOST:PORT ("PORT" alone: 127.0.0.1) and serves clients on a thread of its own
    // until `stop` is set or it is destroyed (each looked at every 100 ms); false with a reason
    // on failure.
    bool start(const std::string &hostAndPort, const std::atomic<bool> &stop, std::string &error);
    // The address it listens on, as "HOST:PORT" ("[HOST]:PORT" for IPv6), numeric.
    const std::string &address() const { return address_; }
    // The module is now on TERMINAL (it vanished and came back): the next request goes there.
    void setTerminal(const std::string &terminal);

private:
    struct Client {
        int socket;
        std::vector<unsigned char> pending;              // the start of a request still coming
        std::chrono::steady_clock::time_point lastHeard; // connected, or last sent something
    };
    bool listen(const std::string &hostAndPort, std::string &error);
    void serve(const std::atomic<bool> &stop);
    void acceptClient();
    void dropIdleClients();
    bool serveClient(Client &client);
    bool terminalReady();
    void closeTerminal();
    bool stopping(const std::atomic<bool> &stop) const { return stop || quit_; }
    int forward(const unsigned char *request, int length, unsigned char *reply);
    bool echoCameBack(const std::vector<std::uint8_t> &request);

    int baud_;
    bool paced_;
    bool echo_;
    std::string address_;
    modbus_t *rtu_ = nullptr;
    int listening_ = -1;
    std::vector<Client> clients_;
    std::atomic<bool> quit_{false};
    std::thread thread_;

    std::mutex terminalMutex_; // guards terminal_ and terminalGeneration_, set from another thread
    std::string terminal_;
    std::uint64_t terminalGeneration_ = 0;
    std::uint64_t openGeneration_ = 0; // the generation rtu_ was opened for
};

} // namespace sim
