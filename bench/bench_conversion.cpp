// SPDX-License-Identifier: MIT
// What the program's batch run costs on top of the encoder itself: 20 tiny
// one-second videos converted by the run, by a plain QProcess loop with the
// same arguments, and by a shell loop. Each way runs several rounds; the
// median round is reported.
//
// Then the gap between files: the run once more, with an encoder stand-in
// that clocks when it starts and when the real one ends, and the median time
// from one encoder's end to the next one's start. These sources need no
// changed command, so ffprobe, when one is on PATH, is never run.
//
//   bench_conversion [rounds]

#include "benchtools.h"
#include "convert/conversionplan.h"
#include "convert/conversionrun.h"
#include "convert/encodercommand.h"
#include "convert/outputnaming.h"
#include "filelist/filelistmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

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

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 5;
    QTextStream out(stdout);
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString sh = QStandardPaths::findExecutable(QStringLiteral("sh"));
    if (ffmpeg.isEmpty() || sh.isEmpty()) {
        std::fputs("ffmpeg and sh are needed on PATH\n", stderr);
        return 1;
    }

    QTemporaryDir folder, emptyProgramFolder;
    QStringList sources;
    for (int i = 1; i <= Files; ++i) {
        const QString source =
            folder.filePath(QStringLiteral("clip %1.mkv").arg(i, 2, 10, QLatin1Char('0')));
        if (!run(ffmpeg,
                 {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc=size=64x48:rate=25:duration=1"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=1"),
                  QStringLiteral("-shortest"), source})) {
            std::fputs("could not make the test videos\n", stderr);
            return 1;
        }
        sources << source;
    }

    FileListModel list;
    list.insertEntries(1, sources);
    ConversionRun conversion(list, emptyProgramFolder.path());
    int failed = -1;
    QEventLoop runEnded;
    QObject::connect(&conversion, &ConversionRun::finished, [&](const ConversionReport& report) {
        failed = report.failed;
        runEnded.quit();
    });

    struct Way {
        const char* name;
        std::function<bool()> convert;
        std::vector<double> seconds;
    };
    std::vector<Way> ways{
        {"program's run",
         [&] {
             conversion.start();
             runEnded.exec();
             return failed == 0;
         },
         {}},
        {"QProcess loop",
         [&] {
             bool ok = true;
             for (const QString& source : sources)
                 ok = run(ffmpeg, planFor({}, {source, outputPathFor(source)})
                                      .runs.constFirst()
                                      .arguments) &&
                      ok;
             return ok;
         },
         {}},
        {"sh loop",
         [&] {
             const QString loop = QStringLiteral(
                 "for f in \"$@\"; do \"$0\" -i \"$f\" -map 0:0 -an -vcodec wmv2 -b 5872k "
                 "-r 25.00 \"${f%.*}.wmv\" </dev/null >/dev/null 2>&1 || exit 1; done");
             return run(sh, QStringList{QStringLiteral("-c"), loop, ffmpeg} + sources);
         },
         {}},
    };

    for (int round = 0; round < rounds; ++round) {
        for (Way& way : ways) {
            removeOutputs(sources);
            QElapsedTimer timer;
            timer.start();
            const bool ok = way.convert();
            way.seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
            if (!ok || !allOutputs(sources)) {
                std::fprintf(stderr, "%s did not convert every file\n", way.name);
                return 1;
            }
        }
    }

    out << "files per batch: " << Files << ", rounds: " << rounds << ", encoder: " << ffmpeg
        << "\n";
    for (const Way& way : ways)
        out << QStringLiteral("%1  median %2 s per batch, %3 ms per file\n")
                   .arg(QLatin1String(way.name), -14)
                   .arg(median(way.seconds), 0, 'f', 3)
                   .arg(median(way.seconds) * 1000.0 / Files, 0, 'f', 1);
    // The gap, with an encoder that clocks the real one's start and end.
    QTemporaryDir loggingFolder;
    const QString log = loggingFolder.filePath(QStringLiteral("encoder.log"));
    if (!QFile::link(QStringLiteral(QUORVANE_ENCODER_CLOCK),
                     loggingFolder.filePath(QStringLiteral("ffmpeg")))) {
        std::fputs("could not place the clocking encoder\n", stderr);
        return 1;
    }
    qputenv("ENCODERCLOCK_LOG", QFile::encodeName(log));
    qputenv("ENCODERCLOCK_ENCODER", QFile::encodeName(ffmpeg));
    removeOutputs(sources);
    ConversionRun logged(list, loggingFolder.path());
    QObject::connect(&logged, &ConversionRun::finished, &runEnded, &QEventLoop::quit);
    logged.start();
    runEnded.exec();
    std::vector<double> gaps;
    {
        QFile times(log);
        if (!times.open(QIODevice::ReadOnly) || !allOutputs(sources)) {
            std::fputs("the clocked run did not convert every file\n", stderr);
            return 1;
        }
        qint64 lastEnd = 0;
        for (const QByteArray& line : times.readAll().split('\n')) {
            if (line.startsWith('e'))
                lastEnd = line.mid(1).toLongLong();
            else if (line.startsWith('s') && lastEnd > 0)
                gaps.push_back(double(line.mid(1).toLongLong() - lastEnd) / 1e6);
        }
    }
    if (gaps.empty()) {
        std::fputs("no gaps were logged\n", stderr);
        return 1;
    }
    out << QStringLiteral("gap from one encoder's end to the next one's start: median %1 ms, "
                          "longest %2 ms (%3)\n")
               .arg(median(gaps), 0, 'f', 1)
               .arg(*std::max_element(gaps.begin(), gaps.end()), 0, 'f', 1)
               .arg(QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty()
                        ? QStringLiteral("no ffprobe on PATH")
                        : QStringLiteral("ffprobe on PATH"));

    const double runPerFile = median(ways[0].seconds) * 1000.0 / Files;
    out << QStringLiteral("overhead of the run per file: %1 ms against the QProcess loop, "
                          "%2 ms against the sh loop\n")
               .arg(runPerFile - median(ways[1].seconds) * 1000.0 / Files, 0, 'f', 1)
               .arg(runPerFile - median(ways[2].seconds) * 1000.0 / Files, 0, 'f', 1);
    return 0;
}
