#pragma once

#include <QString>

// Whether this user may open a serial device for reading and writing, and if not, why and what
// mends it: what --list-ports says beside each device.
struct DeviceAccess {
    bool known = false;            // the device could be examined (it exists)
    bool canOpen = true;           // readable and writable by this process
    QString owner;                 // user name, or the number when it has none
    QString group;                 // group name, or the number when it has none
    unsigned mode = 0;             // the file's type and permission bits, as stat() gives them
    bool memberSinceLogIn = false; // in the device's group, but not yet in this session
};

DeviceAccess deviceAccess(const QString &path);

// What mends a refusal: a udev rule when only the owner may open it, else joining its group, or
// logging in again when the group was joined in this session. None when it can be opened.
enum class AccessFix { None, UdevRule, JoinGroup, LogInAgain };
AccessFix accessFix(const DeviceAccess &access);

// "read and write", or the reason with the owner, group and mode and the fix.
QString accessText(const DeviceAccess &access);

// What a program that could not open PATH adds to its message: "" when PATH is not a device this
// user is refused, else "; " and accessText().
QString refusalNote(const QString &path);

// The mode as ls -l shows it: "crw-rw----".
QString modeText(unsigned mode);
