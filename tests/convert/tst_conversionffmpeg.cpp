// The batch run with the real encoder found on PATH, on tiny generated videos.

#include "common/pointerrules.h"
#include "convert/conversionrun.h"
#include "convert/outputnaming.h"
#include "filelist/filelistmodel.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray runTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setStandardInputFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return "failed: " + tool.readAllStandardError();
    return tool.readAllStandardOutput();
}

} // namespace

class ConversionFfmpegTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void convertsAndKeepsExistingOutput();
};

void ConversionFfmpegTest::convertsAndKeepsExistingOutput() {
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_qs);
    const QString ffprobe = QStandardPaths::findExecutable(u"ffprobe"_qs);
    if (ffmpeg.isEmpty() || ffprobe.isEmpty())
        QSKIP("ffmpeg and ffprobe are needed on PATH (package ffmpeg)");

    QTemporaryDir videos, emptyProgramFolder;
    QStringList sources;
    for (const char* name : {"first clip.mkv", "zweite Größe.mkv", "kept.mkv"}) {
        const QString source = videos.filePath(QString::fromUtf8(name));
        const QByteArray made = runTool(
            ffmpeg, {u"-nostdin"_qs, u"-loglevel"_qs, u"error"_qs, u"-f"_qs, u"lavfi"_qs, u"-i"_qs,
                     u"testsrc=size=64x48:rate=25:duration=1"_qs, u"-f"_qs, u"lavfi"_qs, u"-i"_qs,
                     u"sine=duration=1"_qs, u"-shortest"_qs, source});
        QVERIFY2(made.isEmpty(), made.constData());
        sources << source;
    }
    const QString kept = outputPathFor(sources[2]);
    const QByteArray keptBytes("not a video, and not the encoder's to replace");
    {
        QFile file(kept);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(keptBytes);
    }

    FileListModel list;
    list.insertEntries(1, sources);
    PointerRules pointer;
    ConversionRun run(list, pointer, emptyProgramFolder.path());
    QString message;
    connect(&run, &ConversionRun::finished, [&message](const QString& text) { message = text; });
    run.start();

    QTRY_VERIFY_WITH_TIMEOUT(!message.isEmpty(), 60000);
    QCOMPARE(message, u"1 of 3 files failed.\n\n"_qs + sources[2] +
                          u"\n    the encoder ended with exit code 1: File '"_qs + kept +
                          u"' already exists. Overwrite? [y/N] Not overwriting - exiting"_qs);
    for (int i = 0; i < 2; ++i) {
        const QByteArray streams =
            runTool(ffprobe, {u"-v"_qs, u"error"_qs, u"-show_entries"_qs,
                              u"stream=codec_type,codec_name,r_frame_rate"_qs, u"-of"_qs,
                              u"csv=p=0"_qs, outputPathFor(sources[i])});
        QCOMPARE(streams.trimmed(), QByteArray("wmv2,video,25/1"));
    }
    QFile file(kept);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), keptBytes);
}

QTEST_GUILESS_MAIN(ConversionFfmpegTest)
#include "tst_conversionffmpeg.moc"
