#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

// The programs as the tests start them: run to their end (killed after `timeoutMs`), with what
// they printed; and the serial port lock a running one holds.
struct ProgramRun {
    int exitCode = -1; // -1: it did not end in time; -2: it crashed
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString out;
    QString err;
};

inline ProgramRun runProgram(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &env, int timeoutMs = 60000) {
    QProcess process;
    process.setProcessEnvironment(env);
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
