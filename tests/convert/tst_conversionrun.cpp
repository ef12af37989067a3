// SPDX-License-Identifier: MIT
// The batch run against the fake encoder.

#include "convert/conversionrun.h"
#include "convert/outputnaming.h"
#include "fakeencoder.h"
#include "filelist/filelistmodel.h"
#include "filelist/folderwalkjob.h"

#include <QAbstractItemModelTester>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

namespace {

constexpr int RunTimeout = 30000;

// What Debian's ffmpeg 5.1 or its ffprobe said of a recorded kind of source.
QString recording(const QString& name) {
    return QFINDTESTDATA("data/ffmpeg-5.1") + u'/' + name;
}

// The fake probe tool's directive to answer as ffprobe did for a recorded kind of source.
QString probeAnswer(const char* kind) {
    return u"probe="_qs + recording(QLatin1String(kind) + u".probe.json"_qs);
}

// The batch, as the window holds it.
struct Batch {
    FileListModel list;
    QAbstractItemModelTester tester{&list, QAbstractItemModelTester::FailureReportingMode::QtTest};
    QStringList texts() const {
        QStringList all;
        for (int position = 1; position <= list.count(); ++position)
            all << list.textAt(list.index(position - 1));
        return all;
    }
};

// "report <batch> <attempted> <failed>", then each failure kept as
// "<source>: <reason>", one a line.
QString describe(const ConversionReport& report) {
    QString text = QStringLiteral("report %1 %2 %3")
                       .arg(report.batch)
                       .arg(report.attempted)
                       .arg(report.failed);
    if (report.partial > 0)
        text += QStringLiteral(" partial %1").arg(report.partial);
    for (const FileOutcome& failure : report.failures)
        text += u"\n"_qs + failure.source + u": "_qs + causeText(failure);
    return text;
}

// Starts the run and returns everything it reported, in order, once it has
// ended (or, for a run that is abandoned, once it has stopped).
QStringList record(ConversionRun& run, ConversionReport* report = nullptr,
                   const bool* abandoned = nullptr) {
    QStringList events;
    bool ended = false;
    QObject context;
    QObject::connect(
        &run, &ConversionRun::stateChanged, &context, [&events](ConversionRun::State state) {
            events.append(u"state "_qs +
                          QString::fromLatin1(
                              QMetaEnum::fromType<ConversionRun::State>().valueToKey(int(state))));
        });
    QObject::connect(&run, &ConversionRun::progressChanged, &context, [&events](float value) {
        events.append(u"bar "_qs + QString::number(value, 'g', 8));
    });
    QObject::connect(&run, &ConversionRun::fileBegun, &context,
                     [&events](int number, const QString&) {
                         events.append(u"file "_qs + QString::number(number));
                     });
    QObject::connect(&run, &ConversionRun::finished, &context, [&](const ConversionReport& ending) {
        // Idle before it reports, so a handler may start the next run.
        QCOMPARE(run.state(), ConversionRun::State::Idle);
        events.append(describe(ending));
        if (report)
            *report = ending;
        ended = true;
    });
    run.start();
    if (!QTest::qWaitFor([&] { return ended || (abandoned && *abandoned); }, RunTimeout))
        events.append(u"timed out"_qs);
    return events;
}

} // namespace

class ConversionRunTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void runLeavesEventLoopFree_data();
    void runLeavesEventLoopFree();

    void progressAndEnd_data();
    void progressAndEnd();
    void argumentsArriveWhole_data();
    void argumentsArriveWhole();
    void filesInListOrder();
    void failuresReported_data();
    void failuresReported();
    void recordedSources_data();
    void recordedSources();
    void manyFailuresKept();
    void listChangesDuringRun_data();
    void listChangesDuringRun();
    void startDuringRunIgnored();
    void abandonStopsRun();
    void failingPartFailsFile();
};

void ConversionRunTest::runLeavesEventLoopFree_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("slowEncoder");
    QTest::newRow("1000 entries, no encoder") << 1000 << false;
    QTest::newRow("a slow encoder") << 1 << true;
}

