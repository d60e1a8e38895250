// HOST:PORT as the simulator's --tcp and the command line's tcp:// take it: the parts, or nothing.
#include "core/host_port.h"

#include <gtest/gtest.h>

namespace {

TEST(HostAndPort, SplitsAtThePortsColon) {
    using Alone = net::HostPortDefaults::Alone;
    const net::HostPortDefaults portAlone{Alone::Port, "127.0.0.1"};
    const net::HostPortDefaults hostAlone{Alone::Host, "502"};
    struct Case {
        const char *text;
        net::HostPortDefaults defaults;
        const char *host; // nullptr: no HOST:PORT
        const char *port = "";
    };
    const Case cases[] = {
        {"1502", portAlone, "127.0.0.1", "1502"},
        {"gateway", hostAlone, "gateway", "502"},
        {"0.0.0.0:1502", portAlone, "0.0.0.0", "1502"},
        {"[::1]:1502", portAlone, "::1", "1502"},
        {"[::1]", hostAlone, "::1", "502"},
        {"::1:1502", portAlone, "::1", "1502"},
        {"host:", hostAlone, "host", ""},
        {":1502", portAlone, "", "1502"},
        {"[::1]", portAlone, nullptr},
        {"[::1", hostAlone, nullptr},
        {"[::1]x:1502", portAlone, nullptr},
    };
    for (const Case &c : cases) {
        const auto parts = net::splitHostAndPort(c.text, c.defaults);
        ASSERT_EQ(parts.has_value(), c.host != nullptr) << c.text;
        if (parts) {
            EXPECT_EQ(std::string(parts->host) + " " + std::string(parts->port),
                      std::string(c.host) + " " + c.port)
                << c.text;
        }
    }
    EXPECT_EQ(net::tcpPort("01502"), 1502);
    for (const char *port : {"", "0", "65536", "+1", "1 ", "http"})
        EXPECT_EQ(net::tcpPort(port), std::nullopt) << port;
}

} // namespace
