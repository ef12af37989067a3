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
class SplitConversion;

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
    //
    // Given more than one encoder and a probe tool, the source is read by the
    // probe tool first, and one long enough is converted in parts at once;
    // a split whose frames do not add up is redone as one whole run.
    FileConversion(QString source, QString output, QString encoder, QString probeTool, int encoders,
                   QObject* parent = nullptr);
    ~FileConversion() override;

    const QString& source() const { return m_paths.source; }
    const QString& output() const { return m_paths.output; }
    const EncoderProgress& progress() const;
    // The encoders it keeps busy, or holds while it learns whether parts pay.
    int encoders() const;
    // The program is ending, and the end is never reported. A whole file's
    // encoder runs on to its own end; the encoders of parts are stopped, as
    // no one is left to join them. True when it holds nothing any more;
    // otherwise released() follows once the parts are gone.
    bool abandon();
    // Stops the file at once: its encoders are stopped, what they began is
    // removed, and finished() follows with Interrupted.
    void interrupt();

  Q_SIGNALS:
    // The encoder told how far it has got.
    void progressed();
    // encoders() changed.
    void encodersChanged();
    void finished(const FileOutcome& outcome);
    void released();

  private:
    // How far past where a part would begin a key frame is looked for.
    static constexpr double KeyFrameWindow = 4.0;

    enum class Stage {
        Trying,   // the plan that needs no facts runs; its listing or its end may call for another
        Stopping, // the source needs another plan, and the first encoder is ending
        Probing,  // the probe tool reads the source
        Settled,  // the plan for this source runs
        Seeking,  // the probe tool finds the key frames where parts would begin
        Split,    // its parts run at once, then their join
    };

    void follow(const ConversionPlan& plan);
    void startRun();
    // The encoder's listing of the source is through.
    void listed(const SourceRecord& record);
    // The first encoder is done with: what it began goes, and the probe tool
    // reads the source.
    void retake();
    void probe();
    // Starts the probe tool; answered runs once it is done.
    void ask(const QStringList& arguments, void (FileConversion::*answered)());
    // The answer of the probe that is done, which goes.
    std::optional<QByteArray> takeAnswer();
    void probed();
    void keyFramesFound();
    void split(const QList<qint64>& starts);
    // The source goes to one encoder: the others it held are free.
    void keepOneEncoder();
    void encoderEnded(const FileOutcome& outcome);
    void finish(FileOutcome outcome);
    // Ends an interrupted file once nothing of it runs; true when it did.
    bool endInterrupted();
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
    SourceProbe* m_probe = nullptr;     // a child of this object until it is done
    SplitConversion* m_split = nullptr; // a child of this object while its parts run
    int m_encoders = 1;
    bool m_interrupted = false;
    EncoderJob m_encoder;
    EncoderProgress m_progress;
};
