#include "port_listing.h"

#include <QSerialPortInfo>

namespace {
QString orDash(const QString &text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString hex4(quint16 value) {
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

QString reachedBy(const PortMapping &mapping, const QString &device) {
    QStringList names;
    for (const int port : portsReaching(mapping, device)) {
        names << QStringLiteral("COM%1 (%2)").arg(port).arg(sourceName(mapping.route(port).source));
    }
    return names.isEmpty() ? QStringLiteral("no COM number; use --port COMn=") + device
                           : names.join(QStringLiteral(", "));
}
} // namespace

QList<SerialDeviceFacts> serialDevices() {
    QList<SerialDeviceFacts> devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialDeviceFacts facts;
        facts.path = info.systemLocation();
        facts.byIdName = serialByIdName(info);
        facts.description = info.description();
        facts.manufacturer = info.manufacturer();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            facts.usbIds = hex4(info.vendorIdentifier()) + u':' + hex4(info.productIdentifier());
        facts.serialNumber = info.serialNumber();
        facts.access = deviceAccess(facts.path);
        devices << facts;
    }
    return devices;
}

QString portListText(const QList<SerialDeviceFacts> &devices, const PortMapping &mapping) {
    if (devices.isEmpty())
        return QStringLiteral("No serial devices found.\n");
    QString text;
    for (const SerialDeviceFacts &device : devices) {
        text += device.path + u'\n';
        text += QStringLiteral("  by-id:        %1\n").arg(orDash(device.byIdName));
        text += QStringLiteral("  description:  %1\n").arg(orDash(device.description));
        text += QStringLiteral("  manufacturer: %1\n").arg(orDash(device.manufacturer));
        text += QStringLiteral("  USB VID:PID:  %1\n").arg(orDash(device.usbIds));
        text += QStringLiteral("  serial:       %1\n").arg(orDash(device.serialNumber));
        text += QStringLiteral("  reached by:   %1\n").arg(reachedBy(mapping, device.path));
        text += QStringLiteral("  access:       %1\n").arg(accessText(device.access));
    }
    return text;
}

QString savedMappingText(const QString &path, const PortMap &map) {
    QString text = QStringLiteral("Saved port mapping (%1):\n").arg(path);
    if (map.isEmpty())
        text += QStringLiteral("  none\n");
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        text += QStringLiteral("  COM%1=%2\n").arg(it.key()).arg(it.value());
    return text;
}
