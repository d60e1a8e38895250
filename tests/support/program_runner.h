#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <unistd.h>

// The programs as the tests start them: run to their end (killed after `timeoutMs`), with what
// they printed; and the serial port lock a running one holds.
struct ProgramRun {
    int exitCode = -1; // -1: it did not end in time; -2: it crashed
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString out;
    QString err;
};

// `childSetUp` runs in the child before the program starts (closingDescriptors below).
inline ProgramRun runProgram(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &env, int timeoutMs = 60000,
                             const std::function<void()> &childSetUp = {}) {
    QProcess process;
    process.setProcessEnvironment(env);
    if (childSetUp)
        process.setChildProcessModifier(childSetUp);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitStatus = process.exitStatus();
    run.exitCode = run.exitStatus == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// The serial port's lock file held by that process (LCK..name with its PID on the first line), in
// whichever lock folder it was put.
inline QString lockFileOf(qint64 pid) {
    for (const QString &folder : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"),
                                  QStringLiteral("/tmp"), QDir::tempPath()}) {
        for (const QFileInfo &entry :
             QDir(folder).entryInfoList({QStringLiteral("LCK..*")}, QDir::Files)) {
            QFile file(entry.absoluteFilePath());
            if (file.open(QIODevice::ReadOnly) &&
                file.readLine().trimmed() == QByteArray::number(pid))
                return entry.absoluteFilePath();
        }
    }
    return {};
}

// Whether the running process has the signal in one of its signal masks of /proc/PID/status:
// "SigIgn" (ignored: a program it starts inherits that) or "SigCgt" (caught by a handler).
inline bool signalInMask(qint64 pid, const char *mask, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray prefix = QByteArray(mask) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return (line.mid(prefix.size()).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

// The child's standard descriptors that a test closes before the program starts.
inline std::function<void()> closingDescriptors(QList<int> descriptors) {
    return [descriptors] {
        for (const int descriptor : descriptors)
            ::close(descriptor);
    };
}

// Whether each of these descriptors of the running process leads to /dev/null.
inline bool onDevNull(qint64 pid, const QList<int> &descriptors) {
    return std::all_of(descriptors.begin(), descriptors.end(), [pid](int descriptor) {
        return QFile::symLinkTarget(QStringLiteral("/proc/%1/fd/%2").arg(pid).arg(descriptor)) ==
               QStringLiteral("/dev/null");
    });
}
