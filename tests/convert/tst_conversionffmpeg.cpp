// SPDX-License-Identifier: MIT
// The batch run with the real encoder found on PATH, on tiny generated videos.

#include "convert/conversionrun.h"
#include "convert/outputnaming.h"
#include "fakeencoder.h"
#include "filelist/filelistmodel.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace {

QByteArray runTool(const QString& program, const QStringList& arguments,
                   QProcess::ProcessChannelMode channels = QProcess::SeparateChannels) {
    QProcess tool;
    tool.setProcessChannelMode(channels);
    tool.setStandardInputFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return "failed: " + tool.readAllStandardError();
    return tool.readAllStandardOutput();
}

// A test video of the given size and length, made by the encoder itself.
QByteArray makeVideo(const QString& ffmpeg, const QString& path, const QString& picture,
                     const QStringList& more = {}) {
    return runTool(ffmpeg, QStringList{u"-nostdin"_qs, u"-loglevel"_qs, u"error"_qs, u"-f"_qs,
                                       u"lavfi"_qs, u"-i"_qs, u"testsrc="_qs + picture} +
                               more + QStringList{path});
}

// Runs the batch over the sources and returns its report as "<failed> of
// <attempted>", and ", <partial> partial" when there are any, then each
// failure or partial file as "<source>: <reason>" on a line of its own; and
// the shares of the file under way that the run told on the way.
QString convert(const QStringList& sources, QList<double>* shares = nullptr,
                const QString& programFolder = {}, int encoders = 1) {
    QTemporaryDir emptyProgramFolder;
    FileListModel list;
    list.insertEntries(1, sources);
    ConversionRun run(list, programFolder.isEmpty() ? emptyProgramFolder.path() : programFolder);
    run.setEncoders(encoders);
    QString result;
    QObject::connect(&run, &ConversionRun::finished, [&result](const ConversionReport& report) {
        result = QStringLiteral("%1 of %2").arg(report.failed).arg(report.attempted);
        if (report.partial > 0)
            result += QStringLiteral(", %1 partial").arg(report.partial);
        for (const FileOutcome& failure : report.failures)
            result += u"\n"_qs + failure.source + u": "_qs + causeText(failure);
    });
    if (shares)
        QObject::connect(&run, &ConversionRun::progressed, [shares](const RunProgress& progress) {
            *shares << progress.files.value(0).share.value_or(-1.0);
        });
    run.start();
    if (!QTest::qWaitFor([&result] { return !result.isEmpty(); }, 60000))
        return u"timed out"_qs;
    return result;
}

} // namespace

class ConversionFfmpegTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void convertsAndKeepsExistingOutput();
    void fullDiskReported();
    void statusAdvancesWithinFile();
    void sourceKinds_data();
    void sourceKinds();
    void partsJoinAsOneRun_data();
    void partsJoinAsOneRun();
};

void ConversionFfmpegTest::convertsAndKeepsExistingOutput() {
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_qs);
    const QString ffprobe = QStandardPaths::findExecutable(u"ffprobe"_qs);
    if (ffmpeg.isEmpty() || ffprobe.isEmpty())
        QSKIP("ffmpeg and ffprobe are needed on PATH (package ffmpeg)");

    QTemporaryDir videos;
    QStringList sources;
    for (const char* name : {"first clip.mkv", "zweite Größe.mkv", "kept.mkv"}) {
        const QString source = videos.filePath(QString::fromUtf8(name));
        const QByteArray made =
            makeVideo(ffmpeg, source, u"size=64x48:rate=25:duration=1"_qs,
                      {u"-f"_qs, u"lavfi"_qs, u"-i"_qs, u"sine=duration=1"_qs, u"-shortest"_qs});
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

    QCOMPARE(convert(sources), u"1 of 3\n"_qs + sources[2] + u": OutputExists"_qs);
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

// The encoder ends with 0 when the disk fills as it writes the trailer.
void ConversionFfmpegTest::fullDiskReported() {
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_qs);
    if (ffmpeg.isEmpty())
        QSKIP("ffmpeg is needed on PATH (package ffmpeg)");
    QTemporaryDir made, disk;
    const QString original = made.filePath(u"clip.mkv"_qs);
    const QByteArray error = makeVideo(ffmpeg, original, u"size=320x240:rate=25:duration=2"_qs,
                                       {u"-c:v"_qs, u"mpeg4"_qs});
    QVERIFY2(error.isEmpty(), error.constData());
    // Room for the source and a few pages of output, not for the whole output.
    const int kibibytes = int(QFileInfo(original).size() / 1024) + 16;
    const QByteArray mountPoint = QFile::encodeName(disk.path());
    const QByteArray size = "size=" + QByteArray::number(kibibytes) + "k";
    if (::mount("quorvane-test", mountPoint.constData(), "tmpfs", 0, size.constData()) != 0)
        QSKIP(qPrintable(u"cannot mount a small file system to fill: "_qs +
                         QString::fromLocal8Bit(std::strerror(errno))));
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    const QString source = disk.filePath(u"clip.mkv"_qs);
    QVERIFY(QFile::copy(original, source));

    const QString message = convert({source});
    const QString output = outputPathFor(source);
    QCOMPARE(message, u"1 of 1\n"_qs + source + u": DiskFull"_qs);
    // Nothing incomplete is left under the output's name, and the source is untouched.
    QVERIFY(!QFileInfo::exists(output));
    QCOMPARE(QFileInfo(source).size(), QFileInfo(original).size());
}

