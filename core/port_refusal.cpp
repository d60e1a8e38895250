#include "port_refusal.h"

#include <QFileInfo>

PortRefusal portRefusal(const QString &device) {
    if (!QFileInfo::exists(device))
        return {PortRefusal::Cause::NoDevice, device, {}, std::nullopt};
    if (const auto lock = port_lock::holderOf(device))
        return lockedPort(device, *lock);
    const DeviceAccess access = deviceAccess(device);
    if (access.known && !access.canOpen)
        return {PortRefusal::Cause::NoPermission, device, access, std::nullopt};
    return {PortRefusal::Cause::Unknown, device, {}, std::nullopt};
}

PortRefusal lockedPort(const QString &device, const LockRefusal &lock) {
    if (lock.kind != LockRefusal::Kind::HeldByProcess &&
        lock.kind != LockRefusal::Kind::UnreadableLock)
        return {PortRefusal::Cause::Unknown, device, {}, std::nullopt};
    return {PortRefusal::Cause::Locked, device, {}, lock};
}
