#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QEventLoop;
class QProcess;

// Added to the error number of a child that could not be started, so every
// such result is negative.
inline constexpr qint32 StartFailureBase = -2147221504;

// How a waited-for child ended.
struct ChildEnd {
    enum class Kind {
        Exited,        // ended on its own; exitCode holds its code
        Crashed,       // killed by a signal or crashed
        FailedToStart, // never ran; errorNumber and errorText say why
        Abandoned,     // the program is ending; the child was left running
    };
    Kind kind = Kind::FailedToStart;
    int exitCode = 0;
    int errorNumber = 0;
    QString errorText;
    QString lastErrorLine; // the last line the child wrote to its standard error

    bool succeeded() const { return kind == Kind::Exited && exitCode == 0; }
    // The exit code, or StartFailureBase plus the error number.
    qint32 result() const;
};

// Starts a program with an argument vector (never through a shell) and
// returns when it has ended. The wait is a local event loop woken by the
// child's end, so the windows keep handling input meanwhile.
//
// The child reads the null device, so a question on its standard input gets
// an end of file instead of hanging it; its output goes to the null device;
// its standard error is read for the last line. It ignores SIGPIPE, so it
// outlives this program when abandon() leaves it running.
class ProcessWaiter : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // A child still running is left to run on, never killed.
    ~ProcessWaiter() override;

    ChildEnd runAndWait(const QString& program, const QStringList& arguments);

    bool waiting() const { return m_process != nullptr; }

  public Q_SLOTS:
    // The program is ending: stop waiting at once and leave the child running.
    void abandon();

  private:
    QProcess* m_process = nullptr;
    QEventLoop* m_loop = nullptr;
};

// Runs and waits once: the child's exit code, or StartFailureBase plus the
// error number when it could not be started.
qint32 RunAndWait(const QString& program, const QStringList& arguments);
