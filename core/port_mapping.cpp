#include "port_mapping.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString kComPrefix = QStringLiteral("COM");
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
    if (digits.isEmpty() || digits.size() > 3)
        return error;
    int port = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return error;
        port = port * 10 + (c.unicode() - u'0');
    }
    if (port < kLowestPortNumber || port > kHighestPortNumber)
        return error;
    return port;
}

std::variant<PortAssignment, QString> parsePortAssignment(QStringView text) {
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return QStringLiteral("'%1' is not COMn=DEVICE").arg(text.toString());
    const auto port = parsePortName(text.first(equals));
    if (const QString *error = std::get_if<QString>(&port))
        return *error;
    const QString device = text.sliced(equals + 1).toString();
    if (device.trimmed().isEmpty())
        return QStringLiteral("'%1' names no device after '='").arg(text.toString());
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

PortMap SavedPortMapping::load() const {
    PortMap map;
    if (!QFileInfo::exists(path_))
        return map;
    const QSettings settings(path_, QSettings::IniFormat);
    for (const QString &key : settings.childKeys()) {
        const auto port = parsePortName(key);
        const QString device = settings.value(key).toString();
        if (std::holds_alternative<int>(port) && !device.isEmpty())
            map.insert(std::get<int>(port), device);
    }
    return map;
}

namespace {
// Rewrites the file with the given mapping; false when it could not be written.
bool store(const QString &path, const PortMap &map) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSettings settings(path, QSettings::IniFormat);
    settings.clear();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        settings.setValue(comName(it.key()), it.value());
    settings.sync();
    return settings.status() == QSettings::NoError;
}
} // namespace

bool SavedPortMapping::save(const PortAssignment &assignment) {
    PortMap map = load();
    map.insert(assignment.port, assignment.device);
    return store(path_, map);
}

bool SavedPortMapping::forget(int port) {
    PortMap map = load();
    map.remove(port);
    return store(path_, map);
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