void ConversionRunTest::runLeavesEventLoopFree() {
    // The window's thread must answer throughout a run, even when every file
    // fails at once: the event loop turns while the run is under way, at
    // least once for every hundred files that fail before an encoder starts.
    QFETCH(int, files);
    QFETCH(bool, slowEncoder);
    FakeEncoder fake;
    Batch batch;
    if (slowEncoder) {
        batch.list.appendEntry(fake.source(u"clip.mkv"_qs, {u"sleep=300"_qs}));
    } else {
        QVERIFY(QFile::remove(fake.encoder()));
        for (int i = 0; i < files; ++i)
            batch.list.appendEntry(fake.videos() + QStringLiteral("/clip%1.mkv").arg(i));
    }
    QTemporaryDir emptyPath;
    ConversionRun run(batch.list, fake.programFolder());
    PathSwap path(emptyPath.path());

    // An event posted as a file begins, as a click would come, is handled
    // while the run is under way, before a hundred more files end.
    int handledDuringRun = 0, endedSincePosted = -1, mostBeforeHandled = 0;
    connect(&run, &ConversionRun::fileBegun, this, [&] {
        if (std::exchange(endedSincePosted, std::max(endedSincePosted, 0)) < 0)
            QMetaObject::invokeMethod(
                this,
                [&] {
                    endedSincePosted = -1;
                    handledDuringRun += run.state() == ConversionRun::State::Converting;
                },
                Qt::QueuedConnection);
    });
    connect(&run, &ConversionRun::fileFinished, this, [&] {
        if (endedSincePosted >= 0)
            mostBeforeHandled = std::max(mostBeforeHandled, ++endedSincePosted);
    });
    const QString report = record(run).constLast();
    QVERIFY2(report.startsWith(
                 QStringLiteral("report %1 %1 %2").arg(files).arg(slowEncoder ? 0 : files)),
             qPrintable(report));
    QVERIFY(handledDuringRun > 0);
    QVERIFY2(mostBeforeHandled <= 100, qPrintable(QString::number(mostBeforeHandled)));
}

void ConversionRunTest::progressAndEnd_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("empty list") << 0 << QStringList{u"report 0 0 0"_qs};
    QTest::newRow("one file") << 1
                              << QStringList{
                                     u"state Converting"_qs, u"bar 100"_qs, u"file 1"_qs,
                                     u"state Idle"_qs,       u"bar 0"_qs,   u"report 1 1 0"_qs};
    QTest::newRow("three files") << 3
                                 << QStringList{
                                        u"state Converting"_qs, u"bar 33.333332"_qs, u"file 1"_qs,
                                        u"bar 66.666664"_qs,    u"file 2"_qs,        u"bar 100"_qs,
                                        u"file 3"_qs,           u"state Idle"_qs,    u"bar 0"_qs,
                                        u"report 3 3 0"_qs};
}

void ConversionRunTest::progressAndEnd() {
    QFETCH(int, files);
    QFETCH(QStringList, events);
    FakeEncoder fake;
    Batch entries;
    for (int i = 1; i <= files; ++i)
        entries.list.appendEntry(fake.source(QStringLiteral("clip%1.mkv").arg(i)));
    ConversionRun run(entries.list, fake.programFolder());
    QCOMPARE(record(run), events);
    QCOMPARE(fake.inputs(), entries.texts());
}

void ConversionRunTest::argumentsArriveWhole_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("blanks") << u"Summer  trip .mkv"_qs;
    QTest::newRow("quotes") << u"say \"hi\" it's.mkv"_qs;
    QTest::newRow("shell") << u"$(touch pwned) `id` ; & | *.mkv"_qs;
    QTest::newRow("non-ASCII") << u"Grüße ñ 日本.mkv"_qs;
    QTest::newRow("leading dash") << u"-y -an.mkv"_qs;
    QTest::newRow("backslash") << u"a\\b.mkv"_qs;
    QTest::newRow("no dot") << u"clip"_qs;
}

void ConversionRunTest::argumentsArriveWhole() {
    QFETCH(QString, name);
    FakeEncoder fake;
    Batch entries;
    entries.list.appendEntry(fake.source(name));
    ConversionRun run(entries.list, fake.programFolder());
    QCOMPARE(record(run).constLast(), u"report 1 1 0"_qs);
    const QString source = entries.texts()[0];
    const QList<FakeRun> runs = fake.runs();
    QCOMPARE(runs.size(), 1);
    // Each path arrives as one argument, unsplit and unquoted, in its place.
    const QStringList& arguments = runs[0].arguments;
    QCOMPARE(arguments.size(), 13);
    QCOMPARE(arguments.at(2), source);
    QCOMPARE(arguments.at(12), outputPathFor(source));
    QCOMPARE(fileText(outputPathFor(source)), u"fake wmv of "_qs + source + u"\n"_qs);
    QCOMPARE(QDir(fake.videos()).entryList(QDir::Files).size(), 2);
}

