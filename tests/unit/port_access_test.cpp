#include "core/port_access.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned kCharacterDevice = 0020000;

// What --list-ports says of a device this user cannot open: who owns it and the fix that applies.
TEST(PortAccess, TheReasonAndTheFixForEachKindOfRefusal) {
    struct Case {
        const char *what;
        DeviceAccess access;
        const char *expected;
    };
    const Case cases[] = {
        {"group may open, user not in it",
         {true, false, "root", "dialout", kCharacterDevice | 0660, false},
         "you cannot open it (owner root, group dialout, mode crw-rw----): sudo adduser $USER "
         "dialout, then log in again"},
        {"joined the group in this session",
         {true, false, "root", "dialout", kCharacterDevice | 0660, true},
         "you cannot open it yet (owner root, group dialout, mode crw-rw----): you joined dialout "
         "after logging in; log out and in again"},
        {"another group",
         {true, false, "root", "uucp", kCharacterDevice | 0660, false},
         "you cannot open it (owner root, group uucp, mode crw-rw----): sudo adduser $USER uucp, "
         "then log in again"},
        {"owner only",
         {true, false, "root", "root", kCharacterDevice | 0600, false},
         "you cannot open it (owner root, group root, mode crw-------): only its owner may; a udev "
         "rule with GROUP=\"dialout\", MODE=\"0660\" gives it to the dialout group (see "
         "99-gx7140r.rules.example)"},
        {"group may only read",
         {true, false, "root", "dialout", kCharacterDevice | 0640, false},
         "you cannot open it (owner root, group dialout, mode crw-r-----): only its owner may; a "
         "udev rule with GROUP=\"dialout\", MODE=\"0660\" gives it to the dialout group (see "
         "99-gx7140r.rules.example)"},
        {"open", {true, true, "me", "dialout", kCharacterDevice | 0660, false}, "read and write"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(accessText(c.access).toStdString(), c.expected) << c.what;
}

// A file this process made is its own to open; one without write permission is not, unless root
// (who may open anything) runs the test.
TEST(PortAccess, ExaminesTheFileItself) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("ttyFAKE"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_EQ(chmod(path.toLocal8Bit().constData(), 0600), 0);
    DeviceAccess access = deviceAccess(path);
    EXPECT_TRUE(access.known);
    EXPECT_TRUE(access.canOpen);
    EXPECT_EQ(modeText(access.mode).toStdString(), "-rw-------");

    ASSERT_EQ(chmod(path.toLocal8Bit().constData(), 0400), 0);
    access = deviceAccess(path);
    EXPECT_EQ(access.canOpen, geteuid() == 0);

    EXPECT_FALSE(deviceAccess(dir.filePath(QStringLiteral("missing"))).known);
}

} // namespace
