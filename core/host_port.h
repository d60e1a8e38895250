#pragma once

#include "whole_digits.h"

#include <optional>
#include <string_view>
#include <variant>

// "HOST:PORT" as the command line's Modbus TCP addresses and the simulator's gateway write it.
// Header-only and Qt-free, so that the simulator shares it.
namespace net {

inline constexpr int kLowestTcpPort = 1;
inline constexpr int kHighestTcpPort = 65535;

struct HostAndPort {
    std::string_view host; // an IPv6 address without its brackets
    std::string_view port; // as written
    bool bracketed = false;
};

// What a text without a port's colon names, and what the part it leaves out is.
struct HostPortDefaults {
    enum class Alone { Host, Port } alone;
    std::string_view other; // the port of a host alone, the host of a port alone
};

// "[HOST]:PORT", "HOST:PORT" (split at the last colon), or one part alone. nullopt when a bracket
// is not closed, something other than ":PORT" follows it, or a bracketed host stands alone where a
// text alone is a port.
constexpr std::optional<HostAndPort> splitHostAndPort(std::string_view text,
                                                      const HostPortDefaults &defaults) {
    using Alone = HostPortDefaults::Alone;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (rest.empty() && defaults.alone == Alone::Host)
            return HostAndPort{host, defaults.other, true};
        if (!rest.starts_with(':'))
            return std::nullopt;
        return HostAndPort{host, rest.substr(1), true};
    }
    const auto colon = text.rfind(':');
    if (colon != std::string_view::npos)
        return HostAndPort{text.substr(0, colon), text.substr(colon + 1)};
    if (defaults.alone == Alone::Host)
        return HostAndPort{text, defaults.other};
    return HostAndPort{defaults.other, text};
}

// A TCP port: decimal digits only, 1 to 65535.
inline std::optional<int> tcpPort(std::string_view port) {
    const auto number = numeric::parseDigits(port, kLowestTcpPort, kHighestTcpPort);
    if (!std::holds_alternative<std::int64_t>(number))
        return std::nullopt;
    return int(std::get<std::int64_t>(number));
}

} // namespace net