void ConversionRunTest::filesInListOrder() {
    FakeEncoder fake;
    Batch entries;
    const QString a = fake.source(u"a.mkv"_qs), b = fake.source(u"b.mkv"_qs),
                  c = fake.source(u"c.mkv"_qs);
    entries.list.insertEntries(1, QStringList{c, a, b, a});
    ConversionRun run(entries.list, fake.programFolder());
    const QStringList events = record(run);
    QCOMPARE(fake.inputs(), entries.texts());
    // The same entry twice: the second run finds the first one's output.
    QCOMPARE(events.constLast(), u"report 4 4 1\n"_qs + a + u": OutputExists"_qs);
}

void ConversionRunTest::failuresReported_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("directives");
    QTest::addColumn<bool>("reachesEncoder");
    QTest::addColumn<QString>("reason");
    QTest::newRow("exit code") << QString()
                               << QStringList{u"exit=3"_qs, u"stderr=Invalid data found"_qs} << true
                               << u"ExitCode: Invalid data found"_qs;
    QTest::newRow("killed") << QString() << QStringList{u"signal=9"_qs} << true
                            << u"EncoderCrashed"_qs;
    QTest::newRow("code 0, no output")
        << QString() << QStringList{u"output=no"_qs} << true << u"NoOutputWritten"_qs;
    QTest::newRow("code 0, output kept")
        << u"existing output"_qs << QStringList{u"existing=keep-zero"_qs} << true
        << u"OutputExists"_qs;
    // A failed write may still end with 0; what was written is removed.
    QTest::newRow("code 0, trailer not written")
        << QString() << QStringList{u"trailer-error=No space left on device"_qs} << true
        << u"DiskFull"_qs;
    QTest::newRow("code 0, write failed")
        << QString() << QStringList{u"stderr=av_interleaved_write_frame(): Disk quota exceeded"_qs}
        << true << u"WriteFailed: av_interleaved_write_frame(): Disk quota exceeded"_qs;
    // The raw line follows the plain cause; it never stands for it.
    QTest::newRow("source not readable")
        << QString() << QStringList{u"exit=1"_qs, u"stderr=SOURCE: Permission denied"_qs} << true
        << u"SourceUnreadable"_qs;
    QTest::newRow("missing source")
        << u"missing source"_qs << QStringList() << true << u"SourceMissing"_qs;
    QTest::newRow("no video") << QString()
                              << QStringList{probeAnswer("cover-only"),
                                             u"replay="_qs + recording("cover-only.stderr.txt")}
                              << true << u"NoVideo"_qs;
    QTest::newRow("source is wmv")
        << u"wmv source"_qs << QStringList() << false << u"OutputIsSource"_qs;
    QTest::newRow("output links to source")
        << u"linked output"_qs << QStringList() << false << u"OutputIsSource"_qs;
    // A pipe would hold the encoder forever.
    QTest::newRow("pipe source") << u"pipe source"_qs << QStringList() << false
                                 << u"NotRegularFile"_qs;
    QTest::newRow("folder source")
        << u"folder source"_qs << QStringList() << false << u"NotRegularFile"_qs;
    QTest::newRow("empty entry") << u"empty entry"_qs << QStringList() << false << u"EmptyEntry"_qs;
    QTest::newRow("encoder missing")
        << u"no encoder"_qs << QStringList() << false << u"EncoderMissing"_qs;
    QTest::newRow("encoder cannot start")
        << u"broken encoder"_qs << QStringList() << false << u"EncoderNotStarted: "_qs;
}

