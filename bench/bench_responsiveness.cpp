// SPDX-License-Identifier: MIT
// How long the window's thread goes without handling events at 100,000
// entries: while "Add All MKV File(s) In Folder" fills the list from a
// generated tree, and while "Start" runs over that list with no encoder to be
// found, so that every file fails before any process starts.
//
//   bench_responsiveness [FOLDERS [VIDEOS_PER_FOLDER]]   (5000 20)

#include "app/form1.h"
#include "app/messages.h"
#include "app/userdialogs.h"
#include "convert/batchsession.h"
#include "filelist/filelistmodel.h"
#include "filelist/folderwalkjob.h"
#include "stallwatch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Answers the folder chooser with the tree and takes note of the end message.
class BenchDialogs final : public UserDialogs {
  public:
    QString folder;
    QString message;
    qsizetype detailsSize = 0;
    QStringList chooseFiles(QWidget*, const QString&, const QString&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&) override { return folder; }
    void showMessage(QWidget*, const QString& text, const QString& details) override {
        message = text;
        detailsSize = details.size();
    }
};

bool makeTree(const QString& root, int folders, int videosPerFolder) {
    QDir base(root);
    for (int f = 0; f < folders; ++f) {
        const QString folder = QStringLiteral("group %1/folder %2").arg(f / 100).arg(f);
        if (!base.mkpath(folder))
            return false;
        for (int v = 0; v < videosPerFolder; ++v) {
            QFile file(base.filePath(folder + QStringLiteral("/clip %1.mkv").arg(v)));
            if (!file.open(QIODevice::WriteOnly))
                return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installProgramTexts(app);
    const QStringList arguments = QCoreApplication::arguments();
    const int folders = arguments.size() > 1 ? arguments.at(1).toInt() : 5000;
    const int videosPerFolder = arguments.size() > 2 ? arguments.at(2).toInt() : 20;

    QTemporaryDir tree, programFolder, emptyPath;
    if (!tree.isValid() || !makeTree(tree.path(), folders, videosPerFolder)) {
        std::fprintf(stderr, "could not make the tree\n");
        return 1;
    }
    // No encoder beside the program and none on PATH.
    qputenv("PATH", QFile::encodeName(emptyPath.path()));

    BenchDialogs dialogs;
    dialogs.folder = tree.path();
    BatchSession session(programFolder.path());
    Form1 window(session, Form1Services{programFolder.path(), &dialogs, [] { return 1; },
                                        [](const QUrl&) {}});
    window.show();
    QCoreApplication::processEvents();

    const StallWatch fill = clickAndWatch(window.findChild<QPushButton*>(QStringLiteral("Check3")),
                                          &session.folderWalk(), &FolderWalkJob::finished);
    const int entries = session.list().count();
    const StallWatch run = clickAndWatch(window.findChild<QPushButton*>(QStringLiteral("Check2")),
                                         &session.run(), &ConversionRun::finished);

    std::printf("entries: %d (%d folders)\n", entries, folders);
    std::printf("  %-44s %8.1f ms, longest stall %6.1f ms\n", "folder fill, click to last entry",
                fill.milliseconds, fill.longestStall);
    std::printf("  %-44s %8.1f ms, longest stall %6.1f ms\n",
                "run with no encoder, click to message", run.milliseconds, run.longestStall);
    std::printf("  end message: %s (details: %lld characters)\n",
                qPrintable(dialogs.message.section(QLatin1Char('\n'), 0, 0)),
                static_cast<long long>(dialogs.detailsSize));
    return 0;
}
