#include "port_access.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>
#endif

namespace {
#ifdef Q_OS_UNIX
QString userName(uid_t uid) {
    const passwd *entry = getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid) {
    const group *entry = getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

// Whether the group database lists this user in the group, whatever this session's groups are.
bool listedInGroup(gid_t gid) {
    const passwd *me = getpwuid(getuid());
    if (!me)
        return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(me->pw_name, me->pw_gid, groups.data(), &count) < 0) {
        groups.resize(std::size_t(count));
        if (getgrouplist(me->pw_name, me->pw_gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(std::size_t(count));
    for (const gid_t listed : groups) {
        if (listed == gid)
            return true;
    }
    return false;
}
#endif

bool groupMayReadAndWrite(unsigned mode) {
    constexpr unsigned kGroupReadWrite = 0060;
    return (mode & kGroupReadWrite) == kGroupReadWrite;
}
} // namespace

DeviceAccess deviceAccess(const QString &path) {
    DeviceAccess access;
#ifdef Q_OS_UNIX
    const QByteArray file = path.toLocal8Bit();
    struct stat facts {};
    if (stat(file.constData(), &facts) != 0)
        return access;
    access.known = true;
    access.canOpen = ::access(file.constData(), R_OK | W_OK) == 0;
    access.owner = userName(facts.st_uid);
    access.group = groupName(facts.st_gid);
    access.mode = facts.st_mode;
    access.memberSinceLogIn =
        !access.canOpen && groupMayReadAndWrite(facts.st_mode) && listedInGroup(facts.st_gid);
#else
    Q_UNUSED(path);
#endif
    return access;
}

QString modeText(unsigned mode) {
    constexpr unsigned kTypeMask = 0170000;
    constexpr unsigned kCharacterDevice = 0020000;
    constexpr unsigned kDirectory = 0040000;
    const unsigned type = mode & kTypeMask;
    QString text(type == kCharacterDevice ? u'c' : type == kDirectory ? u'd' : u'-');
    constexpr char kLetters[] = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        text += (mode >> bit & 1U) ? QLatin1Char(kLetters[(8 - bit) % 3]) : QLatin1Char('-');
    return text;
}

AccessFix accessFix(const DeviceAccess &access) {
    if (!access.known || access.canOpen)
        return AccessFix::None;
    if (!groupMayReadAndWrite(access.mode))
        return AccessFix::UdevRule;
    return access.memberSinceLogIn ? AccessFix::LogInAgain : AccessFix::JoinGroup;
}

QString accessText(const DeviceAccess &access) {
    const QString facts = QStringLiteral("owner %1, group %2, mode %3")
                              .arg(access.owner, access.group, modeText(access.mode));
    switch (accessFix(access)) {
    case AccessFix::None:
        break;
    case AccessFix::UdevRule:
        return QStringLiteral("you cannot open it (%1): only its owner may; a udev rule with "
                              "GROUP=\"dialout\", MODE=\"0660\" gives it to the dialout group "
                              "(see 99-gx7140r.rules.example)")
            .arg(facts);
    case AccessFix::LogInAgain:
        return QStringLiteral("you cannot open it yet (%1): you joined %2 after logging in; log "
                              "out and in again")
            .arg(facts, access.group);
    case AccessFix::JoinGroup:
        return QStringLiteral("you cannot open it (%1): sudo adduser $USER %2, then log in again")
            .arg(facts, access.group);
    }
    return QStringLiteral("read and write");
}

QString refusalNote(const QString &path) {
    const DeviceAccess access = deviceAccess(path);
    if (!access.known || access.canOpen)
        return {};
    return QStringLiteral("; ") + accessText(access);
}
