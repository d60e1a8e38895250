#include "port_mapping.h"
#include "whole_number.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {
const QString kComPrefix = QStringLiteral("COM");
constexpr qsizetype kMostPortDigits = 3; // COM001 is COM1, COM0001 is no port name
const QString kByIdFolder = QStringLiteral("/dev/serial/by-id");

QString comName(int port) {
    return kComPrefix + QString::number(port);
}

QString resolved(const QString &path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}
} // namespace

std::variant<int, QString> parsePortName(QStringView text) {
    const QString error = QStringLiteral("'%1' is not a port name COMn with n from %2 to %3")
                              .arg(text.toString())
                              .arg(kLowestPortNumber)
                              .arg(kHighestPortNumber);
    if (!text.startsWith(kComPrefix, Qt::CaseInsensitive))
        return error;
    const QStringView digits = text.sliced(kComPrefix.size());
    const auto port = numeric::parseWholeNumber(digits, kLowestPortNumber, kHighestPortNumber);
    if (digits.size() > kMostPortDigits || !std::holds_alternative<std::int64_t>(port))
        return error;
    return int(std::get<std::int64_t>(port));
}

std::variant<PortAssignment, QString> parsePortAssignment(QStringView text) {
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return QStringLiteral("'%1' is not COMn=DEVICE").arg(text.toString());
    const auto port = parsePortName(text.first(equals));
    if (const QString *error = std::get_if<QString>(&port))
        return *error;
    const QString device = text.sliced(equals + 1).trimmed().toString();
    if (device.isEmpty())
        return QStringLiteral("'%1' names no device after '='").arg(text.toString());
    if (std::any_of(device.begin(), device.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QStringLiteral("the device after '=' holds a control character");
    return PortAssignment{std::get<int>(port), normalizedDevice(device)};
}

QString normalizedDevice(const QString &device) {
#ifdef Q_OS_WIN
    return device;
#else
    if (!device.contains(u'/'))
        return QStringLiteral("/dev/") + device;
    return QFileInfo(device).isAbsolute() ? device : QFileInfo(device).absoluteFilePath();
#endif
}

PortMapping::PortMapping(PortMap forThisRun, PortMap saved, PathExists pathExists)
    : forThisRun_(std::move(forThisRun)), saved_(std::move(saved)),
      pathExists_(std::move(pathExists)) {}

bool PortMapping::fileExists(const QString &path) {
    return QFileInfo::exists(path);
}

PortMapping::Route PortMapping::route(int port) const {
    if (const auto it = forThisRun_.constFind(port); it != forThisRun_.cend())
        return {*it, Source::CommandLine};
    if (const auto it = saved_.constFind(port); it != saved_.cend())
        return {*it, Source::Saved};
#ifdef Q_OS_WIN
    return {comName(port), Source::SerialDevice};
#else
    const QString link = QStringLiteral("/dev/") + comName(port);
    if (pathExists_(link))
        return {link, Source::ComLink};
    return {QStringLiteral("/dev/ttyS%1").arg(port - 1), Source::SerialDevice};
#endif
}

QString PortMapping::describe(int port) const {
    const QString device = this->device(port);
    const auto info = serialPortAt(device);
    if (!info || info->description().isEmpty())
        return device;
    return device + QStringLiteral(", ") + info->description();
}

QString sourceName(PortMapping::Source source) {
    switch (source) {
    case PortMapping::Source::CommandLine:
        return QStringLiteral("--port");
    case PortMapping::Source::Saved:
        return QStringLiteral("saved mapping");
    case PortMapping::Source::ComLink:
        return QStringLiteral("/dev/COMn link");
    case PortMapping::Source::SerialDevice:
        break;
    }
    return QStringLiteral("default");
}

QString SavedPortMapping::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/gx7140r-tool/ports.conf");
}

SavedPortMapping::SavedPortMapping(QString path) : path_(std::move(path)) {}

namespace {
// A "COMn=DEVICE" line (blanks around either part ignored); anything else is not a mapping.
std::optional<PortAssignment> mappingLine(QStringView line) {
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    const auto port = parsePortName(line.first(equals).trimmed());
    const QString device = line.sliced(equals + 1).trimmed().toString();
    if (!std::holds_alternative<int>(port) || device.isEmpty())
        return std::nullopt;
    return PortAssignment{std::get<int>(port), device};
}

// The file's lines without their ends; empty for a file that is not there, nullopt for one that
// cannot be read.
std::optional<QStringList> readLines(const QString &path) {
    QFile file(path);
    if (!file.exists())
        return QStringList();
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The lines written in place of the file at once: a reader sees the old file or the new one.
bool writeLines(const QString &path, const QStringList &lines) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    for (const QString &line : lines)
        file.write((line + u'\n').toUtf8());
    return file.commit();
}

// The lines with the port's mapping lines replaced by `device` (at the first of them, or at the
// end), or removed when `device` is empty; every other line as it was.
QStringList withMapping(const QStringList &lines, int port, const QString &device) {
    QStringList result;
    bool placed = device.isEmpty();
    for (const QString &line : lines) {
        const auto mapping = mappingLine(line);
        if (!mapping || mapping->port != port) {
            result << line;
        } else if (!placed) {
            result << comName(port) + u'=' + device;
            placed = true;
        }
    }
    if (!placed)
        result << comName(port) + u'=' + device;
    return result;
}

bool edit(const QString &path, int port, const QString &device) {
    const auto lines = readLines(path);
    return lines && writeLines(path, withMapping(*lines, port, device));
}
} // namespace

PortMap SavedPortMapping::load() const {
    PortMap map;
    for (const QString &line : readLines(path_).value_or(QStringList())) {
        if (const auto mapping = mappingLine(line))
            map.insert(mapping->port, mapping->device);
    }
    return map;
}

bool SavedPortMapping::save(const PortAssignment &assignment) {
    return edit(path_, assignment.port, assignment.device);
}

bool SavedPortMapping::forget(int port) {
    return edit(path_, port, {});
}

std::optional<QSerialPortInfo> serialPortAt(const QString &device) {
    const QString target = resolved(device);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (resolved(info.systemLocation()) == target)
            return info;
    }
    return std::nullopt;
}

QString serialByIdName(const QSerialPortInfo &info) {
    const QString target = resolved(info.systemLocation());
    const QDir byId(kByIdFolder);
    for (const QFileInfo &entry : byId.entryInfoList(QDir::System | QDir::Files)) {
        if (resolved(entry.absoluteFilePath()) == target)
            return entry.absoluteFilePath();
    }
    return {};
}

QList<int> portsReaching(const PortMapping &mapping, const QString &device) {
    QList<int> ports;
    const QString target = resolved(device);
    for (int port = kLowestPortNumber; port <= kHighestPortNumber; ++port) {
        if (resolved(mapping.device(port)) == target)
            ports << port;
    }
    return ports;
}

QString systemPortName(int port, const std::function<bool(const QString &)> &pathExists) {
    return PortMapping({}, {}, pathExists).device(port);
}

QString systemPortName(int port) {
    return PortMapping().device(port);
}
