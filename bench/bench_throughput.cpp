// SPDX-License-Identifier: MIT
// Throughput of several encoders at once. Each set converts its sources in
// several ways, which take turns in alternating order from round to round;
// each way's median round counts. N is the encoders asked for.
//
//   film   one source of 60 s of 720p: the run with 1 encoder and with N,
//          which cuts a lone file into parts. Goal: N take at most 1.00 of 1.
//   three  three sources of 60 s: the run with 1 encoder, with N, and ffmpeg
//          alone one file at a time. The limit is ffmpeg's processor time
//          over N processors. Goal: N encoders take at most 1.08 of the limit.
//   mixed  one source of 90 s, then four of 15 s: the same ways, limit and goal.
//   batch  20 sources of 10 s: the run with 1 encoder, with N, xargs -P N with
//          the same ffmpeg command per file, and for context xargs -P 1 and
//          the run with N where it finds no ffprobe. Goals for N encoders:
//          at most 1.05 of xargs -P N, at most 0.70 of 1 encoder.
//   trace  the mixed batch once with N encoders, through a program folder
//          whose ffmpeg is a script that logs each start and end and runs the
//          real one: which encoder slot took which whole file, part or join.
//
// At the end the goals' rows stand side by side, each ratio beside its goal.
// Processor time is told too: the bench's own children's, and what the rest
// of the machine used meanwhile, which disturbs the figures.
//
//   bench_throughput [encoders] [rounds] [film|three|mixed|batch|trace|all ...]
//
// encoders defaults to the processor count, rounds to 1, the sets to all,
// which is every set but trace.

#include "benchtools.h"
#include "common/windowops.h"
#include "convert/conversionrun.h"
#include "convert/encodercommand.h"
#include "convert/outputnaming.h"
#include "filelist/filelistmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
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

// One goal: a ratio of medians and the most it may be.
struct Goal {
    QString set;
    QString measure;
    double ratio;
    double most;
};

void printGoals(const std::vector<Goal>& goals, QTextStream& out) {
    if (goals.empty())
        return;
    out << "\n"
        << QStringLiteral("%1 %2 %3 %4\n")
               .arg(QStringLiteral("set"), -18)
               .arg(QStringLiteral("measure"), -26)
               .arg(QStringLiteral("ratio"), 6)
               .arg(QStringLiteral("goal"), 8);
    for (const Goal& goal : goals)
        out << QStringLiteral("%1 %2 %3 %4 %5\n")
                   .arg(goal.set, -18)
                   .arg(goal.measure, -26)
                   .arg(goal.ratio, 6, 'f', 3)
                   .arg(QStringLiteral("<= %1").arg(goal.most, 0, 'f', 2), 8)
                   .arg(goal.ratio <= goal.most ? QStringLiteral("met") : QStringLiteral("missed"));
}

