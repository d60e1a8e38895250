#include "tcp_address.h"

#include "core/host_port.h"

#include <modbus/modbus.h>

#include <netdb.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>

namespace cli {
namespace {
const QString kScheme = QStringLiteral("tcp://");
constexpr qsizetype kLongestHostName = 253; // as DNS allows

struct Endpoint {
    QString host; // an IPv6 address without its brackets
    QString port;
    bool ipv6 = false;
};

bool asciiLetterOrDigit(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// A name or IPv4 address; inside brackets an IPv6 address, with a zone such as %eth0.
bool validHost(const Endpoint &endpoint) {
    const QString allowed = endpoint.ipv6 ? QStringLiteral(":.%-_") : QStringLiteral(".-_");
    const auto valid = [&](QChar c) { return asciiLetterOrDigit(c) || allowed.contains(c); };
    return !endpoint.host.isEmpty() && endpoint.host.size() <= kLongestHostName &&
           std::all_of(endpoint.host.begin(), endpoint.host.end(), valid) &&
           (!endpoint.ipv6 || endpoint.host.contains(u':'));
}

// Host and port of "tcp://HOST[:PORT]" (PORT as typed, 502 when not given), or nullopt when the
// host is no host name or address.
std::optional<Endpoint> split(const QString &address) {
    static const std::string defaultPort = std::to_string(kModbusTcpPort);
    const std::string text = address.mid(kScheme.size()).toStdString();
    const auto parts =
        net::splitHostAndPort(text, {net::HostPortDefaults::Alone::Host, defaultPort});
    if (!parts)
        return std::nullopt;
    const auto qstring = [](std::string_view view) {
        return QString::fromUtf8(view.data(), qsizetype(view.size()));
    };
    Endpoint endpoint{qstring(parts->host), qstring(parts->port), parts->bracketed};
    if (!validHost(endpoint))
        return std::nullopt;
    return endpoint;
}

// TEXT as a message may show it: control characters as \xNN.
QString shown(const QString &text) {
    QString visible;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            visible += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            visible += c;
    }
    return visible;
}
} // namespace

bool isTcpAddress(const QString &port) {
    return port.startsWith(kScheme, Qt::CaseInsensitive);
}

std::optional<QString> checkedTcpAddress(const QString &port, QString &error) {
    const auto endpoint = split(port);
    if (!endpoint) {
        const bool bareIpv6 = !port.contains(u'[') && port.mid(kScheme.size()).count(u':') > 1;
        error = QStringLiteral("--port: '%1' is not tcp://HOST[:PORT]").arg(shown(port)) +
                (bareIpv6 ? QStringLiteral(" (an IPv6 address goes in brackets: tcp://[::1]:502)")
                          : QString());
        return std::nullopt;
    }
    const auto portNumber = net::tcpPort(endpoint->port.toStdString());
    if (!portNumber) {
        error = QStringLiteral("--port: '%1' is not a TCP port from %2 to %3")
                    .arg(shown(endpoint->port))
                    .arg(net::kLowestTcpPort)
                    .arg(net::kHighestTcpPort);
        return std::nullopt;
    }
    const QString host = endpoint->ipv6 ? u'[' + endpoint->host + u']' : endpoint->host;
    return kScheme + host + u':' + QString::number(*portNumber);
}

modbus_t *newTcpContext(const QString &address, int timeoutMs) {
    const auto endpoint = split(address);
    if (!endpoint) {
        errno = EINVAL;
        return nullptr;
    }
    modbus_t *context = modbus_new_tcp_pi(endpoint->host.toLatin1().constData(),
                                          endpoint->port.toLatin1().constData());
    constexpr int kMsPerSecond = 1000;
    if (context)
        modbus_set_response_timeout(context, std::uint32_t(timeoutMs / kMsPerSecond),
                                    std::uint32_t(timeoutMs % kMsPerSecond * kMsPerSecond));
    return context;
}

QString tcpConnectFailure(const QString &address, int error, int timeoutMs) {
    // libmodbus leaves a connection that found no answer in time as "in progress".
    if (error == EINPROGRESS || error == ETIMEDOUT)
        return QStringLiteral("no answer within %1 ms").arg(timeoutMs);
    const auto endpoint = split(address);
    // libmodbus says "Connection refused" for a host name that does not resolve, too.
    if (endpoint && error == ECONNREFUSED) {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo *found = nullptr;
        const int lookup = getaddrinfo(endpoint->host.toLatin1().constData(),
                                       endpoint->port.toLatin1().constData(), &hints, &found);
        if (found)
            freeaddrinfo(found);
        if (lookup != 0)
            return QStringLiteral("%1: %2").arg(endpoint->host,
                                                QString::fromLocal8Bit(gai_strerror(lookup)));
    }
    return QString::fromLocal8Bit(modbus_strerror(error));
}

} // namespace cli