void ConversionRunTest::failuresReported() {
    QFETCH(QString, setup);
    QFETCH(QStringList, directives);
    QFETCH(bool, reachesEncoder);
    QFETCH(QString, reason);
    FakeEncoder fake;
    directives.replaceInStrings(u"SOURCE"_qs, fake.videos() + u"/bad.mkv"_qs);
    QString bad = fake.source(u"bad.mkv"_qs, directives);
    if (setup == u"existing output"_qs)
        QVERIFY(makeFile(outputPathFor(bad), "mine"));
    else if (setup == u"missing source"_qs)
        QVERIFY(QFile::remove(bad));
    else if (setup == u"wmv source"_qs)
        bad = fake.source(u"clip.wmv"_qs);
    else if (setup == u"linked output"_qs)
        QVERIFY(QFile::link(bad, outputPathFor(bad)));
    else if (setup == u"pipe source"_qs)
        QVERIFY(QFile::remove(bad) && ::mkfifo(QFile::encodeName(bad).constData(), 0600) == 0);
    else if (setup == u"folder source"_qs)
        QVERIFY(QFile::remove(bad) && QDir().mkdir(bad));
    else if (setup == u"empty entry"_qs)
        bad.clear();
    else if (setup == u"no encoder"_qs || setup == u"broken encoder"_qs)
        QVERIFY(QFile::remove(fake.encoder()));
    if (setup == u"broken encoder"_qs)
        QVERIFY(makeFile(fake.encoder(), "#!/nowhere\n"));
    const QString good = fake.source(u"good.mkv"_qs);
    const QByteArray badBefore = fileText(bad).toUtf8();

    Batch entries;
    entries.list.insertEntries(1, QStringList{bad, good});
    QTemporaryDir emptyPath;
    ConversionRun run(entries.list, fake.programFolder());
    PathSwap path(emptyPath.path());
    QStringList outcomes;
    connect(&run, &ConversionRun::fileFinished, this, [&outcomes](const FileOutcome& outcome) {
        outcomes << outcome.source + u": "_qs + causeText(outcome);
    });
    ConversionReport report;
    record(run, &report);

    const bool encoderUsable = setup != u"no encoder"_qs && setup != u"broken encoder"_qs;
    const QStringList handedOver = reachesEncoder  ? QStringList{bad, good}
                                   : encoderUsable ? QStringList{good}
                                                   : QStringList();
    QCOMPARE(fake.inputs(), handedOver);
    QCOMPARE(report.attempted, 2);
    QCOMPARE(report.failed, encoderUsable ? 1 : 2);
    QCOMPARE(report.failures.size(), report.failed);
    QCOMPARE(report.failures[0].source, bad);
    const QString told = causeText(report.failures[0]);
    QVERIFY2(reason.endsWith(u": "_qs) ? told.startsWith(reason) : told == reason,
             qPrintable(told));
    // Each file's outcome as it came, the same as the report's.
    QCOMPARE(outcomes.size(), 2);
    QCOMPARE(outcomes[0], bad + u": "_qs + told);
    QCOMPARE(outcomes[1].endsWith(u": None"_qs), encoderUsable);
    QCOMPARE(fileText(bad).toUtf8(), badBefore);
    // A failed file leaves nothing under its output's name; one that was there stays.
    if (setup == u"existing output"_qs)
        QCOMPARE(fileText(outputPathFor(bad)), u"mine"_qs);
    else if (reachesEncoder || setup.isEmpty())
        QVERIFY(!QFileInfo::exists(outputPathFor(bad)));
}

