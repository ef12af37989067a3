// SPDX-License-Identifier: MIT
// Throughput of several encoders at once, in three sets of rounds:
//
//   batch    20 sources of 10 s of 720p each, converted by the program's run
//            with 1 encoder, by the run with N encoders, by xargs -P N with the
//            same ffmpeg command per file, and for context by xargs -P 1 and by
//            the run with N encoders where it finds no ffprobe. Goals for N
//            encoders: within 5 % of xargs -P N, at most 0.70 of 1 encoder.
//   long     one source of 60 s of 720p, then three, each converted by the
//            run with 1 encoder, by the run with N encoders, which cuts a lone
//            file into parts, and by ffmpeg alone, one file at a time. The
//            limit is that ffmpeg's processor time over the N processors.
//            Goals for one file: N encoders take at most 0.88 of 1 encoder,
//            and at most 1.10 of the limit.
//   lengths  one source each of 8, 12, 20, 30 and 60 s: the run with 1 encoder
//            and with N, to show from what length parts pay.
//
// The ways of a set take turns, in alternating order from round to round;
// each way's median round is reported. Processor time is told too: the
// bench's own children's, and what the rest of the machine used meanwhile,
// which disturbs the figures.
//
//   bench_throughput [encoders] [rounds] [batch|long|lengths|all]
//
// encoders defaults to the processor count, rounds to 1, the sets to batch and long.

#include "benchtools.h"
#include "convert/conversionrun.h"
#include "convert/outputnaming.h"
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

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using bench::allOutputs;
using bench::getsPlainCommand;
using bench::machineSeconds;
using bench::makeSource;
using bench::median;
using bench::removeOutputs;
using bench::run;
using bench::usedSeconds;

constexpr int Files = 20;

struct Way {
    Way(QString wayName, QStringList waySources, std::function<bool()> wayConvert)
        : name(std::move(wayName)), sources(std::move(waySources)), convert(std::move(wayConvert)) {
    }
    QString name;
    QStringList sources;
    std::function<bool()> convert;
    std::vector<double> seconds;
    std::vector<double> cpuSeconds;
    std::vector<double> othersSeconds;
    std::vector<double> underWay; // the run's files under way on average
};

// Copies of one source: each copy is still converted on its own.
QStringList copies(const QString& first, int count) {
    QStringList sources{first};
    for (int i = 2; i <= count; ++i) {
        QString copy = first;
        copy.replace(QStringLiteral(" 01."),
                     QStringLiteral(" %1.").arg(i, 2, 10, QLatin1Char('0')));
        if (!QFile::copy(first, copy))
            return {};
        sources << copy;
    }
    return sources;
}

// Runs the ways of one set for the rounds asked; false when a way failed.
bool runRounds(std::vector<Way>& ways, int rounds, double& underWay, QTextStream& out) {
    for (int round = 0; round < rounds; ++round) {
        // Forward, then backward: a way never always follows the same one.
        std::vector<Way*> order;
        for (Way& way : ways)
            order.push_back(&way);
        if (round % 2 != 0)
            std::reverse(order.begin(), order.end());
        for (Way* way : order) {
            removeOutputs(way->sources);
            underWay = 0.0;
            const double childrenBefore = usedSeconds(RUSAGE_CHILDREN);
            const double ownBefore = usedSeconds(RUSAGE_SELF);
            const double machineBefore = machineSeconds();
            QElapsedTimer timer;
            timer.start();
            const bool ok = way->convert();
            const double seconds = double(timer.nsecsElapsed()) / 1e9;
            const double own = usedSeconds(RUSAGE_SELF) - ownBefore;
            const double mine = usedSeconds(RUSAGE_CHILDREN) - childrenBefore + own;
            way->seconds.push_back(seconds);
            way->cpuSeconds.push_back(mine);
            way->othersSeconds.push_back(std::max(0.0, machineSeconds() - machineBefore - mine));
            way->underWay.push_back(underWay);
            if (!ok || !allOutputs(way->sources)) {
                std::fprintf(stderr, "%s did not convert every file\n", qPrintable(way->name));
                return false;
            }
            out << QStringLiteral("round %1: %2 %3 s, processor time %4 s (the bench's own "
                                  "%5 s), others %6 s\n")
                       .arg(round + 1)
                       .arg(way->name, -36)
                       .arg(seconds, 6, 'f', 2)
                       .arg(way->cpuSeconds.back(), 0, 'f', 1)
                       .arg(own, 0, 'f', 2)
                       .arg(way->othersSeconds.back(), 0, 'f', 1);
            out.flush();
            removeOutputs(way->sources);
        }
    }
    for (const Way& way : ways) {
        const double seconds = median(way.seconds);
        const double cpu = median(way.cpuSeconds);
        out << QStringLiteral("%1 median %2 s, %3 s per file, processor time %4 s (%5 busy), "
                              "others %6 s")
                   .arg(way.name, -36)
                   .arg(seconds, 6, 'f', 2)
                   .arg(seconds / double(way.sources.size()), 0, 'f', 2)
                   .arg(cpu, 0, 'f', 1)
                   .arg(cpu / seconds, 0, 'f', 2)
                   .arg(median(way.othersSeconds), 0, 'f', 1);
        if (median(way.underWay) > 0.0)
            out << QStringLiteral(", %1 files under way").arg(median(way.underWay), 0, 'f', 2);
        out << "\n";
    }
    return true;
}

