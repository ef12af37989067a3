// SPDX-License-Identifier: MIT
#include "convert/childprocess.h"

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