void ConversionRunTest::recordedSources_data() {
    // Each kind of source as Debian's ffmpeg 5.1 probed and converted it: the
    // fake probe tool answers what ffprobe did, and the fake encoder replays
    // what ffmpeg said for the command it was given. The command is the last
    // one run, what comes between the source and the output; none when no
    // encoder may run after the first.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("probeTool");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("outcome");
    const QString plain = u"-map 0:0 -an -vcodec wmv2 -b 5872k -r 25.00"_qs;
    const auto filtered = [](const QString& map, const QString& filters) -> QString {
        return map + u" -an -vf "_qs + filters + u" -vcodec wmv2 -b 5872k -r 25.00"_qs;
    };
    const auto toneMap = [](const char* transfer) -> QString {
        return u"zscale=tin="_qs + QLatin1String(transfer) +
               u":pin=bt2020:min=bt2020nc:t=linear:p=bt709:npl=100,format=gbrpf32le,"
               "tonemap=tonemap=mobius:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p"_qs;
    };
    const QString evenWidth = u"scale=w='iw+mod(iw,2)':h=ih"_qs;
    const auto row = [](const char* kind, bool probeTool, const QString& command,
                        const QString& outcome) {
        QTest::addRow("%s%s", kind, probeTool ? "" : ", no probe tool")
            << QString::fromLatin1(kind) << probeTool << command << outcome;
    };
    row("plain", true, plain, u"converted"_qs);
    row("plain", false, plain, u"converted"_qs);
    row("cover-video", true, plain, u"converted"_qs);
    row("late-start", true, plain, u"converted"_qs);
    row("sound-first", true, u"-map 0:1 -an -vcodec wmv2 -b 5872k -r 25.00"_qs, u"converted"_qs);
    row("sound-first", false, plain, u"failed FirstStreamNotVideo"_qs);
    row("subtitle-first", true, u"-map 0:1 -an -vcodec wmv2 -b 5872k -r 25.00"_qs, u"converted"_qs);
    row("cover-only", true, QString(), u"failed NoVideo"_qs);
    row("odd-width-vp9", true, filtered(u"-map 0:0"_qs, evenWidth), u"converted"_qs);
    row("odd-width-vp9", false, plain, u"failed PictureSize"_qs);
    row("tiny-lossless", true, filtered(u"-map 0:0"_qs, evenWidth), u"converted"_qs);
    row("interlaced-mpeg2", true, filtered(u"-map 0:0"_qs, u"yadif=deint=interlaced"_qs),
        u"converted"_qs);
    row("interlaced-h264", true, filtered(u"-map 0:0"_qs, u"yadif=deint=interlaced"_qs),
        u"converted"_qs);
    row("hdr-pq", true, filtered(u"-map 0:0"_qs, toneMap("smpte2084")), u"converted"_qs);
    row("hdr-hlg", true, filtered(u"-map 0:0"_qs, toneMap("arib-std-b67")), u"converted"_qs);
    row("no-frames", true, plain, u"failed NoPictures"_qs);
    row("cut-off", true, plain, u"partial EndsEarly 2 of 4"_qs);
    row("cut-off", false, plain, u"partial EndsEarly 2 of 4"_qs);
    row("garbage-cluster", true, plain, u"partial EndsEarly 1 of 4"_qs);
}

void ConversionRunTest::recordedSources() {
    QFETCH(QString, kind);
    QFETCH(bool, probeTool);
    QFETCH(QString, command);
    QFETCH(QString, outcome);
    const QString plain = u"-map 0:0 -an -vcodec wmv2 -b 5872k -r 25.00"_qs;
    const QString recorded = recording(kind);

    FakeEncoder fake;
    QStringList directives{probeAnswer(qPrintable(kind)),
                           u"replay="_qs + recorded + u".stderr.txt"_qs};
    if (QFile::exists(recorded + u".after.stderr.txt"_qs))
        directives << u"replay-changed="_qs + recorded + u".after.stderr.txt"_qs;
    const QString source = fake.source(kind + u".mkv"_qs, directives);
    if (!probeTool)
        QVERIFY(QFile::remove(fake.probeTool()));
    QTemporaryDir emptyPath;
    PathSwap path(emptyPath.path());
    Batch entries;
    entries.list.appendEntry(source);
    ConversionRun run(entries.list, fake.programFolder());
    ConversionReport report;
    record(run, &report);

    // The plain command runs first; ffprobe reads only a source that needs
    // another, which then follows.
    QStringList commands;
    for (const FakeRun& encoder : fake.runs())
        commands << encoder.arguments.mid(3, encoder.arguments.size() - 4).join(u' ');
    QStringList expected{plain};
    if (!command.isEmpty() && command != plain)
        expected << command;
    QCOMPARE(commands, expected);
    QCOMPARE(fake.probed().isEmpty(), command == plain);
    QCOMPARE(report.attempted, 1);
    const QString verdict = report.failed ? u"failed "_qs : u"partial "_qs;
    QCOMPARE(report.failures.isEmpty() ? u"converted"_qs : verdict + causeText(report.failures[0]),
             outcome);
    // Only a failure leaves nothing under the output's name.
    QCOMPARE(QFileInfo::exists(outputPathFor(source)), !report.failed);
}

