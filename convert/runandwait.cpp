#include "convert/runandwait.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPointer>
#include <QProcess>

#include <cerrno>
#include <utility>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Enough of the standard error to hold its last few lines.
constexpr qsizetype ErrorTailBytes = 8192;

// QProcess kills its child when it is destroyed, so a child left running is
// handed to this list and its QProcess is never destroyed while it runs. The
// list is reached through a pointer that is never freed: whatever is still in
// it when the program ends stays reachable, not leaked.
QList<QProcess*>& keptChildren() {
    static auto* kept = new QList<QProcess*>;
    return *kept;
}

void keepRunning(QProcess* process) {
    process->disconnect();
    keptChildren().append(process);
    // Nobody reads it any more; do not let it pile up while the program lives on.
    QObject::connect(process, &QProcess::readyReadStandardError, process,
                     [process] { process->readAllStandardError(); });
    QObject::connect(process, &QProcess::finished, process, [process] {
        keptChildren().removeOne(process);
        process->deleteLater();
    });
}

void appendTail(QByteArray& tail, const QByteArray& more) {
    tail.append(more);
    if (tail.size() > ErrorTailBytes)
        tail.remove(0, tail.size() - ErrorTailBytes);
}

QString lastLine(const QByteArray& tail) {
    // Progress lines end in a carriage return, messages in a line feed.
    QByteArray text = tail;
    text.replace('\r', '\n');
    const QList<QByteArray> lines = text.split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QByteArray trimmed = line->trimmed();
        if (!trimmed.isEmpty())
            return QString::fromLocal8Bit(trimmed);
    }
    return {};
}

// QProcess reports a failed start only as text; the number comes from asking
// the system the same question the start asked.
int startErrorNumber(const QString& program) {
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(program).constData(), X_OK) != 0 && errno > 0)
        return errno;
    // A folder passes that test, yet cannot be run.
    return QFileInfo(program).isDir() ? EACCES : ENOEXEC;
#else
    return QFileInfo::exists(program) ? 193 /* ERROR_BAD_EXE_FORMAT */
                                      : 2 /* ERROR_FILE_NOT_FOUND */;
#endif
}

void prepareChild(QProcess& process) {
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    // Our end of the error pipe closes when the program ends; the child must
    // then see write errors, not die of SIGPIPE, and run on to its own end.
    process.setChildProcessModifier([] { ::signal(SIGPIPE, SIG_IGN); });
#endif
#ifdef Q_OS_WIN
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments* arguments) { arguments->flags |= CREATE_NO_WINDOW; });
#endif
}

} // namespace

qint32 ChildEnd::result() const {
    if (kind == Kind::FailedToStart)
        return StartFailureBase + errorNumber;
    return exitCode;
}

ProcessWaiter::~ProcessWaiter() {
    // Destroyed inside its own wait: runAndWait returns without touching us.
    if (m_process)
        keepRunning(m_process);
    if (m_loop)
        m_loop->quit();
}

void ProcessWaiter::abandon() {
    if (m_loop)
        m_loop->quit();
}

ChildEnd ProcessWaiter::runAndWait(const QString& program, const QStringList& arguments) {
    ChildEnd end;
    auto* process = new QProcess;
    prepareChild(*process);
    QByteArray errorTail;
    connect(process, &QProcess::readyReadStandardError, this,
            [process, &errorTail] { appendTail(errorTail, process->readAllStandardError()); });

    auto failedToStart = [&] {
        end.kind = ChildEnd::Kind::FailedToStart;
        end.errorNumber = startErrorNumber(program);
        end.errorText = process->errorString();
        delete process;
        return end;
    };
    process->start(program, arguments);
    if (!process->waitForStarted() && process->state() == QProcess::NotRunning)
        return failedToStart();

    QEventLoop loop;
    connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
    // Only after a very slow start can the failure come here, without a finish.
    connect(process, &QProcess::errorOccurred, &loop, [&loop](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });
    QProcess* const outerProcess = std::exchange(m_process, process);
    QEventLoop* const outerLoop = std::exchange(m_loop, &loop);
    const QPointer<ProcessWaiter> self(this);
    // A quit before exec() would be lost, so look first.
    if (process->state() != QProcess::NotRunning)
        loop.exec();
    if (!self) {
        end.kind = ChildEnd::Kind::Abandoned;
        return end;
    }
    m_process = outerProcess;
    m_loop = outerLoop;

    // Still running: abandon(), or the application quit and ended every loop.
    if (process->state() != QProcess::NotRunning) {
        keepRunning(process);
        end.kind = ChildEnd::Kind::Abandoned;
        return end;
    }
    if (process->error() == QProcess::FailedToStart)
        return failedToStart();
    appendTail(errorTail, process->readAllStandardError());
    end.lastErrorLine = lastLine(errorTail);
    end.kind = process->exitStatus() == QProcess::NormalExit ? ChildEnd::Kind::Exited
                                                             : ChildEnd::Kind::Crashed;
    end.exitCode = process->exitCode();
    delete process;
    return end;
}

qint32 RunAndWait(const QString& program, const QStringList& arguments) {
    ProcessWaiter waiter;
    return waiter.runAndWait(program, arguments).result();
}
