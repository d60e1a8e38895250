#pragma once

#include <QString>

#include <optional>

typedef struct _modbus modbus_t;

// Modbus TCP for the command line: --port tcp://HOST[:PORT] reaches a module (or a gateway in front
// of one) over the network, the unit id being --address.
namespace cli {

inline constexpr int kModbusTcpPort = 502;

bool isTcpAddress(const QString &port);

// "tcp://HOST[:PORT]" checked and completed ("tcp://HOST:PORT"), or nullopt with a one-line reason.
// HOST is a name, an IPv4 address or an IPv6 address in brackets; anything else is refused before
// any lookup or connection.
std::optional<QString> checkedTcpAddress(const QString &port, QString &error);

// libmodbus's TCP master for a checked address, not yet connected; nullptr when libmodbus refuses.
// Connecting may take TIMEOUT_MS, as a reply may.
modbus_t *newTcpContext(const QString &address, int timeoutMs);

// Why connecting to a checked address failed with ERROR (errno): the system's reason, that the
// host name is not known, or that nothing answered within TIMEOUT_MS.
QString tcpConnectFailure(const QString &address, int error, int timeoutMs);

} // namespace cli
