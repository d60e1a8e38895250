#include "core/port_mapping.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
        {"COM2= /dev/ttyUSB0 ", 2, "/dev/ttyUSB0"},
        {"COM2=/dev/tty\nUSB0", 0, ""},
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

// What is in ports.conf before a save or a forget, and after: lines it does not manage stay as
// they were; a port's own lines become one.
TEST(SavedPortMapping, KeepsWhatItDoesNotManage) {
    struct Case {
        const char *before;
        int port;
        const char *device; // empty: forget the port
        const char *after;
        PortMap loaded; // from the file before the change
    };
    const Case cases[] = {
        {"", 3, "/dev/ttyUSB0", "COM3=/dev/ttyUSB0\n", {}},
        {"# my adapters\n[General]\nCOM3=/dev/ttyUSB0\nsome=thing else\n",
         1,
         "/dev/ttyS4",
         "# my adapters\n[General]\nCOM3=/dev/ttyUSB0\nsome=thing else\nCOM1=/dev/ttyS4\n",
         {{3, "/dev/ttyUSB0"}}},
        {"COM3=/dev/a\n; the spare\ncom3=/dev/b\n",
         3,
         "/dev/c",
         "COM3=/dev/c\n; the spare\n",
         {{3, "/dev/b"}}},
        {"  COM3 =  /dev/ttyUSB0  \nCOM4=/dev/ttyUSB1\n",
         3,
         "",
         "COM4=/dev/ttyUSB1\n",
         {{3, "/dev/ttyUSB0"}, {4, "/dev/ttyUSB1"}}},
        {"junk\n\x01\xc3\xa4\nCOM0=/dev/x\nCOM5=\n",
         2,
         "/dev/y",
         "junk\n\x01\xc3\xa4\nCOM0=/dev/x\nCOM5=\nCOM2=/dev/y\n",
         {}},
    };
    for (const Case &c : cases) {
        QTemporaryDir home;
        const QString path = home.filePath(QStringLiteral("gx7140r-tool/ports.conf"));
        SavedPortMapping saved(path);
        if (*c.before) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.before);
        }
        EXPECT_EQ(saved.load(), c.loaded) << c.before;
        ASSERT_TRUE(*c.device ? saved.save({c.port, QString::fromUtf8(c.device)})
                              : saved.forget(c.port));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().toStdString(), c.after) << c.before;
    }
}

} // namespace