// The encoder's progress lines come twice a second: a file that takes a few
// seconds shows its share growing.
void ConversionFfmpegTest::statusAdvancesWithinFile() {
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_qs);
    if (ffmpeg.isEmpty())
        QSKIP("ffmpeg is needed on PATH (package ffmpeg)");
    QTemporaryDir videos;
    const QString source = videos.filePath(u"long clip.mkv"_qs);
    const QByteArray error = makeVideo(ffmpeg, source, u"size=1280x720:rate=25:duration=40"_qs,
                                       {u"-c:v"_qs, u"mpeg4"_qs, u"-q:v"_qs, u"5"_qs});
    QVERIFY2(error.isEmpty(), error.constData());
    QList<double> shares;
    QCOMPARE(convert({source}, &shares), u"0 of 1"_qs);
    QSet<int> percents;
    for (const double share : std::as_const(shares)) {
        if (share >= 0.0)
            percents << int(share * 100.0);
    }
    QVERIFY2(percents.size() >= 2, qPrintable(QString::number(shares.size())));
}

void ConversionFfmpegTest::sourceKinds_data() {
    QTest::addColumn<QString>("picture");     // what testsrc makes
    QTest::addColumn<QString>("more");        // the rest of the command that makes the source
    QTest::addColumn<bool>("cutOff");         // only the first half of its bytes is kept
    QTest::addColumn<QString>("reason");      // a pattern for why it is partial; empty: converted
    QTest::addColumn<QString>("check");       // what is read of the output; see measure below
    QTest::addColumn<QByteArray>("expected"); // which the source itself does not show
    const QString small = u"size=160x120:rate=25:duration=1"_qs;
    const QString sound = u"-f lavfi -i sine=duration=1"_qs;
    // A plain source gets another command than it always had.
    QTest::newRow("plain") << small << sound + u" -shortest"_qs << false << QString() << u"bytes"_qs
                           << QByteArray();
    // The sound is taken as the video, and the encoder finds nothing to encode.
    QTest::newRow("sound first") << small << sound + u" -map 1:a -map 0:v -shortest"_qs << false
                                 << QString() << u"codec_name,codec_type"_qs
                                 << QByteArray("wmv2,video");
    // wmv2 refuses an odd width.
    QTest::newRow("odd width") << u"size=161x120:rate=25:duration=1"_qs << u"-c:v ffv1"_qs << false
                               << QString() << u"width"_qs << QByteArray("162");
    // A source that breaks off is reported as converted whole, or its output is removed.
    QTest::newRow("cut off") << u"size=160x120:rate=25:duration=4"_qs << QString() << true
                             << u"EndsEarly \\d of 4"_qs << u"codec_name,codec_type"_qs
                             << QByteArray("wmv2,video");
    // Fields are encoded as they are, and every moving edge shows combs.
    QTest::newRow("interlaced")
        << u"size=160x120:rate=50:duration=1,tinterlace=interleave_top,setfield=tff"_qs
        << u"-c:v mpeg2video -flags +ilme+ildct -top 1 -field_order tt"_qs << false << QString()
        << u"idet"_qs << QByteArray("TFF 0 BFF 0");
}

