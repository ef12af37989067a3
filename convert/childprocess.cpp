// SPDX-License-Identifier: MIT
#include "convert/childprocess.h"

#ifdef Q_OS_UNIX
#include <csignal>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

ChildProcess::ChildProcess(QObject* parent) : QProcess(parent) {
    setStandardInputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // Our end of its pipes closes when the program ends; the child must then
    // see write errors, not die of SIGPIPE.
    setChildProcessModifier([] { ::signal(SIGPIPE, SIG_IGN); });
#endif
#ifdef Q_OS_WIN
    setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments* arguments) { arguments->flags |= CREATE_NO_WINDOW; });
#endif
}

ChildProcess::~ChildProcess() {
    if (state() != QProcess::NotRunning) {
        disconnect();
        setProcessState(QProcess::NotRunning);
    }
}
