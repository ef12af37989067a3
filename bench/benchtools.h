// SPDX-License-Identifier: MIT
#pragma once

// What the conversion benches share: running one program to its end, the
// outputs of a batch, and the median of the rounds.

#include "convert/outputnaming.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace bench {

// Runs the program to its end, with nothing read or shown; true when it ended with 0.
inline bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

inline void removeOutputs(const QStringList& sources) {
    for (const QString& source : sources)
        QFile::remove(outputPathFor(source));
}

// Every source has an output that holds something.
inline bool allOutputs(const QStringList& sources) {
    return std::all_of(sources.begin(), sources.end(), [](const QString& source) {
        const QFileInfo output(outputPathFor(source));
        return output.isFile() && output.size() > 0;
    });
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace bench
