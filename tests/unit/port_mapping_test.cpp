#include "core/port_mapping.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Precedence: this run's mapping > the saved one > /dev/COMn > /dev/ttyS<n-1>.
TEST(PortMapping, PrecedenceOfTheFourSources) {
    const PortMap forThisRun{{1, "/dev/ttyUSB0"}};
    const PortMap saved{{1, "/dev/ttyACM9"}, {2, "/dev/serial/by-id/usb-x"}};
    const auto exists = [](const QString &path) {
        return path == QLatin1String("/dev/COM2") || path == QLatin1String("/dev/COM3");
    };
    const PortMapping mapping(forThisRun, saved, exists);
    struct Case {
        int port;
        const char *device;
        PortMapping::Source source;
    };
    const Case cases[] = {
        {1, "/dev/ttyUSB0", PortMapping::Source::CommandLine},
        {2, "/dev/serial/by-id/usb-x", PortMapping::Source::Saved},
        {3, "/dev/COM3", PortMapping::Source::ComLink},
        {4, "/dev/ttyS3", PortMapping::Source::SerialDevice},
        {25, "/dev/ttyS24", PortMapping::Source::SerialDevice},
    };
    for (const Case &c : cases) {
        const auto route = mapping.route(c.port);
        EXPECT_EQ(route.device, QString::fromLatin1(c.device)) << c.port;
        EXPECT_EQ(route.source, c.source) << c.port;
    }
}

TEST(PortMapping, AssignmentsFromTheCommandLine) {
    struct Case {
        const char *text;
        int port;           // 0: refused
        const char *device; // as it is to be opened
    };
    const Case cases[] = {
        {"COM1=/dev/ttyUSB0", 1, "/dev/ttyUSB0"},
        {"com12=/dev/serial/by-id/usb-1a86-if00", 12, "/dev/serial/by-id/usb-1a86-if00"},
        {"COM3=ttyACM0", 3, "/dev/ttyACM0"},
        {"COM255=/dev/pts/7", 255, "/dev/pts/7"},
        {"COM0=/dev/ttyUSB0", 0, ""},
        {"COM256=/dev/ttyUSB0", 0, ""},
        {"COM-1=/dev/ttyUSB0", 0, ""},
        {"COM1", 0, ""},
        {"COM1=", 0, ""},
        {"COM1= ", 0, ""},
        {"PORT1=/dev/ttyUSB0", 0, ""},
        {"COM=/dev/ttyUSB0", 0, ""},
        {"COM1x=/dev/ttyUSB0", 0, ""},
        {"=/dev/ttyUSB0", 0, ""},
    };
    for (const Case &c : cases) {
        const auto parsed = parsePortAssignment(QString::fromLatin1(c.text));
        if (c.port == 0) {
            EXPECT_TRUE(std::holds_alternative<QString>(parsed)) << c.text;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<PortAssignment>(parsed)) << c.text;
        EXPECT_EQ(std::get<PortAssignment>(parsed).port, c.port) << c.text;
        EXPECT_EQ(std::get<PortAssignment>(parsed).device, QString::fromLatin1(c.device));
    }
}

TEST(SavedPortMapping, SaveForgetAndReload) {
    QTemporaryDir home;
    SavedPortMapping saved(home.filePath(QStringLiteral("gx7140r-tool/ports.conf")));
    EXPECT_TRUE(saved.load().isEmpty());
    ASSERT_TRUE(saved.save({3, QStringLiteral("/dev/ttyUSB0")}));
    ASSERT_TRUE(saved.save({1, QStringLiteral("/dev/serial/by-id/usb-x")}));
    ASSERT_TRUE(saved.save({3, QStringLiteral("/dev/ttyUSB1")})); // replaces
    EXPECT_EQ(SavedPortMapping(saved.path()).load(),
              (PortMap{{1, "/dev/serial/by-id/usb-x"}, {3, "/dev/ttyUSB1"}}));
    ASSERT_TRUE(saved.forget(1));
    EXPECT_EQ(saved.load(), (PortMap{{3, "/dev/ttyUSB1"}}));
}

} // namespace
