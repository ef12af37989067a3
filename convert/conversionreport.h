// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

// What became of one file of a run.
struct FileOutcome {
    QString source;
    // Empty when the file was converted; otherwise why not, as a sentence
    // the window can show as it is.
    QString failure;

    bool converted() const { return failure.isEmpty(); }
};

// How a run ended, as data for the window to tell.
struct ConversionReport {
    // The failures kept by name; beyond this many only their number is kept,
    // as no message could show them all.
    static constexpr int FailuresKept = 1000;

    int batch = 0;     // entries in the list when Start was pressed
    int attempted = 0; // files begun: converted or failed
    int failed = 0;
    QList<FileOutcome> failures; // the first FailuresKept failures, in the order they came
};

// Where a run is, for the status beside the bar: the file under way and how
// far the encoder has got with it.
struct RunProgress {
    int number = 0;    // the file under way is the number-th of the run to begin
    int batchSize = 0; // files begun, and those of the batch still waiting
    QString source;
    std::optional<double> fileShare;   // from 0 to 1; empty until the file's length is known
    std::optional<double> secondsLeft; // for the whole batch, from the pace so far
    double batchShare = 0.0;           // from 0 to 1, the part of the file under way counted
};

Q_DECLARE_METATYPE(ConversionReport)
Q_DECLARE_METATYPE(RunProgress)