// A script, readable and runnable by its owner only.
bool writeScript(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A path as one word of sh, whatever it holds.
QByteArray shellWord(const QString& path) {
    QByteArray word = QFile::encodeName(path);
    word.replace("'", "'\\''");
    return "'" + word + "'";
}

// The stand-in tools of the trace: the probe tool as it is, and an encoder
// that logs "start <epoch ms> <pid> <arguments>", then becomes the real one,
// so that a stop reaches the encoder itself. A watcher apart logs "end
// <epoch ms> <pid> -" once that pid is gone; the exit code is not seen.
bool placeLoggingTools(const QString& folder, const QString& log, const QString& ffmpeg,
                       const QString& ffprobe) {
    const QByteArray logWord = shellWord(log);
    const QByteArray encoder = "#!/bin/sh\n"
                               "printf '%s\\n' \"start $(date +%s%3N) $$ $*\" >>" +
                               logWord +
                               "\npid=$$\n"
                               "(while kill -0 $pid 2>/dev/null; do sleep 0.02; done;"
                               " printf '%s\\n' \"end $(date +%s%3N) $pid -\" >>" +
                               logWord + ") </dev/null >/dev/null 2>&1 &\nexec " +
                               shellWord(ffmpeg) + " \"$@\"\n";
    const QByteArray probe = "#!/bin/sh\nexec " + shellWord(ffprobe) + " \"$@\"\n";
    return writeScript(programFolderFile(folder, encoderFileName()), encoder) &&
           writeScript(programFolderFile(folder, probeFileName()), probe);
}

// What one encoder run was for, from its arguments: the source it serves,
// named by the longest source stem they hold, and whether it is a join, a
// part or a whole file.
QString describeRun(const QString& arguments, const QStringList& sources) {
    QString source = QStringLiteral("?");
    qsizetype longest = 0;
    for (const QString& each : sources) {
        const QString stem = QFileInfo(each).completeBaseName();
        if (stem.size() > longest && arguments.contains(stem)) {
            longest = stem.size();
            source = QFileInfo(each).fileName();
        }
    }
    static const QRegularExpression partFile(QStringLiteral("\\.part\\d+\\.mkv"));
    QString kind = QStringLiteral("whole");
    if (arguments.contains(QStringLiteral("-f concat")))
        kind = QStringLiteral("join");
    else if (arguments.contains(QStringLiteral(" -ss ")) ||
             arguments.startsWith(QStringLiteral("-ss ")) ||
             arguments.contains(QStringLiteral("-frames:v")) || arguments.contains(partFile))
        kind = QStringLiteral("part");
    return QStringLiteral("%1 %2").arg(source, -16).arg(kind);
}

// The log's runs in the order they started, each in the lowest slot free
// when it started; false when the log cannot be read or holds no run.
bool printTrace(const QString& log, const QStringList& sources, QTextStream& out) {
    // The watcher sees an encoder gone within a few of its polls.
    constexpr qint64 EndLagMs = 60;
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    struct Started {
        qint64 startMs = 0;
        qint64 endMs = -1;
        int slot = 0;
        QString exitCode = QStringLiteral("?");
        QString arguments;
    };
    std::vector<Started> runs;
    QHash<QByteArray, std::size_t> byPid; // the run a pid is under way with
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        const qint64 ms = fields[1].toLongLong();
        if (fields[0] == "start") {
            Started started;
            started.startMs = ms;
            const qsizetype skip = fields[0].size() + fields[1].size() + fields[2].size() + 3;
            started.arguments = QString::fromLocal8Bit(line.mid(skip));
            byPid.insert(fields[2], runs.size());
            runs.push_back(started);
        } else if (fields[0] == "end" && byPid.contains(fields[2])) {
            Started& ended = runs[byPid.take(fields[2])];
            ended.endMs = ms;
            ended.exitCode = QString::fromLatin1(fields.value(3));
        }
    }
    // A slot is free from its last run's end, less what the watcher lags.
    std::vector<qint64> freeFrom;
    for (Started& started : runs) {
        const auto free = std::find_if(freeFrom.begin(), freeFrom.end(), [&](qint64 from) {
            return from >= 0 && from - EndLagMs <= started.startMs;
        });
        started.slot = int(free - freeFrom.begin());
        if (free == freeFrom.end())
            freeFrom.push_back(started.endMs);
        else
            *free = started.endMs;
    }
    if (runs.empty())
        return false;
    const qint64 firstMs = runs.front().startMs;
    const auto since = [firstMs](qint64 ms) {
        return QString::number(double(ms - firstMs) / 1000.0, 'f', 2);
    };
    out << QStringLiteral("%1 %2 %3 %4 %5\n")
               .arg(QStringLiteral("slot"), 4)
               .arg(QStringLiteral("start s"), 8)
               .arg(QStringLiteral("end s"), 8)
               .arg(QStringLiteral("source           run"), -22)
               .arg(QStringLiteral("exit"));
    for (const Started& each : runs)
        out << QStringLiteral("%1 %2 %3 %4 %5\n")
                   .arg(each.slot + 1, 4)
                   .arg(since(each.startMs), 8)
                   .arg(each.endMs < 0 ? QStringLiteral("-") : since(each.endMs), 8)
                   .arg(describeRun(each.arguments, sources), -22)
                   .arg(each.exitCode);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int encoders = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt())
                                  : std::max(1, QThread::idealThreadCount());
    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 1;
    QSet<QByteArray> sets;
    for (int i = 3; i < argc; ++i)
        sets.insert(QByteArray(argv[i]));
    if (sets.isEmpty())
        sets.insert("all");
    const QList<QByteArray> known{"film", "three", "mixed", "batch", "trace", "all"};
    for (const QByteArray& name : sets)
        if (!known.contains(name)) {
            std::fprintf(stderr, "no set named %s: film, three, mixed, batch, trace or all\n",
                         name.constData());
            return 2;
        }
    const bool all = sets.contains("all");
    const bool filmSet = all || sets.contains("film");
    const bool threeSet = all || sets.contains("three");
    const bool mixedSet = all || sets.contains("mixed");
    const bool batchSet = all || sets.contains("batch");
    const bool traceSet = sets.contains("trace");
    QTextStream out(stdout);
    const std::optional<bench::Tools> tools = bench::findTools();
    if (!tools)
        return 1;
    const QString& ffmpeg = tools->ffmpeg;
    const QString& ffprobe = tools->ffprobe;
    const QString& xargs = tools->xargs;

    // Made once; every round of every set converts the same sources.
    QTemporaryDir folder, emptyProgramFolder;
    QElapsedTimer making;
    making.start();
    const auto made = [&](const QString& name, int seconds, int count) {
        const QString first = folder.filePath(name + QStringLiteral(" 01.mkv"));
        if (!makeSource(ffmpeg, first, seconds) || !getsPlainCommand(ffprobe, first))
            return QStringList();
        return copies(first, count);
    };
    const bool needFilms = filmSet || threeSet;
    const bool needMixed = mixedSet || traceSet;
    const QStringList films = needFilms ? made(QStringLiteral("film"), 60, 3) : QStringList();
    // The long file first: it is begun while every encoder is free.
    QStringList mixed;
    if (needMixed)
        mixed = made(QStringLiteral("long"), 90, 1) + made(QStringLiteral("short"), 15, 4);
    const QStringList batch = batchSet ? made(QStringLiteral("clip"), 10, Files) : QStringList();
    if ((needFilms && films.size() != 3) || (needMixed && mixed.size() != 5) ||
        (batchSet && batch.size() != Files)) {
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
    // The traced run finds the logging tools first, in its program folder.
    QTemporaryDir loggingTools;
    const QString log = loggingTools.filePath(QStringLiteral("encoders.log"));
    if (traceSet && !placeLoggingTools(loggingTools.path(), log, ffmpeg, ffprobe)) {
        std::fputs("could not place the logging tools\n", stderr);
        return 1;
    }
    ConversionRun traced(list, loggingTools.path());
    int notConverted = -1;
    QEventLoop runEnded;
    // From each file's start to its end, summed: over the wall time, how many
    // files were under way on average.
    QElapsedTimer runClock;
    QHash<QString, qint64> begunAt;
    qint64 busyNs = 0;
    for (ConversionRun* each : {&conversion, &unprobed, &traced}) {
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
        << ", encoders: " << encoders << ", encoder: " << ffmpeg << "\n";
    const QString one = QStringLiteral("run, 1 encoder");
    const QString many = QStringLiteral("run, %1 encoders").arg(encoders);
    std::vector<Goal> goals;

    if (filmSet) {
        const QString name = QStringLiteral("one 60 s film");
        const QStringList sources = films.mid(0, 1);
        out << "\n" << name << ": 1 x 60 s of 1280x720\n";
        std::vector<Way> ways;
        ways.push_back({one, sources, byRun(conversion, 1, sources)});
        ways.push_back({many, sources, byRun(conversion, encoders, sources)});
        if (!runRounds(ways, rounds, underWay, out))
            return 1;
        goals.push_back({name, QStringLiteral("%1 encoders / 1 encoder").arg(encoders),
                         median(ways[1].seconds) / median(ways[0].seconds), 1.00});
    }

    // The run with 1 encoder and with N against ffmpeg alone, one file at a
    // time, whose processor time spread over N processors is the limit.
    const auto againstLimit = [&](const QString& name, const QStringList& sources) {
        std::vector<Way> ways;
        ways.push_back({one, sources, byRun(conversion, 1, sources)});
        ways.push_back({many, sources, byRun(conversion, encoders, sources)});
        ways.push_back(
            {QStringLiteral("ffmpeg alone, one at a time"), sources, byXargs(1, sources)});
        if (!runRounds(ways, rounds, underWay, out))
            return false;
        const double limit = median(ways[2].cpuSeconds) / encoders;
        const double withOne = median(ways[0].seconds);
        const double withMany = median(ways[1].seconds);
        out << QStringLiteral("limit: ffmpeg alone's processor time over %1 processors = %2 s; "
                              "%1 encoders / 1 encoder = %3\n")
                   .arg(encoders)
                   .arg(limit, 0, 'f', 2)
                   .arg(withMany / withOne, 0, 'f', 3);
        goals.push_back(
            {name, QStringLiteral("%1 encoders / limit").arg(encoders), withMany / limit, 1.08});
        return true;
    };
    if (threeSet) {
        const QString name = QStringLiteral("three 60 s files");
        out << "\n" << name << ": 3 x 60 s of 1280x720\n";
        if (!againstLimit(name, films))
            return 1;
    }
    if (mixedSet) {
        const QString name = QStringLiteral("90 s + 4 x 15 s");
        out << "\n" << name << ": 1280x720, the 90 s first\n";
        if (!againstLimit(name, mixed))
            return 1;
    }

    if (batchSet) {
        const QString name = QStringLiteral("20-file batch");
        out << "\n" << name << ": " << Files << " x 10 s of 1280x720\n";
        std::vector<Way> ways;
        ways.push_back({one, batch, byRun(conversion, 1, batch)});
        ways.push_back({many, batch, byRun(conversion, encoders, batch)});
        ways.push_back(
            {QStringLiteral("xargs -P %1").arg(encoders), batch, byXargs(encoders, batch)});
        ways.push_back({QStringLiteral("xargs -P 1"), batch, byXargs(1, batch)});
        ways.push_back({QStringLiteral("run, %1 encoders, no ffprobe").arg(encoders), batch,
                        byRun(unprobed, encoders, batch)});
        if (!runRounds(ways, rounds, underWay, out))
            return 1;
        const double a = median(ways[0].seconds);
        const double b = median(ways[1].seconds);
        const double c = median(ways[2].seconds);
        const double d = median(ways[3].seconds);
        const double e = median(ways[4].seconds);
        out << QStringLiteral("context: 1 encoder / xargs -P 1 = %1, xargs -P %2 / xargs -P 1 = "
                              "%3, %2 encoders / no ffprobe = %4, no ffprobe / xargs -P %2 = %5\n")
                   .arg(a / d, 0, 'f', 3)
                   .arg(encoders)
                   .arg(c / d, 0, 'f', 3)
                   .arg(b / e, 0, 'f', 3)
                   .arg(e / c, 0, 'f', 3);
        goals.push_back(
            {name, QStringLiteral("%1 encoders / xargs -P %1").arg(encoders), b / c, 1.05});
        goals.push_back(
            {name, QStringLiteral("%1 encoders / 1 encoder").arg(encoders), b / a, 0.70});
    }

    if (traceSet) {
        out << "\ntrace: 90 s + 4 x 15 s once with " << encoders
            << " encoders, each encoder run as its slot took it\n";
        removeOutputs(mixed);
        QFile::remove(log);
        const bool converted = byRun(traced, encoders, mixed)();
        // The watchers of the last encoders log their ends after the run.
        QThread::msleep(300);
        if (!printTrace(log, mixed, out)) {
            std::fputs("the logging encoder left no runs\n", stderr);
            return 1;
        }
        removeOutputs(mixed);
        if (!converted) {
            std::fputs("the traced run did not convert every file\n", stderr);
            return 1;
        }
    }

    printGoals(goals, out);
    return 0;
}
