#pragma once

#include "core/port_access.h"
#include "core/port_lock.h"

#include <QString>

#include <optional>

// Why a serial port could not be opened, as far as the system shows it: what the window's open
// button names under its message. Qt's serial port reports a lock another program holds as a
// permission error too, so the cause is read from the device and its lock files, not from Qt.
struct PortRefusal {
    enum class Cause {
        Unknown,      // none of the causes below: in use (an exclusive open), or not a port
        NoDevice,     // nothing at that path
        NoPermission, // this user may not read and write it
        Locked,       // a live process, or a lock file naming none, holds it
    };
    Cause cause = Cause::Unknown;
    QString device;
    DeviceAccess access;             // NoPermission
    std::optional<LockRefusal> lock; // Locked
};

// The cause, looked for in that order: missing, locked, no permission.
PortRefusal portRefusal(const QString &device);
PortRefusal lockedPort(const QString &device, const LockRefusal &lock);
