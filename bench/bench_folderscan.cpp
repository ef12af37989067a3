// SPDX-License-Identifier: MIT
// The folder walk of "Add All MKV File(s) In Folder" on a large generated
// tree: how long the command takes from the click to the last entry in the
// list, how that compares with find(1) on the same tree, and the longest
// time the window's thread went without handling events meanwhile.
//
//   bench_folderscan [FOLDERS [FILES_PER_FOLDER [RUNS]]]   (10000 10 3)

#include "app/form1.h"
#include "app/userdialogs.h"
#include "convert/batchsession.h"
#include "filelist/filelistmodel.h"
#include "filelist/folderwalk.h"
#include "filelist/folderwalkjob.h"
#include "stallwatch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Answers the folder chooser with the generated tree; nothing else is asked.
class AnswerFolder final : public UserDialogs {
  public:
    explicit AnswerFolder(QString folder) : m_folder(std::move(folder)) {}
    QStringList chooseFiles(QWidget*, const QString&, const QString&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&) override { return m_folder; }
    void showMessage(QWidget*, const QString&, const QString&) override {}

  private:
    QString m_folder;
};

// Ten names per round: videos in three letter cases, and things the walk passes over.
QString fileName(int index) {
    static const char* const forms[] = {
        "clip %1.mkv",    "Clip %1.MKV",  "c%1.Mkv",      "notes %1.txt", "~part %1.mkv",
        ".hidden %1.mkv", "movie %1.mp4", "x%1.mkv.part", "show %1.mkv",  "img %1.jpg"};
    return QString::fromLatin1(forms[index % 10]).arg(index);
}

// Folders two levels deep: a tenth-ish at the top, the rest below them.
bool makeTree(const QString& root, int folders, int filesPerFolder) {
    const int top = std::max(1, folders / 100);
    QDir base(root);
    int made = 0;
    for (int t = 0; t < top && made < folders; ++t) {
        const QString parent = QStringLiteral("top %1").arg(t);
        QStringList here{parent};
        for (int s = 0; made + int(here.size()) < folders && s < folders / top - 1; ++s)
            here << parent + QStringLiteral("/sub %1").arg(s);
        for (const QString& folder : here) {
            if (!base.mkpath(folder))
                return false;
            for (int f = 0; f < filesPerFolder; ++f) {
                QFile file(base.filePath(folder + QLatin1Char('/') + fileName(f)));
                if (!file.open(QIODevice::WriteOnly))
                    return false;
            }
            ++made;
        }
    }
    return true;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

struct CommandRun {
    double milliseconds = 0;
    double longestStall = 0;
    int entries = 0;
};

// Clicks Check3 on a fresh window and watches until the walk has put its last
// entry in the list.
CommandRun runCommand(const QString& root, const QString& programFolder) {
    AnswerFolder dialogs(root);
    BatchSession session(programFolder);
    Form1 window(session,
                 Form1Services{programFolder, &dialogs, [] { return 1; }, [](const QUrl&) {}});
    window.show();
    QCoreApplication::processEvents();
    const StallWatch watch = clickAndWatch(window.findChild<QPushButton*>(QStringLiteral("Check3")),
                                           &session.folderWalk(), &FolderWalkJob::finished);
    return {watch.milliseconds, watch.longestStall, session.list().count()};
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int folders = arguments.size() > 1 ? arguments.at(1).toInt() : 10000;
    const int filesPerFolder = arguments.size() > 2 ? arguments.at(2).toInt() : 10;
    const int runs = arguments.size() > 3 ? arguments.at(3).toInt() : 3;

    QTemporaryDir tree;
    QTemporaryDir programFolder;
    QElapsedTimer clock;
    clock.start();
    if (!tree.isValid() || !makeTree(tree.path(), folders, filesPerFolder)) {
        std::fprintf(stderr, "could not make the tree in %s\n", qPrintable(tree.path()));
        return 1;
    }
    std::printf("tree: %d files in %d folders, made in %.0f ms\n", folders * filesPerFolder,
                folders, double(clock.nsecsElapsed()) / 1e6);

    QList<double> findTimes, walkTimes, commandTimes, stalls;
    int found = 0, walked = 0, listed = 0;
    for (int run = 0; run <= runs; ++run) { // run 0 warms the caches and is not counted
        QProcess find;
        clock.restart();
        find.start(QStringLiteral("find"),
                   {tree.path(), QStringLiteral("-iname"), QStringLiteral("*.mkv")});
        find.waitForFinished(600000);
        const double findTime = double(clock.nsecsElapsed()) / 1e6;
        found = int(find.readAllStandardOutput().count('\n'));

        clock.restart();
        walked = int(walkFolder(tree.path()).entries.size());
        const double walkTime = double(clock.nsecsElapsed()) / 1e6;

        const CommandRun command = runCommand(tree.path(), programFolder.path());
        listed = command.entries;
        if (run == 0)
            continue;
        findTimes << findTime;
        walkTimes << walkTime;
        commandTimes << command.milliseconds;
        stalls << command.longestStall;
    }

    std::printf("find DIR -iname '*.mkv': %d paths (names beginning with \"~\" included)\n", found);
    std::printf("walk: %d entries from the walk, %d in the list\n", walked, listed);
    std::printf("median of %d runs (best):\n", runs);
    const auto line = [](const char* what, const QList<double>& values) {
        std::printf("  %-46s %8.1f ms (%.1f)\n", what, median(values),
                    *std::min_element(values.begin(), values.end()));
    };
    line("find -iname '*.mkv'", findTimes);
    line("walk alone, on this thread", walkTimes);
    line("Check3 command, click to last entry listed", commandTimes);
    line("longest stall of the window's thread", stalls);
    return 0;
}
