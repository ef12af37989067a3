// SPDX-License-Identifier: MIT
// The program without a window against what a script would run instead:
//
//   one    one source of 20 s of 720p: quorvane --convert against ffmpeg alone
//          with the same command. Goal: at most 1.03 times ffmpeg's time.
//   eight  8 sources of 10 s of 720p: quorvane --convert --jobs 2 against
//          xargs -P 2 running ffmpeg per file. Goal: at most 1.05 times xargs.
//
// The two ways of a pair take turns, in alternating order from round to round,
// and each way's median round is reported, with its processor time and that
// which the rest of the machine used meanwhile, which disturbs the figures.
//
//   bench_terminal [rounds]      rounds defaults to 4

#include "benchtools.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <utility>

namespace {

struct Way {
    Way(QString wayName, std::function<bool()> wayConvert)
        : name(std::move(wayName)), convert(std::move(wayConvert)) {}
    QString name;
    std::function<bool()> convert;
    std::vector<double> seconds;
    std::vector<double> cpu; // the way's own processes
    std::vector<double> others;
};

// The median of the first way over the second's; 0 when a way failed. The
// ratio of their processor times is told too: on a busy machine it shows the
// program's own cost better than the wall clock.
double race(Way& first, Way& second, const QStringList& sources, int rounds, QTextStream& out) {
    for (int round = 0; round < rounds; ++round) {
        std::pair<Way*, Way*> order{&first, &second};
        if (round % 2 != 0)
            std::swap(order.first, order.second);
        for (Way* way : {order.first, order.second}) {
            bench::removeOutputs(sources);
            const double mine = bench::usedSeconds(RUSAGE_CHILDREN);
            const double machine = bench::machineSeconds();
            QElapsedTimer timer;
            timer.start();
            const bool ok = way->convert();
            way->seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
            const double used = bench::usedSeconds(RUSAGE_CHILDREN) - mine;
            way->cpu.push_back(used);
            way->others.push_back(std::max(0.0, bench::machineSeconds() - machine - used));
            if (!ok || !bench::allOutputs(sources)) {
                std::fprintf(stderr, "%s did not convert every file\n", qPrintable(way->name));
                return 0.0;
            }
            out << QStringLiteral("round %1: %2 %3 s, processor time %4 s, others %5 s\n")
                       .arg(round + 1)
                       .arg(way->name, -32)
                       .arg(way->seconds.back(), 6, 'f', 2)
                       .arg(used, 0, 'f', 2)
                       .arg(way->others.back(), 0, 'f', 1);
            out.flush();
        }
    }
    bench::removeOutputs(sources);
    for (const Way* way : {&first, &second})
        out << QStringLiteral("%1 median %2 s, processor time %3 s, others %4 s\n")
                   .arg(way->name, -32)
                   .arg(bench::median(way->seconds), 6, 'f', 2)
                   .arg(bench::median(way->cpu), 0, 'f', 2)
                   .arg(bench::median(way->others), 0, 'f', 1);
    out << QStringLiteral("processor time, first over second: %1\n")
               .arg(bench::median(first.cpu) / bench::median(second.cpu), 0, 'f', 3);
    return bench::median(first.seconds) / bench::median(second.seconds);
}

void verdict(QTextStream& out, const QString& what, double ratio, double goal) {
    out << QStringLiteral("%1 = %2, goal <= %3: %4\n\n")
               .arg(what)
               .arg(ratio, 0, 'f', 3)
               .arg(goal, 0, 'f', 2)
               .arg(ratio <= goal ? QStringLiteral("met") : QStringLiteral("NOT met"));
    out.flush();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 4;
    QTextStream out(stdout);
    const QString program = QStringLiteral(QUORVANE_PROGRAM);
    const std::optional<bench::Tools> tools = bench::findTools();
    if (!tools)
        return 1;
    const QString& ffmpeg = tools->ffmpeg;
    const QString& ffprobe = tools->ffprobe;
    const QString& xargs = tools->xargs;

    // Copies of one 10 s source for the batch: each is still converted on its own.
    QTemporaryDir folder;
    const QString film = folder.filePath(QStringLiteral("film.mkv"));
    QStringList clips{folder.filePath(QStringLiteral("clip 1.mkv"))};
    bool made = bench::makeSource(ffmpeg, film, 20) && bench::makeSource(ffmpeg, clips[0], 10) &&
                bench::getsPlainCommand(ffprobe, film) &&
                bench::getsPlainCommand(ffprobe, clips[0]);
    for (int i = 2; made && i <= 8; ++i) {
        clips << folder.filePath(QStringLiteral("clip %1.mkv").arg(i));
        made = QFile::copy(clips[0], clips.back());
    }
    if (!made) {
        std::fputs("could not make the test videos, or the program would not give them the "
                   "plain command\n",
                   stderr);
        return 1;
    }
    out << "rounds: " << rounds << ", program: " << program << ", encoder: " << ffmpeg << "\n\n";

    const auto plain = [&](const QString& source) {
        return QStringList{QStringLiteral("-i"),    source,
                           QStringLiteral("-map"),  QStringLiteral("0:0"),
                           QStringLiteral("-an"),   QStringLiteral("-vcodec"),
                           QStringLiteral("wmv2"),  QStringLiteral("-b"),
                           QStringLiteral("5872k"), QStringLiteral("-r"),
                           QStringLiteral("25.00"), outputPathFor(source)};
    };
    out << "one: 1 x 20 s of 1280x720\n";
    Way alone{QStringLiteral("quorvane --convert"), [&] {
                  return bench::run(program, {QStringLiteral("--convert"), film});
              }};
    Way encoder{QStringLiteral("ffmpeg alone"), [&] { return bench::run(ffmpeg, plain(film)); }};
    const double one = race(alone, encoder, {film}, rounds, out);
    if (one == 0.0)
        return 1;
    verdict(out, QStringLiteral("quorvane / ffmpeg"), one, 1.03);

    out << "eight: 8 x 10 s of 1280x720\n";
    Way batch{QStringLiteral("quorvane --convert --jobs 2"), [&] {
                  return bench::run(program,
                                    QStringList{QStringLiteral("--convert"),
                                                QStringLiteral("--jobs"), QStringLiteral("2")} +
                                        clips);
              }};
    // A shell only to name the output; ffmpeg gets the plain command.
    const QString encode =
        QStringLiteral("exec \"$0\" -i \"$1\" -map 0:0 -an -vcodec wmv2 -b 5872k "
                       "-r 25.00 \"${1%.*}.wmv\" </dev/null >/dev/null 2>&1");
    Way farmed{QStringLiteral("xargs -P 2"), [&] {
                   QProcess process;
                   process.setStandardOutputFile(QProcess::nullDevice());
                   process.setStandardErrorFile(QProcess::nullDevice());
                   process.start(xargs,
                                 {QStringLiteral("-0"), QStringLiteral("-n"), QStringLiteral("1"),
                                  QStringLiteral("-P"), QStringLiteral("2"), QStringLiteral("sh"),
                                  QStringLiteral("-c"), encode, ffmpeg});
                   for (const QString& clip : clips)
                       process.write(QFile::encodeName(clip) + '\0');
                   process.closeWriteChannel();
                   return process.waitForFinished(-1) &&
                          process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
               }};
    const double eight = race(batch, farmed, clips, rounds, out);
    if (eight == 0.0)
        return 1;
    verdict(out, QStringLiteral("quorvane --jobs 2 / xargs -P 2"), eight, 1.05);
    return 0;
}