void ConversionFfmpegTest::sourceKinds() {
    QFETCH(QString, picture);
    QFETCH(QString, more);
    QFETCH(bool, cutOff);
    QFETCH(QString, reason);
    QFETCH(QString, check);
    QFETCH(QByteArray, expected);
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_qs);
    const QString ffprobe = QStandardPaths::findExecutable(u"ffprobe"_qs);
    if (ffmpeg.isEmpty() || ffprobe.isEmpty())
        QSKIP("ffmpeg and ffprobe are needed on PATH (package ffmpeg)");
    // "bytes": a hash of the file; "idet": the frames the encoder's field
    // detector finds interlaced; else the streams' entries as ffprobe shows them.
    const auto measure = [&](const QString& file) -> QByteArray {
        if (check == u"bytes") {
            QFile read(file);
            return read.open(QIODevice::ReadOnly)
                       ? QCryptographicHash::hash(read.readAll(), QCryptographicHash::Sha1).toHex()
                       : QByteArray();
        }
        if (check == u"idet") {
            static const QRegularExpression counts(
                u"Multi frame detection: TFF: *(\\d+) BFF: *(\\d+)"_qs);
            const QByteArray said = runTool(ffmpeg,
                                            QStringList{u"-nostdin"_qs, u"-i"_qs, file} +
                                                u"-vf idet -f null -"_qs.split(u' '),
                                            QProcess::MergedChannels);
            const QRegularExpressionMatch found = counts.match(QString::fromUtf8(said));
            return (u"TFF "_qs + found.captured(1) + u" BFF "_qs + found.captured(2)).toUtf8();
        }
        return runTool(ffprobe, {u"-v"_qs, u"error"_qs, u"-show_entries"_qs, u"stream="_qs + check,
                                 u"-of"_qs, u"csv=p=0"_qs, file})
            .trimmed();
    };
    QTemporaryDir videos;
    const QString source = videos.filePath(u"source.mkv"_qs);
    const QByteArray made =
        makeVideo(ffmpeg, source, picture, more.split(u' ', Qt::SkipEmptyParts));
    QVERIFY2(made.isEmpty(), made.constData());
    if (cutOff)
        QVERIFY(QFile::resize(source, QFileInfo(source).size() / 2));
    if (check == u"bytes") {
        // The command the program always ran, for a source that needs nothing else.
        const QString legacy = videos.filePath(u"legacy.wmv"_qs);
        const QByteArray error =
            runTool(ffmpeg, {u"-i"_qs, source, u"-map"_qs, u"0:0"_qs, u"-an"_qs, u"-vcodec"_qs,
                             u"wmv2"_qs, u"-b"_qs, u"5872k"_qs, u"-r"_qs, u"25.00"_qs, legacy});
        QVERIFY2(!error.startsWith("failed: "), error.constData());
        expected = measure(legacy);
    }
    QVERIFY(measure(source) != expected);

    const QString report = convert({source});
    const QString outcome =
        reason.isEmpty()
            ? u"0 of 1"_qs
            : u"0 of 1, 1 partial\n"_qs + QRegularExpression::escape(source) + u": "_qs + reason;
    QVERIFY2(
        QRegularExpression(QRegularExpression::anchoredPattern(outcome)).match(report).hasMatch(),
        qPrintable(report));
    QCOMPARE(measure(outputPathFor(source)), expected);
}

void ConversionFfmpegTest::partsJoinAsOneRun_data() {
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<bool>("cutOff"); // only the first half of its bytes is kept
    const QString h264 = u"-c:v libx264 -g 48"_qs;
    // Pictures fall between the output's frames, and are dropped or repeated
    // to make 25 a second; the seek lands between key frames.
    // At 23.976 fps a lead is two seconds, and a part at least ten leads.
    for (const char* rate : {"24000/1001", "25", "30000/1001", "30", "50", "60000/1001"})
        QTest::addRow("%s fps", rate)
            << u"size=320x240:rate="_qs + QLatin1String(rate) +
                   (qstrcmp(rate, "24000/1001") == 0 ? u":duration=42"_qs : u":duration=22"_qs)
            << h264 << false;
    QTest::newRow("variable rate")
        << u"size=320x240:rate=30:duration=22"_qs
        << u"-vf select=not(eq(mod(n\\,7)\\,3))*not(eq(mod(n\\,11)\\,5)) -vsync vfr "_qs + h264
        << false;
    QTest::newRow("first picture late") << u"size=320x240:rate=30000/1001:duration=22"_qs
                                        << u"-output_ts_offset 0.513 "_qs + h264 << false;
    // Each part gets the whole run's filters: even width and deinterlacing.
    QTest::newRow("interlaced, odd width")
        << u"size=321x240:rate=30000/1001:duration=22"_qs
        << u"-c:v mpeg2video -flags +ilme+ildct -top 1"_qs << false;
    QTest::newRow("every picture a key frame")
        << u"size=320x240:rate=30000/1001:duration=22"_qs << u"-c:v libx264 -g 1"_qs << false;
    QTest::newRow("key frames far apart")
        << u"size=320x240:rate=30000/1001:duration=22"_qs << u"-c:v libx264 -g 300"_qs << false;
    // The last part finds nothing; the file is converted again whole, and told as partial.
    QTest::newRow("cut off") << u"size=320x240:rate=25:duration=22"_qs << u"-c:v libx264"_qs
                             << true;
}

