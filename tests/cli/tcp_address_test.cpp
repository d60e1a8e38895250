// --port tcp://HOST[:PORT]: what is refused before any lookup or connection, and what is completed.
#include "tcp_address.h"

#include <gtest/gtest.h>

using namespace cli;

namespace {

struct AddressCase {
    const char *typed;
    const char *checked; // nullptr: refused, with `reason` in the message
    const char *reason = "";
};

const AddressCase kAddresses[] = {
    {"tcp://127.0.0.1", "tcp://127.0.0.1:502"},
    {"TCP://gateway.local:0502", "tcp://gateway.local:502"},
    {"tcp://[::1]", "tcp://[::1]:502"},
    {"tcp://[::1]:1502", "tcp://[::1]:1502"},
    {"tcp://::1", nullptr, "in brackets"},
    {"tcp://fe80::1:502", nullptr, "in brackets"},
    {"tcp://[127.0.0.1]:502", nullptr, "HOST"},
    {"tcp://[::1]junk", nullptr, "HOST"},
    {"tcp://:502", nullptr, "HOST"},
    {"tcp:// ", nullptr, "HOST"},
    {"tcp://user@host", nullptr, "HOST"},
    {"tcp://host\n:502", nullptr, "host\\x0a:502"},
    {"tcp://host:", nullptr, "not a TCP port"},
    {"tcp://[::1]:", nullptr, "not a TCP port"},
    {"tcp://host:0", nullptr, "not a TCP port"},
    {"tcp://host:65536", nullptr, "not a TCP port"},
    {"tcp://host:502/", nullptr, "not a TCP port"},
};

TEST(TcpAddress, RefusesWhatIsNoHostAndPortAndCompletesTheRest) {
    for (const AddressCase &address : kAddresses) {
        QString error;
        const auto checked = checkedTcpAddress(QString::fromUtf8(address.typed), error);
        SCOPED_TRACE(address.typed);
        if (address.checked) {
            ASSERT_TRUE(checked.has_value()) << error.toStdString();
            EXPECT_EQ(checked->toStdString(), address.checked);
        } else {
            EXPECT_FALSE(checked.has_value());
            EXPECT_TRUE(error.contains(QString::fromUtf8(address.reason))) << error.toStdString();
            EXPECT_FALSE(error.contains(u'\n')) << error.toStdString();
        }
    }
    QString error;
    EXPECT_FALSE(checkedTcpAddress(QStringLiteral("tcp://") + QString(254, u'a'), error));
}

} // namespace