QString verdict(bool met) {
    return met ? QStringLiteral("met") : QStringLiteral("NOT met");
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int encoders = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt())
                                  : std::max(1, QThread::idealThreadCount());
    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 1;
    const QByteArray set = argc > 3 ? QByteArray(argv[3]) : QByteArray("batch+long");
    const bool all = set == "all";
    const bool batchSet = all || set.contains("batch");
    const bool longSet = all || set.contains("long");
    const bool lengthsSet = all || set.contains("lengths");
    QTextStream out(stdout);
    const std::optional<bench::Tools> tools = bench::findTools();
    if (!tools)
        return 1;
    const QString& ffmpeg = tools->ffmpeg;
    const QString& ffprobe = tools->ffprobe;
    const QString& xargs = tools->xargs;

    QTemporaryDir folder, emptyProgramFolder;
    QElapsedTimer making;
    making.start();
    const auto made = [&](const QString& name, int seconds, int count) {
        const QString first = folder.filePath(name + QStringLiteral(" 01.mkv"));
        if (!makeSource(ffmpeg, first, seconds) || !getsPlainCommand(ffprobe, first))
            return QStringList();
        return copies(first, count);
    };
    const QStringList batch = batchSet ? made(QStringLiteral("clip"), 10, Files) : QStringList();
    const QStringList longOnes = longSet ? made(QStringLiteral("film"), 60, 3) : QStringList();
    std::vector<QStringList> byLength;
    const std::vector<int> lengths{8, 12, 20, 30, 60};
    for (int length : lengths)
        byLength.push_back(lengthsSet ? made(QStringLiteral("length %1").arg(length), length, 1)
                                      : QStringList());
    if ((batchSet && batch.size() != Files) || (longSet && longOnes.size() != 3) ||
        std::any_of(byLength.begin(), byLength.end(),
                    [&](const QStringList& one) { return lengthsSet && one.size() != 1; })) {
        std::fputs("could not make the test videos, or the run would not give them the plain "
                   "command\n",
                   stderr);
        return 1;
    }
    out << "made the sources in " << QString::number(double(making.elapsed()) / 1000.0, 'f', 1)
        << " s\n";
    out.flush();

    // The run as it is, and a run that finds no ffprobe: its program folder
    // holds the encoder alone, and PATH names only that folder while it starts.
    FileListModel list;
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
    const auto byRun = [&](ConversionRun& run, int count, const QStringList& sources) {
        return [&, count, sources] {
            while (list.count() > 0)
                list.removeEntry(list.index(0));
            list.insertEntries(1, sources);
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
    const auto byXargs = [&](int count, const QStringList& sources) {
        return [&, count, sources] {
            QProcess process;
            process.setStandardOutputFile(QProcess::nullDevice());
            process.setStandardErrorFile(QProcess::nullDevice());
            process.start(xargs, {QStringLiteral("-0"), QStringLiteral("-n"), QStringLiteral("1"),
                                  QStringLiteral("-P"), QString::number(count),
                                  QStringLiteral("sh"), QStringLiteral("-c"), encode, ffmpeg});
            for (const QString& source : sources)
                process.write(QFile::encodeName(source) + '\0');
            process.closeWriteChannel();
            return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                   process.exitCode() == 0;
        };
    };
    out << "rounds: " << rounds << ", processors: " << QThread::idealThreadCount()
        << ", encoder: " << ffmpeg << "\n";

    if (batchSet) {
        out << "\nbatch: " << Files << " x 10 s of 1280x720\n";
        std::vector<Way> ways;
        ways.push_back({QStringLiteral("(a) run, 1 encoder"), batch, byRun(conversion, 1, batch)});
        ways.push_back({QStringLiteral("(b) run, %1 encoders").arg(encoders), batch,
                        byRun(conversion, encoders, batch)});
        ways.push_back(
            {QStringLiteral("(c) xargs -P %1").arg(encoders), batch, byXargs(encoders, batch)});
        ways.push_back({QStringLiteral("(d) xargs -P 1"), batch, byXargs(1, batch)});
        ways.push_back({QStringLiteral("(e) run, %1 encoders, no ffprobe").arg(encoders), batch,
                        byRun(unprobed, encoders, batch)});
        if (!runRounds(ways, rounds, underWay, out))
            return 1;
        const double a = median(ways[0].seconds);
        const double b = median(ways[1].seconds);
        const double c = median(ways[2].seconds);
        const double d = median(ways[3].seconds);
        const double e = median(ways[4].seconds);
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
    }

    if (longSet) {
        for (const qsizetype count : {1, 3}) {
            const QStringList sources = longOnes.mid(0, count);
            out << "\nlong: " << count << " x 60 s of 1280x720\n";
            std::vector<Way> ways;
            ways.push_back(
                {QStringLiteral("(f) run, 1 encoder"), sources, byRun(conversion, 1, sources)});
            ways.push_back({QStringLiteral("(g) run, %1 encoders").arg(encoders), sources,
                            byRun(conversion, encoders, sources)});
            ways.push_back(
                {QStringLiteral("(h) ffmpeg alone, one at a time"), sources, byXargs(1, sources)});
            if (!runRounds(ways, rounds, underWay, out))
                return 1;
            const double f = median(ways[0].seconds);
            const double g = median(ways[1].seconds);
            const double limit = median(ways[2].cpuSeconds) / encoders;
            out << QStringLiteral("limit: (h)'s processor time over %1 processors = %2 s\n")
                       .arg(encoders)
                       .arg(limit, 0, 'f', 2);
            out << QStringLiteral("(g)/(f) = %1").arg(g / f, 0, 'f', 3);
            if (count == 1)
                out << QStringLiteral(", goal <= 0.88: %1").arg(verdict(g / f <= 0.88));
            out << QStringLiteral("\n(g)/limit = %1").arg(g / limit, 0, 'f', 3);
            if (count == 1)
                out << QStringLiteral(", goal <= 1.10: %1").arg(verdict(g / limit <= 1.10));
            out << "\n";
        }
    }

    if (lengthsSet) {
        out << "\nlengths: one file of 1280x720 each\n";
        std::vector<Way> ways;
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            ways.push_back({QStringLiteral("%1 s, run, 1 encoder").arg(lengths[i]), byLength[i],
                            byRun(conversion, 1, byLength[i])});
            ways.push_back({QStringLiteral("%1 s, run, %2 encoders").arg(lengths[i]).arg(encoders),
                            byLength[i], byRun(conversion, encoders, byLength[i])});
        }
        if (!runRounds(ways, rounds, underWay, out))
            return 1;
        for (std::size_t i = 0; i < lengths.size(); ++i)
            out << QStringLiteral("%1 s: %2 encoders / 1 encoder = %3\n")
                       .arg(lengths[i])
                       .arg(encoders)
                       .arg(median(ways[2 * i + 1].seconds) / median(ways[2 * i].seconds), 0, 'f',
                            3);
    }
    return 0;
}
