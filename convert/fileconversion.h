// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionreport.h"
#include "convert/encoderprogress.h"
#include "convert/filecourse.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class EncoderJob;
class SourceProbe;

// One file of a run: it does what its course (nextStep) says, one step at a
// time, and tells it what came of each. A source cut into parts offers them
// to the run, which starts each on an encoder that comes free.
//
// The output's final name only ever holds a whole conversion: when the file
// fails, what its encoder made there is removed. A file that was there
// before is never touched. Parts, their list and their join have hidden
// names beside the output, and go however the file ends.
class FileConversion : public QObject {
    Q_OBJECT
  public:
    struct Tools {
        QString encoder;
        QString probe; // empty: none
    };
    // The parts a probed source is worth.
    using PartsRule = std::function<int(const SourceFacts&)>;

    // Why the source must not go to an encoder; None when it may.
    static FileOutcome::Cause refusal(const QString& source, const QString& output);

    // The source passed refusal(), and the encoder was found; begin() starts it.
    FileConversion(const PlanOptions& paths, Tools tools, int encoders, bool probeFirst,
                   PartsRule partsFor, QObject* parent = nullptr);
    // Stops the parts under way and removes what is left of them; a whole
    // file's encoder runs on.
    ~FileConversion() override;

    void begin();
    const QString& source() const { return m_course.paths.source; }
    const QString& output() const { return m_course.paths.output; }
    const EncoderProgress& progress() const { return m_progress; }
    // The encoders it keeps busy: its runs under way, or one while it asks the probe tool.
    int encoders() const;
    // A part waits for an encoder.
    bool hasWaitingRun() const;
    void startWaitingRun();
    // The processors its whole encoder under way keeps busy, where told.
    std::optional<double> wholeShare() const;
    // The program is ending, and the end is never reported. A whole file's
    // encoder runs on to its own end; the encoders of parts are stopped, as
    // no one is left to join them. True when it holds nothing any more;
    // otherwise released() follows once the parts are gone.
    bool abandon();
    // Stops the file at once: its encoders are stopped, what they began is
    // removed, and finished() follows with Interrupted.
    void interrupt();

  Q_SIGNALS:
    void progressed();
    // encoders() or hasWaitingRun() changed.
    void encodersChanged();
    void finished(const FileOutcome& outcome);
    void released();

  private:
    // How far past where a part would seek a key frame is looked for.
    static constexpr double KeyFrameWindow = 4.0;

    // How a run of the course is started.
    struct Launch {
        QStringList arguments;
        PlanOptions paths;
        SourceFacts facts; // its outcome is judged on; not known: on its own listing
    };

    void advance();
    void addRun(CourseRun::Role role, Launch launch);
    // Starts a plain or whole run at once, on the encoder the file holds.
    void startRun(CourseRun::Role role, const EncoderRun& run);
    void start(qsizetype index);
    void runEnded(qsizetype index, const FileOutcome& outcome);
    void listed(qsizetype index, const SourceRecord& record);
    void updateProgress();
    void ask(const QStringList& arguments, void (FileConversion::*answered)());
    std::optional<QByteArray> takeAnswer();
    void probed();
    void keyFramesFound();
    void cut(const QList<qint64>& starts);
    void join();
    void rename();
    void stopRuns();
    bool anyRunning() const;
    // Removes what the parts, their list and their join left.
    void removeSplitFiles();
    void finish(FileOutcome outcome);

    Course m_course;
    const QString m_encoder;
    const PartsRule m_partsFor;
    QList<EncoderJob*> m_jobs;      // children, one per run of the course
    QList<Launch> m_launches;       // one per run of the course
    SourceProbe* m_probe = nullptr; // a child of this object until it is done
    bool m_listWritten = false;
    bool m_abandoned = false;
    bool m_over = false;
    EncoderProgress m_progress;
};
