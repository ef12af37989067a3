// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

// What became of one file of a run.
struct FileOutcome {
    enum class Verdict {
        Converted,
        Partial, // its output holds all the source had, which is less than it states
        Failed,  // nothing of it is left under the output's name
    };

    QString source;
    Verdict verdict = Verdict::Converted;
    // Why it failed or is partial, as a sentence the window can show as it
    // is; empty when it was converted.
    QString reason;

    static FileOutcome success(QString source) {
        return {std::move(source), Verdict::Converted, {}};
    }
    static FileOutcome partial(QString source, QString reason) {
        return {std::move(source), Verdict::Partial, std::move(reason)};
    }
    static FileOutcome failure(QString source, QString reason) {
        return {std::move(source), Verdict::Failed, std::move(reason)};
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
