// HOST:PORT as the simulator's --tcp takes it (a port alone on the loopback address): the parts, or
// nothing. The command line's side, where a host stands alone, is tcp_address_test's.
#include "core/host_port.h"

#include <gtest/gtest.h>

namespace {

TEST(HostAndPort, SplitsAtThePortsColon) {
    const net::HostPortDefaults portAlone{net::HostPortDefaults::Alone::Port, "127.0.0.1"};
    // "HOST PORT", or empty: no HOST:PORT
    const std::pair<const char *, const char *> cases[] = {
        {"1502", "127.0.0.1 1502"}, {"0.0.0.0:1502", "0.0.0.0 1502"},
        {"[::1]:1502", "::1 1502"}, {"::1:1502", "::1 1502"},
        {":1502", " 1502"},         {"[::1]", ""},
        {"[::1]x:1502", ""},
    };
    for (const auto &[text, expected] : cases) {
        const auto parts = net::splitHostAndPort(text, portAlone);
        EXPECT_EQ(parts ? std::string(parts->host) + " " + std::string(parts->port) : "", expected)
            << text;
    }
    EXPECT_EQ(net::tcpPort("01502"), 1502);
    for (const char *port : {"", "0", "65536", "+1", "1 ", "http"})
        EXPECT_EQ(net::tcpPort(port), std::nullopt) << port;
}

} // namespace
