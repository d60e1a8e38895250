#include "tcp_address.h"

#include <modbus/modbus.h>

#include <algorithm>

namespace cli {
namespace {
const QString kScheme = QStringLiteral("tcp://");

struct Endpoint {
    QString host;
    QString port;
};

// Host and port of "tcp://HOST[:PORT]", the brackets of an IPv6 host taken off.
Endpoint split(const QString &address) {
    const QString rest = address.mid(kScheme.size());
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return {rest, {}};
        const QString after = rest.mid(close + 1);
        return {rest.mid(1, close - 1), after.startsWith(u':') ? after.mid(1) : after};
    }
    const qsizetype colon = rest.lastIndexOf(u':');
    if (colon < 0)
        return {rest, QString::number(kModbusTcpPort)};
    return {rest.left(colon), rest.mid(colon + 1)};
}
} // namespace

bool isTcpAddress(const QString &port) {
    return port.startsWith(kScheme, Qt::CaseInsensitive);
}

std::optional<QString> checkedTcpAddress(const QString &port, QString &error) {
    Endpoint endpoint = split(port);
    if (endpoint.host.isEmpty() || endpoint.host.contains(u'/') || endpoint.host.contains(u'[') ||
        endpoint.host.contains(u']')) {
        error = QStringLiteral("--port: '%1' is not tcp://HOST[:PORT]").arg(port);
        return std::nullopt;
    }
    if (endpoint.port.isEmpty() && port.contains(u']'))
        endpoint.port = QString::number(kModbusTcpPort);
    bool number = std::all_of(endpoint.port.begin(), endpoint.port.end(),
                              [](QChar c) { return c >= u'0' && c <= u'9'; });
    const int value = number ? endpoint.port.toInt(&number) : 0;
    if (!number || endpoint.port.isEmpty() || value < 1 || value > 65535) {
        error = QStringLiteral("--port: '%1' is not a TCP port from 1 to 65535").arg(endpoint.port);
        return std::nullopt;
    }
    const QString host = endpoint.host.contains(u':') ? u'[' + endpoint.host + u']' : endpoint.host;
    return kScheme + host + u':' + QString::number(value);
}

modbus_t *newTcpContext(const QString &address) {
    const Endpoint endpoint = split(address);
    return modbus_new_tcp_pi(endpoint.host.toLocal8Bit().constData(),
                             endpoint.port.toLocal8Bit().constData());
}

} // namespace cli