void ConversionRunTest::manyFailuresKept() {
    // Every failure counts; only the first ones are kept by name.
    FakeEncoder fake;
    Batch entries;
    QStringList sources;
    for (int i = 1; i <= ConversionReport::FailuresKept + 5; ++i)
        sources << fake.videos() + QStringLiteral("/clip%1.mkv").arg(i);
    entries.list.insertEntries(1, sources);
    QVERIFY(QFile::remove(fake.encoder()));
    QTemporaryDir emptyPath;
    ConversionRun run(entries.list, fake.programFolder());
    PathSwap path(emptyPath.path());
    ConversionReport report;
    record(run, &report);
    QCOMPARE(report.failed, ConversionReport::FailuresKept + 5);
    QCOMPARE(report.failures.size(), ConversionReport::FailuresKept);
    QCOMPARE(report.failures.constLast().source, sources[ConversionReport::FailuresKept - 1]);
}

void ConversionRunTest::listChangesDuringRun_data() {
    // Edits made while the encoders work: each batch entry is converted once,
    // unless removed before its turn, and nothing added joins. The files take
    // different times, so that with several encoders they end out of order.
    QTest::addColumn<int>("encoders");
    QTest::addColumn<QStringList>("batch");
    QTest::addColumn<int>("during");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("converted");
    QTest::addColumn<QStringList>("bars");
    const auto row1 = [](const char* name) -> QTestData& { return QTest::newRow(name) << 1; };
    const QStringList abc{u"a"_qs, u"b"_qs, u"c"_qs};
    const QString third = u"33.333332"_qs, twoThirds = u"66.666664"_qs;
    // Read by position, the entry under way dragged down came up again, and b never did.
    row1("current dragged to the end")
        << abc << 1 << u"drag 1 3"_qs << abc << QStringList{third, twoThirds, u"100"_qs};
    row1("last dragged to the top")
        << abc << 1 << u"drag 3 1"_qs << QStringList{u"a"_qs, u"c"_qs, u"b"_qs}
        << QStringList{third, twoThirds, u"100"_qs};
    // By position, the finished a stood where c was next, and was done twice.
    row1("finished entry moved past the next")
        << abc << 2 << u"exchange 1 3"_qs << abc << QStringList{third, twoThirds, u"100"_qs};
    // Each edit must still know the files begun since the one before (0: at every file).
    row1("exchanged at every file")
        << QStringList{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs} << 0 << u"exchange 2 3"_qs
        << QStringList{u"a"_qs, u"c"_qs, u"b"_qs, u"d"_qs}
        << QStringList{u"25"_qs, u"50"_qs, u"75"_qs, u"100"_qs};
    row1("waiting ones exchanged")
        << abc << 1 << u"exchange 2 3"_qs << QStringList{u"a"_qs, u"c"_qs, u"b"_qs}
        << QStringList{third, twoThirds, u"100"_qs};
    // The one after the removed current entry is next, not skipped.
    row1("current removed") << abc << 1 << u"remove 1"_qs << abc
                            << QStringList{third, u"50"_qs, u"100"_qs};
    // A removed finished entry no longer counts, so the bar never passes 100.
    row1("earlier removed") << abc << 2 << u"remove 1"_qs << abc
                            << QStringList{third, twoThirds, u"100"_qs};
    row1("later removed") << abc << 1 << u"remove 2"_qs << QStringList{u"a"_qs, u"c"_qs}
                          << QStringList{third, u"100"_qs};
    row1("all removed") << abc << 1 << u"remove all"_qs << QStringList{u"a"_qs}
                        << QStringList{third};
    // By position, an entry inserted above moved the run back onto a file done.
    row1("inserted before") << abc << 1 << u"insert 1 d"_qs << abc
                            << QStringList{third, u"50"_qs, u"75"_qs};
    row1("inserted inside") << abc << 1 << u"insert 3 d"_qs << abc
                            << QStringList{third, u"50"_qs, u"75"_qs};
    row1("appended") << abc << 1 << u"insert 4 d"_qs << abc
                     << QStringList{third, u"50"_qs, u"75"_qs};
    row1("walk lands mid-run") << abc << 1 << u"walk d e"_qs << abc
                               << QStringList{third, u"40"_qs, u"60"_qs};
    // By text, the second a would pass for done; by position, b would go.
    row1("same text twice, the first dragged down")
        << QStringList{u"a"_qs, u"a"_qs, u"b"_qs} << 1 << u"drag 1 3"_qs
        << QStringList{u"a"_qs, u"a"_qs, u"b"_qs} << QStringList{third, twoThirds, u"100"_qs};
    // With three encoders a, b and c begin at once, and b, c, a end in that order.
    const QStringList abcde{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs, u"e"_qs};
    const auto row3 = [](const char* name) -> QTestData& { return QTest::newRow(name) << 3; };
    const QStringList three{u"20"_qs, u"40"_qs, u"60"_qs};
    row3("3 encoders, last dragged to the top")
        << abcde << 1 << u"drag 5 1"_qs << QStringList{u"a"_qs, u"b"_qs, u"c"_qs, u"e"_qs, u"d"_qs}
        << three + QStringList{u"80"_qs, u"100"_qs};
    row3("3 encoders, one under way removed")
        << abcde << 1 << u"remove 1"_qs << abcde << three + QStringList{u"75"_qs, u"100"_qs};
    row3("3 encoders, waiting one removed")
        << abcde << 1 << u"remove 5"_qs << QStringList{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs}
        << three + QStringList{u"100"_qs};
    row3("3 encoders, inserted before") << abcde << 1 << u"insert 1 f"_qs << abcde
                                        << three + QStringList{u"66.666664"_qs, u"83.333336"_qs};
    // Started together, the two a would write one file: the second is told it exists.
    row3("3 encoders, same text twice") << QStringList{u"a"_qs, u"a"_qs, u"b"_qs} << 1 << u"none"_qs
                                        << QStringList{u"a"_qs, u"a"_qs, u"b"_qs}
                                        << QStringList{u"33.333332"_qs, u"66.666664"_qs, u"100"_qs};
}

