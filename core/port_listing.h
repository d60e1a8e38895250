#pragma once

#include "port_access.h"
#include "port_mapping.h"

#include <QList>
#include <QString>

// What --list-ports prints: every serial device the system knows, the port numbers that reach it
// with the current mapping, and whether this user may open it.
struct SerialDeviceFacts {
    QString path;
    QString byIdName;
    QString description;
    QString manufacturer;
    QString usbIds; // "1a86:7523", or empty when not a USB device
    QString serialNumber;
    DeviceAccess access;
};

QList<SerialDeviceFacts> serialDevices();
QString portListText(const QList<SerialDeviceFacts> &devices, const PortMapping &mapping);

// The saved mapping as --save-port and --forget-port print it.
QString savedMappingText(const QString &path, const PortMap &map);
