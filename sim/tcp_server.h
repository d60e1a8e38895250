#pragma once

#include <atomic>
#include <string>
#include <thread>

typedef struct _modbus modbus_t;

namespace sim {

// Modbus TCP in front of the simulated module, as an Ethernet gateway serves an RTU module: each
// request's unit id and PDU go to the module's terminal as an RTU frame (libmodbus adds the CRC),
// and the module's reply goes back under the request's transaction id. A request the module
// leaves unanswered (another unit id, a fault) gets no reply, as on the serial line. One client
// at a time; the next is accepted when it leaves.
class TcpServer {
public:
    TcpServer(std::string terminal, int baud, bool paced);
    ~TcpServer();
    TcpServer(const TcpServer &) = delete;
    TcpServer &operator=(const TcpServer &) = delete;

    // Whether TEXT is "[HOST:]PORT", PORT 1..65535.
    static bool validAddress(const std::string &text);
    // Listens on HOST:PORT ("PORT" alone: 127.0.0.1) and serves clients on a thread of its own
    // until `stop` is set or it is destroyed (each looked at every 100 ms); false with a reason
    // on failure.
    bool start(const std::string &hostAndPort, const std::atomic<bool> &stop, std::string &error);
    // The address it listens on, as "HOST:PORT".
    const std::string &address() const { return address_; }

private:
    bool listen(const std::string &hostAndPort, std::string &error);
    void serve(const std::atomic<bool> &stop);
    bool connectTerminal();
    void serveClient(int client, const std::atomic<bool> &stop);
    bool stopping(const std::atomic<bool> &stop) const { return stop || quit_; }
    int forward(const unsigned char *request, int length, unsigned char *reply);

    std::string terminal_;
    int baud_;
    bool paced_;
    std::string address_;
    modbus_t *tcp_ = nullptr;
    modbus_t *rtu_ = nullptr;
    int listening_ = -1;
    std::atomic<bool> quit_{false};
    std::thread thread_;
};

} // namespace sim
