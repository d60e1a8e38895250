#include "tcp_server.h"

#include "core/host_port.h"
#include "core/modbus_frame.h"
#include "core/wire_time.h"

#include <modbus/modbus.h>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace sim {
namespace {
constexpr int kMbapLength = modbus::kMbapLength;
constexpr int kLengthFieldEnd = modbus::kMbapLengthFieldEnd;
constexpr int kLongestUnitAndPdu = modbus::kLongestUnitAndPdu;
constexpr int kPollMs = 100;
constexpr int kMostClients = 8; // as many as a small gateway takes
// A connection that sent nothing for this long is closed, as gateways close them: clients that
// connect and go silent (a crashed program, a cable pulled) must not keep the places taken.
constexpr std::chrono::seconds kIdleTimeout{60};
constexpr int kBacklog = 4;
// How long the module may take to answer: a few milliseconds on a pseudo-terminal, plus a delay
// fault's, plus (when paced) the largest frame's time on the wire.
constexpr auto kAnswerTime = std::chrono::milliseconds(50);

// "[HOST:]PORT": a port alone is on the loopback address.
std::optional<net::HostAndPort> split(const std::string &text) {
    return net::splitHostAndPort(text, {net::HostPortDefaults::Alone::Port, "127.0.0.1"});
}

// What the socket is bound to, numeric: "127.0.0.1:502", "[::1]:502".
std::string boundAddress(int socket) {
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    char host[NI_MAXHOST] = "";
    char port[NI_MAXSERV] = "";
    if (getsockname(socket, reinterpret_cast<sockaddr *>(&bound), &size) != 0 ||
        getnameinfo(reinterpret_cast<sockaddr *>(&bound), size, host, sizeof host, port,
                    sizeof port, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return "?";
    return bound.ss_family == AF_INET6 ? "[" + std::string(host) + "]:" + port
                                       : std::string(host) + ":" + port;
}

bool terminalGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}
} // namespace

TcpServer::TcpServer(std::string terminal, int baud, bool paced, bool echo)
    : baud_(baud), paced_(paced), echo_(echo), terminal_(std::move(terminal)) {}

bool TcpServer::validAddress(const std::string &text) {
    const auto address = split(text);
    return address && !address->host.empty() && net::tcpPort(address->port);
}

bool TcpServer::start(const std::string &hostAndPort, const std::atomic<bool> &stop,
                      std::string &error) {
    if (!listen(hostAndPort, error))
        return false;
    thread_ = std::thread([this, &stop] { serve(stop); });
    return true;
}

void TcpServer::setTerminal(const std::string &terminal) {
    std::lock_guard lock(terminalMutex_);
    terminal_ = terminal;
    ++terminalGeneration_;
}

TcpServer::~TcpServer() {
    quit_ = true;
    if (thread_.joinable())
        thread_.join();
    for (const Client &client : clients_)
        ::close(client.socket);
    if (listening_ >= 0)
        ::close(listening_);
    closeTerminal();
}

bool TcpServer::listen(const std::string &hostAndPort, std::string &error) {
    const auto address = split(hostAndPort);
    if (!address) {
        error = "cannot listen on " + hostAndPort + ": not [HOST:]PORT";
        return false;
    }
    const std::string host(address->host);
    const std::string port(address->port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (lookup != 0) {
        error = "cannot listen on " + hostAndPort + ": " + gai_strerror(lookup);
        return false;
    }
    int reason = 0;
    for (const addrinfo *candidate = found; candidate && listening_ < 0;
         candidate = candidate->ai_next) {
        const int socket = ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC,
                                    candidate->ai_protocol);
        const int reuse = 1;
        if (socket >= 0 &&
            setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) == 0 &&
            ::bind(socket, candidate->ai_addr, candidate->ai_addrlen) == 0 &&
            ::listen(socket, kBacklog) == 0) {
            listening_ = socket;
            break;
        }
        reason = errno;
        if (socket >= 0)
            ::close(socket);
    }
    freeaddrinfo(found);
    if (listening_ < 0) {
        error = "cannot listen on " + hostAndPort + ": " + std::strerror(reason);
        return false;
    }
    address_ = boundAddress(listening_);
    if (!terminalReady()) {
        error = "cannot open " + terminal_ + ": " + modbus_strerror(errno);
        return false;
    }
    return true;
}

// Opens the module's terminal unless it is open and still the module's.
bool TcpServer::terminalReady() {
    std::string terminal;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(terminalMutex_);
        terminal = terminal_;
        generation = terminalGeneration_;
    }
    if (rtu_ && generation == openGeneration_)
        return true;
    closeTerminal();
    rtu_ = modbus_new_rtu(terminal.c_str(), baud_, 'N', 8, 1);
    if (!rtu_ || modbus_connect(rtu_) != 0) {
        const int reason = errno;
        closeTerminal();
        errno = reason;
        return false;
    }
    openGeneration_ = generation;
    const auto answer = kAnswerTime + (paced_ ? modbus::wireTime(modbus::kLongestRtuFrame, baud_)
                                              : std::chrono::nanoseconds(0));
    const auto microseconds = std::chrono::ceil<std::chrono::microseconds>(answer).count();
    modbus_set_response_timeout(rtu_, std::uint32_t(microseconds / 1'000'000),
                                std::uint32_t(microseconds % 1'000'000));
    modbus_set_byte_timeout(rtu_, 0, 0);
    return true;
}

void TcpServer::closeTerminal() {
    if (!rtu_)
        return;
    modbus_close(rtu_);
    modbus_free(rtu_);
    rtu_ = nullptr;
}

