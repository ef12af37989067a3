// SPDX-License-Identifier: MIT
#include "convert/childprocess.h"

#include <QFile>
#include <QList>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

ChildProcess::ChildProcess(QObject* parent, Priority priority) : QProcess(parent) {
    setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // Our end of its pipes closes when the program ends; the child must then
    // see write errors, not die of SIGPIPE.
    setChildProcessModifier([priority] {
        ::signal(SIGPIPE, SIG_IGN);
        // A session of its own: Ctrl+C or a hang-up in the terminal that
        // started the program reaches the program alone, which decides what
        // its children do, rather than cutting an encoder's output short.
        ::setsid();
        // Not the idle class: with every processor encoding, a probe must
        // still finish in time for its file.
        if (priority == Priority::Background) [[maybe_unused]]
            const int niceness = ::nice(10);
    });
#endif
#ifdef Q_OS_WIN
    setCreateProcessArgumentsModifier([priority](QProcess::CreateProcessArguments* arguments) {
        arguments->flags |= CREATE_NO_WINDOW;
        if (priority == Priority::Background)
            arguments->flags |= BELOW_NORMAL_PRIORITY_CLASS;
    });
#endif
}

ChildProcess::~ChildProcess() {
    if (state() != QProcess::NotRunning) {
        disconnect();
        setProcessState(QProcess::NotRunning);
    }
}

std::optional<double> ChildProcess::processorSeconds() const {
#ifdef Q_OS_LINUX
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId()));
    if (processId() <= 0 || !stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The command name may hold blanks and parentheses: the fields that
    // count come after its last ")", the process state first; user and
    // system time are the 14th and 15th fields of the line.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (fields.size() < 13 || ticksPerSecond <= 0)
        return std::nullopt;
    bool userRead = false, systemRead = false;
    const qulonglong ticks =
        fields[11].toULongLong(&userRead) + fields[12].toULongLong(&systemRead);
    if (!userRead || !systemRead)
        return std::nullopt;
    return double(ticks) / double(ticksPerSecond);
#else
    return std::nullopt;
#endif
}
