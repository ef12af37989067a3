// SPDX-License-Identifier: MIT
// Throughput of several encoders at once: 20 sources of 10 s of 720p each,
// converted by the program's run with 1 encoder, by the run with N encoders,
// by xargs -P N with the same ffmpeg command per file, and for context by
// xargs -P 1 and by the run with N encoders where it finds no ffprobe.
// The ways take turns, in alternating order from round to round; each way's
// median round is reported, with the goals for N encoders: within 5 % of
// xargs -P N, and at most 0.70 of the run with 1 encoder.
//
// Processor time is told too: the bench's own children's, and what the rest
// of the machine used meanwhile, which disturbs the figures.
//
//   bench_throughput [encoders] [rounds]
//
// encoders defaults to the processor count, rounds to 1.

#include "benchtools.h"
#include "convert/conversionplan.h"
#include "convert/conversionrun.h"
#include "convert/encodercommand.h"
#include "convert/outputnaming.h"
#include "convert/sourcefacts.h"
#include "filelist/filelistmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using bench::allOutputs;
using bench::median;
using bench::removeOutputs;
using bench::run;

constexpr int Files = 20;

// Whether the run gives the source exactly the plain command that xargs runs:
// only then do the ways compare the same encoder work.
bool getsPlainCommand(const QString& ffprobe, const QString& source) {
    QProcess probe;
    probe.setStandardInputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start(ffprobe, probeArguments(source));
    if (!probe.waitForFinished(-1) || probe.exitCode() != 0)
        return false;
    const std::optional<SourceRecord> record = readProbeOutput(probe.readAllStandardOutput());
    const PlanOptions paths{source, outputPathFor(source)};
    return record && planFor(factsOf(*record), paths) == planFor({}, paths);
}