void TcpServer::serve(const std::atomic<bool> &stop) {
    std::vector<pollfd> watched;
    while (!stopping(stop)) {
        dropIdleClients();
        watched.assign(1, pollfd{listening_, POLLIN, 0});
        for (const Client &client : clients_)
            watched.push_back(pollfd{client.socket, POLLIN, 0});
        if (::poll(watched.data(), nfds_t(watched.size()), kPollMs) <= 0)
            continue;
        // Last to first, so that a client hung up on leaves the others' places as they were.
        for (std::size_t i = watched.size() - 1; i > 0; --i) {
            if (watched[i].revents == 0 || serveClient(clients_[i - 1]))
                continue;
            ::close(clients_[i - 1].socket);
            clients_.erase(clients_.begin() + std::ptrdiff_t(i - 1));
        }
        if (watched[0].revents & POLLIN)
            acceptClient();
    }
}

// A new client takes the place of the longest idle one when every place is taken.
void TcpServer::acceptClient() {
    const int socket = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0)
        return;
    if (clients_.size() >= std::size_t(kMostClients)) {
        const auto longestIdle = std::min_element(
            clients_.begin(), clients_.end(),
            [](const Client &a, const Client &b) { return a.lastHeard < b.lastHeard; });
        ::close(longestIdle->socket);
        clients_.erase(longestIdle);
    }
    clients_.push_back(Client{socket, {}, std::chrono::steady_clock::now()});
}

void TcpServer::dropIdleClients() {
    const auto heardTooLongAgo = std::chrono::steady_clock::now() - kIdleTimeout;
    std::erase_if(clients_, [heardTooLongAgo](const Client &client) {
        if (client.lastHeard >= heardTooLongAgo)
            return false;
        ::close(client.socket);
        return true;
    });
}

// Takes in what the client sent and answers each whole request; false when the client left, sent
// what is no Modbus TCP, or does not take its replies.
bool TcpServer::serveClient(Client &client) {
    unsigned char chunk[MODBUS_TCP_MAX_ADU_LENGTH];
    const ssize_t received = ::recv(client.socket, chunk, sizeof chunk, MSG_DONTWAIT);
    if (received == 0)
        return false;
    if (received < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    client.lastHeard = std::chrono::steady_clock::now();
    std::vector<unsigned char> &pending = client.pending;
    pending.insert(pending.end(), chunk, chunk + received);
    while (pending.size() >= std::size_t(kMbapLength)) {
        const auto header = *modbus::mbapHeader(pending);
        if (header.protocolId != 0 || header.length < 2 || header.length > kLongestUnitAndPdu)
            return false;
        const std::size_t requestLength = std::size_t(header.aduLength());
        if (pending.size() < requestLength)
            break;
        unsigned char reply[MODBUS_TCP_MAX_ADU_LENGTH];
        const int replyLength = forward(pending.data(), int(requestLength), reply);
        if (replyLength > 0 && ::send(client.socket, reply, std::size_t(replyLength),
                                      MSG_NOSIGNAL | MSG_DONTWAIT) != replyLength)
            return false;
        pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(requestLength));
    }
    return true;
}

// The request's unit id and PDU to the module as an RTU frame; its reply under the request's
// MBAP header. 0 when the module gave no valid reply, or the unit id is none a line can carry.
int TcpServer::forward(const unsigned char *request, int length, unsigned char *reply) {
    const unsigned char unit = request[kMbapLength - 1];
    if (!terminalReady() || modbus_set_slave(rtu_, unit) != 0)
        return 0;
    modbus_flush(rtu_);
    const auto rtuRequest = modbus::withCrc(
        modbus::ByteView(request + kLengthFieldEnd, std::size_t(length - kLengthFieldEnd)));
    unsigned char frame[MODBUS_RTU_MAX_ADU_LENGTH];
    int frameLength = -1;
    if (::write(modbus_get_socket(rtu_), rtuRequest.data(), rtuRequest.size()) ==
            ssize_t(rtuRequest.size()) &&
        (!echo_ || echoCameBack(rtuRequest)))
        frameLength = modbus_receive_confirmation(rtu_, frame);
    if (frameLength < 0 && terminalGone(errno))
        closeTerminal(); // opened again for the next request
    if (frameLength <= modbus::kCrcLength)
        return 0;
    const auto header = modbus::mbapHeader(modbus::ByteView(request, std::size_t(length)));
    const auto adu =
        modbus::tcpAdu(header->transactionId,
                       modbus::ByteView(frame, std::size_t(frameLength - modbus::kCrcLength)));
    std::copy(adu.begin(), adu.end(), reply);
    return int(adu.size());
}

// Reads the request's echo off the line, no byte more: true when it came back whole and unchanged
// within the answer time (and, paced, the request's own time on the wire). Anything else means the
// line is garbled or gone, and the reply is not to be trusted.
bool TcpServer::echoCameBack(const std::vector<std::uint8_t> &request) {
    const int terminal = modbus_get_socket(rtu_);
    const auto deadline =
        std::chrono::steady_clock::now() + kAnswerTime +
        (paced_ ? modbus::wireTime(int(request.size()), baud_) : std::chrono::nanoseconds(0));
    std::vector<std::uint8_t> echo;
    while (echo.size() < request.size()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{terminal, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
        std::uint8_t bytes[kLongestUnitAndPdu + modbus::kCrcLength];
        const ssize_t got = ::read(terminal, bytes, request.size() - echo.size());
        if (got <= 0)
            return false;
        echo.insert(echo.end(), bytes, bytes + got);
    }
    return echo == request;
}

} // namespace sim
