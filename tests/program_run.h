#pragma once
// Running the program as a user runs it: its exit status and what it wrote.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>

namespace q3::test {

struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

// `inChild` runs in the child before the program starts (limits, signal dispositions).
inline Outcome runProgram(const QStringList& arguments,
                          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                          const std::function<void()>& inChild = {}, int timeoutMs = 60000)
{
    QProcess process;
    process.setProcessEnvironment(env);
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(QStringLiteral(QUILLET3_BINARY), arguments);
    process.waitForFinished(timeoutMs);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// A shell command line, as a user types it, with the program as $Q and a folder as $D.
inline Outcome runShell(const char* command, const QString& folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("Q"), QStringLiteral(QUILLET3_BINARY));
    env.insert(QStringLiteral("D"), folder);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromUtf8(command)});
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The arguments as written in a test.
inline QStringList args(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* a : list)
        out << QString::fromUtf8(a);
    return out;
}

} // namespace q3::test