void ConversionRunTest::listChangesDuringRun() {
    QFETCH(int, encoders);
    QFETCH(QStringList, batch);
    QFETCH(int, during);
    QFETCH(QString, change);
    QFETCH(QStringList, converted);
    QFETCH(QStringList, bars);
    FakeEncoder fake;
    Batch entries;
    const auto source = [&fake](const QString& name) {
        const QHash<QString, QString> sleeps{
            {u"a"_qs, u"300"_qs}, {u"b"_qs, u"100"_qs}, {u"c"_qs, u"200"_qs}};
        return fake.source(name, {u"sleep="_qs + sleeps.value(name, u"150"_qs)});
    };
    for (const QString& name : batch)
        entries.list.appendEntry(source(name));
    ConversionRun run(entries.list, fake.programFolder());
    run.setEncoders(encoders);
    QStringList begun; // in the order the run took them
    connect(&run, &ConversionRun::fileBegun, &run,
            [&begun](int, const QString& file) { begun << QFileInfo(file).fileName(); });
    FolderWalkJob walk(entries.list, nullptr, [&](const QString&, const std::atomic<bool>*) {
        return FolderWalkResult{{source(u"d"_qs), source(u"e"_qs)}, {}};
    });
    // While the encoder works on that file, as a user would.
    connect(&run, &ConversionRun::fileBegun, &run, [&](int number) {
        if (number != during && during != 0)
            return;
        QTimer::singleShot(0, &run, [&] {
            const QStringList words = change.split(u' ');
            const int first = words.value(1).toInt(), second = words.value(2).toInt();
            FileListModel& list = entries.list;
            const auto at = [&list](int position) { return list.index(position - 1); };
            if (words[0] == u"drag"_qs) {
                for (int from = first; from != second; from += first < second ? 1 : -1)
                    list.exchangeEntries(at(from), at(first < second ? from + 1 : from - 1));
            } else if (words[0] == u"exchange"_qs) {
                list.exchangeEntries(at(first), at(second));
            } else if (change == u"remove all"_qs) {
                while (list.count() > 0)
                    list.removeEntry(list.index(0));
            } else if (words[0] == u"remove"_qs) {
                list.removeEntry(at(first));
            } else if (words[0] == u"insert"_qs) {
                entries.list.insertEntries(first, {source(words[2])});
            } else if (words[0] == u"walk"_qs) {
                walk.start(fake.videos());
            }
        });
    });
    ConversionReport report;
    const QStringList events = record(run, &report);
    QStringList names, bar;
    for (const QString& input : fake.inputs())
        names << QFileInfo(input).fileName();
    for (const QString& event : events) {
        if (event.startsWith(u"bar "_qs) && event != u"bar 0"_qs)
            bar << event.mid(4);
    }
    QCOMPARE(begun, converted);
    // A second a meets the first one's output; that is the only failure.
    const int failures = int(converted.count(u"a"_qs)) - 1 + int(!converted.contains(u"a"_qs));
    const int attempted = int(converted.size());
    // Encoders started together log their start in any order; two of them
    // never get the same output.
    if (encoders > 1) {
        names.sort();
        converted.removeDuplicates();
        converted.sort();
    }
    QCOMPARE(names, converted);
    QCOMPARE(bar, bars);
    QVERIFY2(report.failed == failures, qPrintable(describe(report)));
    QCOMPARE(report.attempted, attempted);
}

