// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

// What became of one file of a run, as data: a verdict, its cause and what
// the window needs to word it. No sentence is made here.
struct FileOutcome {
    Q_GADGET
  public:
    enum class Verdict {
        Converted,
        Partial, // its output holds all the source had, which is less than it states
        Failed,  // nothing of it is left under the output's name
    };
    Q_ENUM(Verdict)

    enum class Cause {
        None,              // converted
        EmptyEntry,        // the list entry holds no path
        NotRegularFile,    // a folder, pipe or device
        SourceUnreadable,  // the user may not read the source
        OutputIsSource,    // the output's name reaches the source itself
        EncoderMissing,    // data: tool (the program folder's), toolName
        EncoderNotStarted, // data: tool, detail (the system's words)
        EncoderCrashed,
        ExitCode,         // data: exitCode
        NoOutputWritten,  // it ended with 0 and wrote nothing
        OutputExists,     // a file was there already, and is left as it is
        OutputUnwritable, // the user may not write in the output's folder
        ReadOnlyFolder,   // the output's folder is on a read-only file system
        WriteFailed,
        DiskFull,
        NoVideo,             // no stream but cover pictures or sound
        FirstStreamNotVideo, // data: tool, the probe tool that could not read it; empty: none
        PictureSize,         // data: width and height, where known
        NoPictures,          // the video ends before its first picture
        SourceMissing,
        UnreadableData, // damaged, or not a video
        NoDecoder,      // this encoder cannot decode the video's codec
        Unsupported,    // encrypted, or stored in a way the encoder cannot read
        RetakeBlocked,  // a first attempt's output could not be removed
        Interrupted,    // the run was stopped while it was under way
        EndsEarly,      // partial: data: secondsConverted, secondsStated
    };
    Q_ENUM(Cause)

    QString source;
    QString output;
    Verdict verdict = Verdict::Converted;
    Cause cause = Cause::None;
    // The encoder's line that told the cause, or its last complaint: shown
    // after the plain cause, never in its place.
    QString detail;
    QString tool;     // the encoder, or where it was looked for first
    QString toolName; // its file name, as looked for on PATH
    int exitCode = 0;
    int width = 0;
    int height = 0;
    double secondsConverted = 0.0;
    double secondsStated = 0.0;
    // A failed file whose incomplete output could not be removed.
    bool outputLeft = false;
    double seconds = 0.0; // from its start to its end, set by the run

    static FileOutcome success(QString source) {
        FileOutcome outcome;
        outcome.source = std::move(source);
        return outcome;
    }
    static FileOutcome failure(QString source, Cause cause) {
        FileOutcome outcome;
        outcome.source = std::move(source);
        outcome.verdict = Verdict::Failed;
        outcome.cause = cause;
        return outcome;
    }
    bool converted() const { return verdict == Verdict::Converted; }
};

// How a run ended, as data for the window to tell.
struct ConversionReport {
    // The failed and partial files kept by name; beyond this many only their
    // number is kept, as no message could show them all.
    static constexpr int FailuresKept = 1000;

    int batch = 0;     // entries in the list when Start was pressed
    int attempted = 0; // files begun: converted, partial or failed
    int failed = 0;
    int partial = 0;
    // The first FailuresKept outcomes that were not whole conversions, in the order they came.
    QList<FileOutcome> failures;
};

// One file under way, and how far its encoder has got with it.
struct FileProgress {
    int number = 0; // the number-th file of the run to begin
    QString source;
    std::optional<double> share; // from 0 to 1; empty until the file's length is known
};

// Where a run is, for the status beside the bar: the files under way.
struct RunProgress {
    QList<FileProgress> files;         // in the order they began
    int batchSize = 0;                 // files begun, and those of the batch still waiting
    std::optional<double> secondsLeft; // for the whole batch, from the pace of all encoders
    double batchShare = 0.0;           // from 0 to 1, the parts of the files under way counted
};

Q_DECLARE_METATYPE(ConversionReport)
Q_DECLARE_METATYPE(RunProgress)
