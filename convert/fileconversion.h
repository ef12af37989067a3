// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionplan.h"
#include "convert/conversionreport.h"
#include "convert/encoderjob.h"
#include "convert/encoderoutput.h"
#include "convert/encoderprogress.h"
#include "convert/fileverdict.h"
#include "convert/sourcefacts.h"

#include <QObject>
#include <QString>

class SourceProbe;

// One file of a run: the processes that convert it, in their stages. What
// the source holds, the plan, and the verdict come from plain functions.
//
// The output's final name only ever holds a whole conversion: when the
// encoder fails, the file it made there is removed. A file that was there
// before is never touched.
class FileConversion : public QObject {
    Q_OBJECT
  public:
    // Why the source must not go to an encoder; None when it may.
    static FileOutcome::Cause refusal(const QString& source, const QString& output);

    // Begins at once: the source passed refusal(), and the encoder was found.
    // The encoder starts with the plan that needs no facts, and its listing
    // of the source is read. Given a probe tool, a source whose listing calls
    // for another plan, or whose encoder fails in a way another plan mends,
    // has that encoder stopped, is read by the probe tool, and is
    // converted by the plan its facts call for.
    FileConversion(QString source, QString output, QString encoder, QString probeTool,
                   QObject* parent = nullptr);

    const QString& source() const { return m_paths.source; }
    const QString& output() const { return m_paths.output; }
    const EncoderProgress& progress() const { return m_progress; }
    // The program is ending: the encoder runs on, and its end is never reported.
    void abandon() { m_encoder.abandon(); }

  Q_SIGNALS:
    // The encoder told how far it has got.
    void progressed();
    void finished(const FileOutcome& outcome);

  private:
    enum class Stage {
        Trying,   // the plan that needs no facts runs; its listing or its end may call for another
        Stopping, // the source needs another plan, and the first encoder is ending
        Probing,  // the probe tool reads the source
        Settled,  // the plan for this source runs
    };

    void follow(const ConversionPlan& plan);
    void startRun();
    void encoderSaid(const QString& line);
    void take(const QList<EncoderEvent>& events);
    // The encoder's listing of the source is through.
    void listed(const SourceRecord& record);
    // The first encoder is done with: what it began goes, and the probe tool
    // reads the source.
    void retake();
    void probed();
    void encoderEnded(const EncoderEnd& end);
    void finish(FileOutcome outcome);
    // Removes what the last encoder left under the output's name; false when
    // that cannot be done.
    bool removeOwnOutput() const;

    const PlanOptions m_paths;
    const QString m_encoderProgram;
    const QString m_probeTool;
    Stage m_stage = Stage::Settled;
    SourceFacts m_facts;
    ConversionPlan m_plan;
    qsizetype m_nextRun = 0;
    SourceProbe* m_probe = nullptr; // a child of this object until it is done
    EncoderJob m_encoder;
    EncoderOutputReader m_reader;
    FinishedRun m_run;
    EncoderProgress m_progress;
};
