#include "tcp_server.h"

#include <modbus/modbus.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {
namespace {
constexpr int kMbapLength = 7; // transaction id, protocol id, length, unit id
constexpr int kRtuCrcLength = 2;
constexpr int kPollMs = 100;
// How long the module may take to answer: a few milliseconds on a pseudo-terminal, plus a delay
// fault's, plus (when paced) the largest frame's time on the wire at 10 bits a byte.
constexpr int kAnswerMs = 50;
constexpr int kLargestRtuFrame = MODBUS_RTU_MAX_ADU_LENGTH;
constexpr int kBitsPerByte = 10; // start, 8 data, stop

struct HostAndPort {
    std::string host;
    std::string port;
};

HostAndPort split(const std::string &text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return {"127.0.0.1", text};
    return {text.substr(0, colon), text.substr(colon + 1)};
}

bool readable(int fd) {
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, kPollMs) > 0;
}
} // namespace

TcpServer::TcpServer(std::string terminal, int baud, bool paced)
    : terminal_(std::move(terminal)), baud_(baud), paced_(paced) {}

bool TcpServer::validAddress(const std::string &text) {
    const HostAndPort address = split(text);
    if (address.host.empty() || address.port.empty() || address.port.size() > 5 ||
        address.port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int port = std::stoi(address.port);
    return port >= 1 && port <= 65535;
}

bool TcpServer::start(const std::string &hostAndPort, const std::atomic<bool> &stop,
                      std::string &error) {
    if (!listen(hostAndPort, error))
        return false;
    thread_ = std::thread([this, &stop] { serve(stop); });
    return true;
}

TcpServer::~TcpServer() {
    quit_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listening_ >= 0)
        ::close(listening_);
    for (modbus_t *context : {tcp_, rtu_}) {
        if (context) {
            modbus_close(context);
            modbus_free(context);
        }
    }
}

bool TcpServer::listen(const std::string &hostAndPort, std::string &error) {
    const HostAndPort address = split(hostAndPort);
    address_ = address.host + ":" + address.port;
    tcp_ = modbus_new_tcp(address.host.c_str(), std::stoi(address.port));
    if (!tcp_ || (listening_ = modbus_tcp_listen(tcp_, 1)) < 0) {
        error = "cannot listen on " + address_ + ": " + modbus_strerror(errno);
        return false;
    }
    if (!connectTerminal()) {
        error = "cannot open " + terminal_ + ": " + modbus_strerror(errno);
        return false;
    }
    return true;
}

bool TcpServer::connectTerminal() {
    rtu_ = modbus_new_rtu(terminal_.c_str(), baud_, 'N', 8, 1);
    if (!rtu_ || modbus_connect(rtu_) != 0)
        return false;
    const int wireMs = paced_ ? kLargestRtuFrame * kBitsPerByte * 1000 / baud_ : 0;
    modbus_set_response_timeout(rtu_, 0, std::uint32_t((kAnswerMs + wireMs) * 1000));
    modbus_set_byte_timeout(rtu_, 0, 0);
    return true;
}

void TcpServer::serve(const std::atomic<bool> &stop) {
    while (!stopping(stop)) {
        if (!readable(listening_))
            continue;
        const int client = modbus_tcp_accept(tcp_, &listening_);
        if (client < 0)
            continue;
        serveClient(client, stop);
        ::close(client);
        modbus_set_socket(tcp_, -1);
    }
}

void TcpServer::serveClient(int client, const std::atomic<bool> &stop) {
    unsigned char request[MODBUS_TCP_MAX_ADU_LENGTH];
    unsigned char reply[MODBUS_TCP_MAX_ADU_LENGTH];
    while (!stopping(stop)) {
        if (!readable(client))
            continue;
        const int length = modbus_receive(tcp_, request);
        if (length < 0)
            return; // the client left, or sent what is no Modbus TCP
        if (length <= kMbapLength)
            continue;
        const int replyLength = forward(request, length, reply);
        if (replyLength > 0 && ::send(client, reply, std::size_t(replyLength), MSG_NOSIGNAL) < 0)
            return;
    }
}

// The request's unit id and PDU to the module as an RTU frame; its reply under the request's
// MBAP header. 0 when the module gave no valid reply.
int TcpServer::forward(const unsigned char *request, int length, unsigned char *reply) {
    const unsigned char unit = request[kMbapLength - 1];
    modbus_set_slave(rtu_, unit);
    modbus_flush(rtu_);
    if (modbus_send_raw_request(rtu_, request + kMbapLength - 1, length - kMbapLength + 1) < 0)
        return 0;
    unsigned char frame[MODBUS_RTU_MAX_ADU_LENGTH];
    const int frameLength = modbus_receive_confirmation(rtu_, frame);
    if (frameLength <= kRtuCrcLength)
        return 0;
    const int unitAndPdu = frameLength - kRtuCrcLength;
    std::memcpy(reply, request, 4); // transaction and protocol id
    reply[4] = std::uint8_t(unitAndPdu >> 8);
    reply[5] = std::uint8_t(unitAndPdu & 0xFF);
    std::memcpy(reply + kMbapLength - 1, frame, std::size_t(unitAndPdu));
    return kMbapLength - 1 + unitAndPdu;
}

} // namespace sim
