#pragma once

#include "line_facts.h"

#include <QList>
#include <QMap>
#include <QSerialPortInfo>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <variant>

// Where a port number of the port list leads. COMn opens, in this order of precedence: the
// device given for this run on the command line; the device of the user's saved mapping;
// /dev/COMn when that path exists (a udev rule's SYMLINK+="COMn"); /dev/ttyS<n-1>. On Windows the
// last two are COMn itself.

using PortMap = QMap<int, QString>; // port number -> device

struct PortAssignment {
    int port = 0;
    QString device;
};

// "COM3" -> 3 (any case; 1..255), or an error message.
std::variant<int, QString> parsePortName(QStringView text);
// "COM3=/dev/ttyUSB0" -> {3, "/dev/ttyUSB0"}, or an error message.
std::variant<PortAssignment, QString> parsePortAssignment(QStringView text);
// A device as the serial layer is to open it: a bare name such as ttyUSB0 lies in /dev, a
// relative path is made absolute; links (/dev/serial/by-id/...) are kept as given.
QString normalizedDevice(const QString &device);

class PortMapping {
public:
    enum class Source { CommandLine, Saved, ComLink, SerialDevice };
    struct Route {
        QString device;
        Source source = Source::SerialDevice;
    };
    using PathExists = std::function<bool(const QString &)>;

    explicit PortMapping(PortMap forThisRun = {}, PortMap saved = {},
                         PathExists pathExists = fileExists);

    Route route(int port) const;
    QString device(int port) const { return route(port).device; }
    // What the port list tells of an entry: its device and, for an adapter the system knows, the
    // adapter's description ("/dev/ttyUSB0, USB-Serial CH340").
    QString describe(int port) const;

    static bool fileExists(const QString &path);

private:
    PortMap forThisRun_;
    PortMap saved_;
    PathExists pathExists_;
};

QString sourceName(PortMapping::Source source);

// The user's saved mapping: a text file with one COMn=DEVICE line per mapped port (blanks around
// either part ignored; for a port named twice the last line counts). Other lines (comments, the
// [General] line of earlier versions, anything else) are kept as they are when a mapping is saved
// or forgotten; the file is replaced at once, never left half written.
class SavedPortMapping {
public:
    // <XDG config folder>/gx7140r-tool/ports.conf (~/.config/gx7140r-tool/ports.conf).
    static QString defaultPath();
    explicit SavedPortMapping(QString path = defaultPath());

    const QString &path() const { return path_; }
    PortMap load() const;
    // Each returns false when the file could not be written.
    bool save(const PortAssignment &assignment);
    bool forget(int port);

private:
    QString path_;
};

// The serial device the system lists at that path (links followed), if any.
std::optional<QSerialPortInfo> serialPortAt(const QString &device);
// Its /dev/serial/by-id name, if it has one.
QString serialByIdName(const QSerialPortInfo &info);

// The port numbers whose route leads to the device (links followed).
QList<int> portsReaching(const PortMapping &mapping, const QString &device);

// COMn as the system names it without any mapping (kept for the serial control's default).
QString systemPortName(int port);
QString systemPortName(int port, const std::function<bool(const QString &)> &pathExists);
