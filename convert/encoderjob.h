// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

// How an encoder process ended.
struct EncoderEnd {
    enum class Kind {
        Exited,        // ended on its own; exitCode holds its code
        Crashed,       // killed by a signal or crashed
        FailedToStart, // never ran; errorText says why
    };
    Kind kind = Kind::FailedToStart;
    int exitCode = 0;
    QString errorText;
};
Q_DECLARE_METATYPE(EncoderEnd)

// Starts the encoder with an argument vector (never through a shell) and
// reports its end through the event loop; nothing here waits.
//
// The encoder reads the null device, so a question on its standard input gets
// an end of file instead of hanging it; its output goes to the null device;
// its standard error is handed on line by line. It ignores SIGPIPE, so it
// runs on to its own end when this program ends first.
class EncoderJob : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // An encoder still running is left to finish its file, never killed.
    ~EncoderJob() override;

    // Starts one encoder run; ended() follows once, later, from the event
    // loop. Ignored while a run is under way.
    void start(const QString& program, const QStringList& arguments);
    // Ends the encoder under way at once, for a run whose output is not
    // wanted; ended() follows as usual.
    void stop();
    // The program is ending: the encoder under way is left running and its
    // end is never reported.
    void abandon();

  Q_SIGNALS:
    // One line of the encoder's standard error, trimmed, never empty; every
    // line comes before ended().
    void errorLine(const QString& line);
    void ended(const EncoderEnd& end);

  private:
    void processFinished();
    void processFailed();
    void release();

    QProcess* m_process = nullptr; // a child of this object while it runs
    void readErrors();

    QByteArray m_partialLine; // standard error after its last line break
};
