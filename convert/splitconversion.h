// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionplan.h"
#include "convert/conversionreport.h"
#include "convert/encoderjob.h"
#include "convert/encoderprogress.h"
#include "convert/fileverdict.h"
#include "convert/sourcefacts.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

// One source converted in parts by several encoders at once, then joined
// into its output. Nothing of it but the output is left when it ends, however
// it ends: the parts, their list and the join have hidden names beside the
// output, and go with it.
//
// The join is moved to the output's name only when whole, and only while
// that name is free.
class SplitConversion : public QObject {
    Q_OBJECT
  public:
    enum class End {
        Done,    // the outcome tells: converted, partial, or failed with a part's cause
        Inexact, // a part wrote other frames than planned: the source wants one whole run
    };
    Q_ENUM(End)

    // A stem beside the output that no file's name begins with.
    static QString freeStem(const QString& output);

    // Starts every part at once.
    SplitConversion(SplitPlan plan, const QString& encoder, const SourceFacts& facts,
                    const PlanOptions& paths, QObject* parent = nullptr);
    // Stops what still runs and removes what is left.
    ~SplitConversion() override;

    // The encoders under way: the parts that still run, or the join.
    int encodersRunning() const;
    // The whole source's: the parts' progress summed.
    const EncoderProgress& progress() const { return m_progress; }
    // The program is ending: with no one left to join the parts, their
    // encoders are stopped; released() follows once their files are gone.
    void abandon();

  Q_SIGNALS:
    void progressed();
    void encodersChanged();
    void finished(SplitConversion::End end, const FileOutcome& outcome);
    void released();

  private:
    struct Run {
        EncoderJob job;
        FileOutcome verdict; // once it has ended; a part's as though the source were that long
        bool running = false;
    };

    enum class Stage {
        Parts,    // the parts are encoded
        Joining,  // the join copies them into one file
        Stopping, // a part failed, or the program ends: the encoders left are stopped
        Over,
    };

    void start(Run& run, const PlanOptions& paths, const QStringList& arguments,
               const SourceFacts& facts);
    void runEnded(const Run& run);
    // What each part wrote, as its last progress line tells.
    QList<int> partFrames() const;
    void partsEnded();
    void joinEnded();
    void end(End end, FileOutcome outcome);
    // Removes every file of the plan that this conversion wrote.
    void removeFiles();
    std::vector<Run*> runs() const; // the parts, then the join once it is there
    void stopRuns();

    const SplitPlan m_plan;
    const QString m_encoder;
    const SourceFacts m_facts;
    const PlanOptions m_paths;
    Stage m_stage = Stage::Parts;
    bool m_abandoned = false;
    bool m_listWritten = false;
    std::vector<std::unique_ptr<Run>> m_parts;
    std::unique_ptr<Run> m_join;
    FileOutcome m_failure; // the first part that failed, while the others stop
    EncoderProgress m_progress;
};
