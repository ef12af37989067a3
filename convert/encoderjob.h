// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionplan.h"
#include "convert/fileverdict.h"
#include "convert/sourcefacts.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class ChildProcess;

// One encoder run: the process, the one reader of its standard error, and
// the record of the run, which it reports once, with its outcome, when the
// process has ended. Started with an argument vector, never through a shell;
// nothing here waits.
//
// The encoder reads the null device, so a question on its standard input gets
// an end of file instead of hanging it; its output goes to the null device.
// It ignores SIGPIPE, so it runs on to its own end when this program ends first.
class EncoderJob : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // An encoder still running is left to finish its file, never killed.
    ~EncoderJob() override;

    // Starts the encoder on paths.source, writing paths.output; ended()
    // follows once, later, from the event loop. The outcome is judged on the
    // facts given, or on those of the encoder's own listing when they are not
    // known. Ignored while a run is under way.
    void start(const QString& program, const QStringList& arguments, const PlanOptions& paths,
               const SourceFacts& facts = {});
    // Ends the encoder under way at once, for a run whose output is not
    // wanted; ended() follows as usual.
    void stop();
    // The program is ending: the encoder under way is left running and its
    // end is never reported.
    void abandon();

    bool running() const { return m_process != nullptr; }
    // The processors the encoder under way has kept busy since it started,
    // as the system tells it; empty before a second has passed, or where
    // the system does not tell.
    std::optional<double> processorShare() const;
    // What the run has told so far; whole once it has ended.
    const FinishedRun& record() const { return m_record; }

  Q_SIGNALS:
    // The encoder's listing of its input is through.
    void listed(const SourceRecord& record);
    // Its progress line told how far it has got: record().findings.reached.
    void progressed();
    void ended(const FileOutcome& outcome);

  private:
    void readErrors();
    void take(const QList<EncoderEvent>& events);
    void processFinished();
    void processFailed();
    void finish(EncoderEnd end);

    ChildProcess* m_process = nullptr; // a child of this object while it runs
    QByteArray m_partialLine;          // standard error after its last line break
    bool m_abandoned = false;
    std::optional<EncoderOutputReader> m_reader;
    PlanOptions m_paths;
    SourceFacts m_facts;
    FinishedRun m_record;
    QElapsedTimer m_clock; // since it started
};
