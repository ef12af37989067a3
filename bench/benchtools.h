// SPDX-License-Identifier: MIT
#pragma once

// What the conversion benches share: running one program to its end, the
// sources they make, the outputs of a batch, processor time, and the median
// of the rounds.

#include "convert/conversionplan.h"
#include "convert/outputnaming.h"
#include "convert/sourcefacts.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace bench {

// The tools the benches run beside the program, from PATH; none, said on
// standard error, when one is missing.
struct Tools {
    QString ffmpeg;
    QString ffprobe;
    QString xargs;
};
inline std::optional<Tools> findTools() {
    Tools tools{QStandardPaths::findExecutable(QStringLiteral("ffmpeg")),
                QStandardPaths::findExecutable(QStringLiteral("ffprobe")),
                QStandardPaths::findExecutable(QStringLiteral("xargs"))};
    if (tools.ffmpeg.isEmpty() || tools.ffprobe.isEmpty() || tools.xargs.isEmpty()) {
        std::fputs("ffmpeg, ffprobe and xargs are needed on PATH\n", stderr);
        return std::nullopt;
    }
    return tools;
}

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

// A source of that many seconds of 1280x720 H.264 with sound; false when it cannot be made.
inline bool makeSource(const QString& ffmpeg, const QString& path, int seconds) {
    return run(ffmpeg,
               {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                QStringLiteral("testsrc2=size=1280x720:rate=25:duration=%1").arg(seconds),
                QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                QStringLiteral("sine=frequency=440:duration=%1").arg(seconds),
                QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-shortest"), path});
}

// Whether the run gives the source exactly the plain command that xargs runs:
// only then do the ways compare the same encoder work.
inline bool getsPlainCommand(const QString& ffprobe, const QString& source) {
    QProcess probe;
    probe.setStandardInputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start(ffprobe, probeArguments(source));
    if (!probe.waitForFinished(-1) || probe.exitCode() != 0)
        return false;
    const std::optional<SourceRecord> record = readProbeOutput(probe.readAllStandardOutput());
    const PlanOptions paths{source, outputPathFor(source)};
    return record && planFor(factsOf(*record), paths).runs == planFor({}, paths).runs;
}

// Processor time of this process (RUSAGE_SELF) or of the children reaped so
// far (RUSAGE_CHILDREN), grandchildren under xargs included.
inline double usedSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor time the whole machine spent busy, from /proc/stat; 0 where unreadable.
inline double machineSeconds() {
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0.0;
    // cpu user nice system idle iowait irq softirq steal
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    if (fields.size() < 9 || fields[0] != "cpu")
        return 0.0;
    double ticks = 0.0;
    for (int i : {1, 2, 3, 6, 7, 8})
        ticks += fields[i].toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
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