void ConversionFfmpegTest::partsJoinAsOneRun() {
    QFETCH(QString, picture);
    QFETCH(QString, codec);
    QFETCH(bool, cutOff);
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_qs);
    const QString ffprobe = QStandardPaths::findExecutable(u"ffprobe"_qs);
    if (ffmpeg.isEmpty() || ffprobe.isEmpty())
        QSKIP("ffmpeg and ffprobe are needed on PATH (package ffmpeg)");
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(u"whole"_qs) && QDir(folder.path()).mkpath(u"parts"_qs));
    const QString whole = folder.filePath(u"whole/clip.mkv"_qs);
    const QString parts = folder.filePath(u"parts/clip.mkv"_qs);
    const QByteArray error = makeVideo(ffmpeg, whole, picture, codec.split(u' '));
    QVERIFY2(error.isEmpty(), error.constData());
    if (cutOff)
        QVERIFY(QFile::resize(whole, QFileInfo(whole).size() / 2));
    QVERIFY(QFile::copy(whole, parts));
    // The program folder's encoder notes each command, to show the parts ran.
    const QString program = folder.filePath(u"program"_qs);
    const QString commands = folder.filePath(u"commands"_qs);
    QVERIFY(QDir().mkpath(program) && QFile::link(ffprobe, program + u"/ffprobe"_qs));
    QVERIFY(makeFile(program + u"/ffmpeg"_qs, "#!/bin/sh\necho \"$@\" >>'" +
                                                  QFile::encodeName(commands) + "'\nexec '" +
                                                  QFile::encodeName(ffmpeg) + "' \"$@\"\n"));
    QVERIFY(QFile::setPermissions(program + u"/ffmpeg"_qs, QFile::ReadOwner | QFile::ExeOwner));

    const QString report = convert({whole});
    QVERIFY2(report.startsWith(cutOff ? u"0 of 1, 1 partial\n"_qs : u"0 of 1"_qs),
             qPrintable(report));
    QCOMPARE(convert({parts}, nullptr, program, 2), QString(report).replace(whole, parts));
    QVERIFY2(fileText(commands).contains(u" -ss "_qs), qPrintable(fileText(commands)));
    QCOMPARE(QDir(folder.filePath(u"parts"_qs)).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"clip.mkv"_qs, u"clip.wmv"_qs}));
    // The same frames and length to the frame, decoded without a complaint,
    // and pictures all but the same as the whole run's.
    const QStringList count{u"-v"_qs,
                            u"error"_qs,
                            u"-count_packets"_qs,
                            u"-show_entries"_qs,
                            u"stream=nb_read_packets:format=duration"_qs,
                            u"-of"_qs,
                            u"csv=p=0"_qs};
    const QByteArray expected = runTool(ffprobe, count + QStringList{outputPathFor(whole)});
    QVERIFY2(expected.contains('\n') && !expected.startsWith("failed"), expected.constData());
    QCOMPARE(runTool(ffprobe, count + QStringList{outputPathFor(parts)}), expected);
    QCOMPARE(runTool(ffmpeg,
                     {u"-v"_qs, u"error"_qs, u"-i"_qs, outputPathFor(parts), u"-f"_qs, u"null"_qs,
                      u"-"_qs},
                     QProcess::MergedChannels),
             QByteArray());
    // Every picture all but the same as the whole run's: here a picture
    // from the next source frame scores under 40 dB, two encodings of the
    // same one over 46.
    const QByteArray psnr =
        runTool(ffmpeg, {u"-v"_qs, u"error"_qs, u"-i"_qs, outputPathFor(parts), u"-i"_qs,
                         outputPathFor(whole), u"-lavfi"_qs, u"psnr=stats_file=-"_qs, u"-f"_qs,
                         u"null"_qs, u"-"_qs});
    double worst = std::numeric_limits<double>::infinity();
    qsizetype frames = 0;
    for (const QRegularExpressionMatch& frame :
         QRegularExpression(u"psnr_y:([0-9.]+|inf)"_qs).globalMatch(QString::fromUtf8(psnr))) {
        ++frames;
        if (frame.captured(1) != u"inf"_qs)
            worst = std::min(worst, frame.captured(1).toDouble());
    }
    QVERIFY2(frames > 200, psnr.constData());
    qInfo("worst picture: %.2f dB", worst);
    QVERIFY2(worst >= 45.0, qPrintable(QString::number(worst)));
}

QTEST_GUILESS_MAIN(ConversionFfmpegTest)
#include "tst_conversionffmpeg.moc"