void ConversionRunTest::startDuringRunIgnored() {
    FakeEncoder fake;
    Batch entries;
    entries.list.insertEntries(1, QStringList{fake.source(u"a.mkv"_qs, {u"sleep=150"_qs}),
                                              fake.source(u"b.mkv"_qs, {u"sleep=150"_qs})});
    ConversionRun run(entries.list, fake.programFolder());
    connect(&run, &ConversionRun::fileBegun, &run,
            [&run] { QTimer::singleShot(0, &run, &ConversionRun::start); });
    const QStringList events = record(run);
    QCOMPARE(fake.inputs(), entries.texts());
    QCOMPARE(events.filter(u"report"_qs), QStringList{u"report 2 2 0"_qs});
}

void ConversionRunTest::abandonStopsRun() {
    FakeEncoder fake;
    const QString release = fake.path(u"release"_qs);
    Batch entries;
    entries.list.insertEntries(1, QStringList{fake.source(u"a.mkv"_qs, {u"wait-for="_qs + release}),
                                              fake.source(u"b.mkv"_qs)});
    ConversionRun run(entries.list, fake.programFolder());
    bool abandoned = false;
    // Once the first encoder is at work, after its probe.
    QTimer encoderStarted;
    connect(&encoderStarted, &QTimer::timeout, &run, [&] {
        if (fake.runs().isEmpty())
            return;
        encoderStarted.stop();
        run.abandon();
        abandoned = true;
    });
    encoderStarted.start(10);
    QCOMPARE(record(run, nullptr, &abandoned), (QStringList{u"state Converting"_qs, u"bar 50"_qs,
                                                            u"file 1"_qs, u"state Abandoned"_qs}));
    // The program is ending: nothing more starts, up to the first encoder's end and after.
    int begun = 0;
    connect(&run, &ConversionRun::fileBegun, &run, [&begun] { ++begun; });
    run.start();
    QCOMPARE(run.state(), ConversionRun::State::Abandoned);
    QVERIFY(makeFile(release, ""));
    QTRY_VERIFY_WITH_TIMEOUT(!fake.runs().isEmpty() && fake.runs()[0].ended, 10000);
    QCOMPARE(begun, 0);
    QCOMPARE(fake.inputs(), QStringList{entries.texts()[0]});
    QVERIFY(QFile::exists(outputPathFor(entries.texts()[0])));
    QCOMPARE(fake.runs().size(), 1);
}

void ConversionRunTest::failingPartFailsFile() {
    // The second part fails at once; the first, stopped, must leave nothing either.
    FakeEncoder fake;
    Batch entries;
    const QString never = fake.path(u"never"_qs);
    entries.list.appendEntry(fake.longSource(
        u"film.mkv"_qs,
        {u"wait-for="_qs + never, u"early-output=yes"_qs, u"seek-wait-for="_qs + fake.videos(),
         u"seek-stderr=No space left on device"_qs, u"seek-exit=1"_qs}));
    ConversionRun run(entries.list, fake.programFolder());
    run.setEncoders(2);
    ConversionReport report;
    record(run, &report);
    QCOMPARE(describe(report), u"report 1 1 1\n"_qs + entries.texts()[0] + u": DiskFull"_qs);
    const QList<FakeRun> runs = fake.runs();
    QCOMPARE(runs.size(), 2);
    for (const FakeRun& part : runs) // the failing part ended; the other one was stopped
        QCOMPARE(part.ended, part.arguments.contains(u"-ss"_qs));
    QCOMPARE(fake.videoFiles(), QStringList{u"film.mkv"_qs});
}

QTEST_GUILESS_MAIN(ConversionRunTest)
#include "tst_conversionrun.moc"