// Processor time of this process (RUSAGE_SELF) or of the children reaped so
// far (RUSAGE_CHILDREN), grandchildren under xargs included.
double usedSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor time the whole machine spent busy, from /proc/stat; 0 where unreadable.
double machineSeconds() {
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

struct Way {
    Way(QString wayName, std::function<bool()> wayConvert)
        : name(std::move(wayName)), convert(std::move(wayConvert)) {}
    QString name;
    std::function<bool()> convert;
    std::vector<double> seconds;
    std::vector<double> cpuSeconds;
    std::vector<double> othersSeconds;
    std::vector<double> underWay; // the run's files under way on average
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int encoders = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt())
                                  : std::max(1, QThread::idealThreadCount());
    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 1;
    QTextStream out(stdout);
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    const QString xargs = QStandardPaths::findExecutable(QStringLiteral("xargs"));
    if (ffmpeg.isEmpty() || ffprobe.isEmpty() || xargs.isEmpty()) {
        std::fputs("ffmpeg, ffprobe and xargs are needed on PATH\n", stderr);
        return 1;
    }

    // One source made once and copied: each copy is still converted on its own.
    QTemporaryDir folder, emptyProgramFolder;
    QElapsedTimer making;
    making.start();
    const QString first = folder.filePath(QStringLiteral("clip 01.mkv"));
    if (!run(ffmpeg,
             {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
              QStringLiteral("testsrc2=size=1280x720:rate=25:duration=10"), QStringLiteral("-f"),
              QStringLiteral("lavfi"), QStringLiteral("-i"),
              QStringLiteral("sine=frequency=440:duration=10"), QStringLiteral("-c:v"),
              QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
              QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-c:a"),
              QStringLiteral("aac"), QStringLiteral("-shortest"), first})) {
        std::fputs("could not make the test video\n", stderr);
        return 1;
    }
    QStringList sources{first};
    for (int i = 2; i <= Files; ++i) {
        const QString copy =
            folder.filePath(QStringLiteral("clip %1.mkv").arg(i, 2, 10, QLatin1Char('0')));
        if (!QFile::copy(first, copy)) {
            std::fputs("could not copy the test video\n", stderr);
            return 1;
        }
        sources << copy;
    }
    if (!getsPlainCommand(ffprobe, first)) {
        std::fputs("the run would not give the test video the plain command\n", stderr);
        return 1;
    }
    out << "made " << Files << " sources of 10 s of 1280x720 in "
        << QString::number(double(making.elapsed()) / 1000.0, 'f', 1) << " s\n";
    out.flush();

    FileListModel list;
    list.insertEntries(1, sources);
    // The run as it is, and a run that finds no ffprobe: its program folder
    // holds the encoder alone, and PATH names only that folder while it starts.
    ConversionRun conversion(list, emptyProgramFolder.path());
    QTemporaryDir encoderOnly;
    if (!QFile::link(ffmpeg, encoderOnly.filePath(QStringLiteral("ffmpeg")))) {
        std::fputs("could not place the encoder without ffprobe\n", stderr);
        return 1;
    }
    ConversionRun unprobed(list, encoderOnly.path());
    int notConverted = -1;
    QEventLoop runEnded;
    // From each file's start to its end, summed: over the wall time, how many
    // slots were busy on average.
    QElapsedTimer runClock;
    QHash<QString, qint64> begunAt;
    qint64 busyNs = 0;
    for (ConversionRun* each : {&conversion, &unprobed}) {
        QObject::connect(each, &ConversionRun::finished, [&](const ConversionReport& report) {
            notConverted = report.batch - report.attempted + report.failed + report.partial;
            runEnded.quit();
        });
        QObject::connect(each, &ConversionRun::fileBegun, [&](int, const QString& source) {
            begunAt[source] = runClock.nsecsElapsed();
        });
        QObject::connect(each, &ConversionRun::fileFinished, [&](const FileOutcome& outcome) {
            busyNs += runClock.nsecsElapsed() - begunAt.value(outcome.source);
        });
    }
    double underWay = 0.0;
    const auto byRun = [&](ConversionRun& run, int count) {
        return [&, count] {
            run.setEncoders(count);
            busyNs = 0;
            const QByteArray path = qgetenv("PATH");
            if (&run == &unprobed)
                qputenv("PATH", QFile::encodeName(encoderOnly.path()));
            runClock.start();
            run.start();
            qputenv("PATH", path);
            runEnded.exec();
            underWay = double(busyNs) / double(runClock.nsecsElapsed());
            return notConverted == 0;
        };
    };
    // A shell only to name the output; the encoder gets the run's plain command.
    const QString encode =
        QStringLiteral("exec \"$0\" -i \"$1\" -map 0:0 -an -vcodec wmv2 -b 5872k "
                       "-r 25.00 \"${1%.*}.wmv\" </dev/null >/dev/null 2>&1");
    const auto byXargs = [&](int count, const QString& script) {
        return [&, count, script] {
            QProcess process;
            process.setStandardOutputFile(QProcess::nullDevice());
            process.setStandardErrorFile(QProcess::nullDevice());
            process.start(xargs, {QStringLiteral("-0"), QStringLiteral("-n"), QStringLiteral("1"),
                                  QStringLiteral("-P"), QString::number(count),
                                  QStringLiteral("sh"), QStringLiteral("-c"), script, ffmpeg});
            for (const QString& source : sources)
                process.write(QFile::encodeName(source) + '\0');
            process.closeWriteChannel();
            return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                   process.exitCode() == 0;
        };
    };
    std::vector<Way> ways;
    ways.push_back({QStringLiteral("(a) run, 1 encoder"), byRun(conversion, 1)});
    ways.push_back(
        {QStringLiteral("(b) run, %1 encoders").arg(encoders), byRun(conversion, encoders)});
    ways.push_back({QStringLiteral("(c) xargs -P %1").arg(encoders), byXargs(encoders, encode)});
    ways.push_back({QStringLiteral("(d) xargs -P 1"), byXargs(1, encode)});
    ways.push_back({QStringLiteral("(e) run, %1 encoders, no ffprobe").arg(encoders),
                    byRun(unprobed, encoders)});

    for (int round = 0; round < rounds; ++round) {
        // Forward, then backward: a way never always follows the same one.
        std::vector<Way*> order;
        for (Way& way : ways)
            order.push_back(&way);
        if (round % 2 != 0)
            std::reverse(order.begin(), order.end());
        for (Way* way : order) {
            removeOutputs(sources);
            underWay = 0.0;
            const double childrenBefore = usedSeconds(RUSAGE_CHILDREN);
            const double ownBefore = usedSeconds(RUSAGE_SELF);
            const double machineBefore = machineSeconds();
            QElapsedTimer timer;
            timer.start();
            const bool ok = way->convert();
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            const double mine = usedSeconds(RUSAGE_CHILDREN) - childrenBefore +
                                usedSeconds(RUSAGE_SELF) - ownBefore;
            way->seconds.push_back(seconds);
            way->cpuSeconds.push_back(mine);
            way->othersSeconds.push_back(std::max(0.0, machineSeconds() - machineBefore - mine));
            way->underWay.push_back(underWay);
            if (!ok || !allOutputs(sources)) {
                std::fprintf(stderr, "%s did not convert every file\n", qPrintable(way->name));
                return 1;
            }
            out << QStringLiteral("round %1: %2 %3 s, processor time %4 s, others %5 s\n")
                       .arg(round + 1)
                       .arg(way->name, -32)
                       .arg(seconds, 6, 'f', 2)
                       .arg(way->cpuSeconds.back(), 0, 'f', 1)
                       .arg(way->othersSeconds.back(), 0, 'f', 1);
            out.flush();
        }
    }
    removeOutputs(sources);

    out << "files: " << Files << " x 10 s of 1280x720, rounds: " << rounds
        << ", processors: " << QThread::idealThreadCount() << ", encoder: " << ffmpeg << "\n";
    for (const Way& way : ways) {
        const double seconds = median(way.seconds);
        const double cpu = median(way.cpuSeconds);
        out << QStringLiteral("%1 median %2 s, %3 s per file, processor time %4 s (%5 busy), "
                              "others %6 s")
                   .arg(way.name, -32)
                   .arg(seconds, 6, 'f', 2)
                   .arg(seconds / Files, 0, 'f', 2)
                   .arg(cpu, 0, 'f', 1)
                   .arg(cpu / seconds, 0, 'f', 2)
                   .arg(median(way.othersSeconds), 0, 'f', 1);
        if (median(way.underWay) > 0.0)
            out << QStringLiteral(", %1 files under way").arg(median(way.underWay), 0, 'f', 2);
        out << "\n";
    }
    const double a = median(ways[0].seconds);
    const double b = median(ways[1].seconds);
    const double c = median(ways[2].seconds);
    const double d = median(ways[3].seconds);
    const double e = median(ways[4].seconds);
    const auto verdict = [](bool met) {
        return met ? QStringLiteral("met") : QStringLiteral("NOT met");
    };
    out << QStringLiteral("(b)/(c) = %1, goal <= 1.05: %2\n")
               .arg(b / c, 0, 'f', 3)
               .arg(verdict(b / c <= 1.05));
    out << QStringLiteral("(b)/(a) = %1, goal <= 0.70: %2\n")
               .arg(b / a, 0, 'f', 3)
               .arg(verdict(b / a <= 0.70));
    out << QStringLiteral("context: (a)/(d) = %1, (c)/(d) = %2, (b)/(e) = %3, (e)/(c) = %4\n")
               .arg(a / d, 0, 'f', 3)
               .arg(c / d, 0, 'f', 3)
               .arg(b / e, 0, 'f', 3)
               .arg(e / c, 0, 'f', 3);
    return 0;
}
