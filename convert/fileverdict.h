// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionplan.h"
#include "convert/conversionreport.h"
#include "convert/encoderoutput.h"
#include "convert/sourcefacts.h"

#include <QDateTime>
#include <QString>

// How an encoder process ended.
struct EncoderEnd {
    enum class Kind {
        Exited,        // ended on its own; exitCode holds its code
        Crashed,       // killed by a signal or crashed
        FailedToStart, // never ran; errorText says why
        Running,       // under way, or stopped before its end was seen
    };
    Kind kind = Kind::FailedToStart;
    int exitCode = 0;
    QString errorText;
};

// What a path held, to tell whether the encoder wrote it: an encoder may
// refuse to overwrite and still end with 0.
struct OutputState {
    bool exists = false;
    QDateTime modified;
    qint64 size = -1;
    static OutputState of(const QString& path);
    bool operator==(const OutputState&) const = default;
};

// One encoder run as it ended.
struct FinishedRun {
    QString encoder; // the program that ran
    EncoderEnd end;
    EncoderFindings findings;
    OutputState before; // the output's name when the encoder started
    OutputState after;  // and when it ended
};

// The verdict on a file from its encoder's last run and what the source
// holds. A failure names its cause in the encoder's own line only as detail.
FileOutcome verdictOf(const QString& source, const QString& output, const SourceFacts& facts,
                      const FinishedRun& run);

// Removes the file a run left under path, if it is that run's own: the run
// started, nothing was there when it did, and it did not decline a file that
// appeared meanwhile. The encoder never overwrites, so what it did not
// decline is its own. False when such a file is there and cannot be removed.
bool removeRunOutput(const QString& path, const FinishedRun& run);

// Whether a run of the command that needs no facts gives way to the plan the
// probe tool's facts call for: the facts its listing gave call for another
// plan, or it told a first stream that is not a video or an odd width. Never
// where the output was there before the run: that is declined whatever the
// plan, as the run's own end tells.
bool wantsRetake(const FinishedRun& run, const SourceFacts& listed, const PlanOptions& paths);
