// SPDX-License-Identifier: MIT
// The batch run against the fake encoder.

#include "common/pointerrules.h"
#include "convert/conversionrun.h"
#include "convert/outputnaming.h"
#include "fakeencoder.h"
#include "filelist/filelistmodel.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

namespace {

constexpr int RunTimeout = 30000;

// A batch and the pointer the run sets, as the window holds them.
struct Batch {
    FileListModel list;
    PointerRules pointer;
    QStringList texts() const {
        QStringList all;
        for (int position = 1; position <= list.count(); ++position)
            all << list.textAt(position);
        return all;
    }
};

// Starts the run and returns everything it showed, in order, once it has
// ended (or, for a run that is abandoned, once it has stopped).
QStringList record(ConversionRun& run, PointerRules& pointer, QString* details = nullptr,
                   const bool* abandoned = nullptr) {
    QStringList events;
    bool ended = false;
    QObject context;
    QObject::connect(&pointer, &PointerRules::codeChanged, &context, [&events](PointerCode code) {
        events.append(u"pointer "_qs + QString::number(int(code)));
    });
    QObject::connect(&run, &ConversionRun::progressChanged, &context, [&events](float value) {
        events.append(u"bar "_qs + QString::number(value, 'g', 8));
    });
    QObject::connect(&run, &ConversionRun::converting, &context,
                     [&events](int position, const QString&) {
                         events.append(u"file "_qs + QString::number(position));
                     });
    QObject::connect(&run, &ConversionRun::finished, &context,
                     [&](const QString& message, const QString& more) {
                         events.append(u"message "_qs + message);
                         if (details)
                             *details = more;
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
    void manyFailuresInDetails_data();
    void manyFailuresInDetails();
    void listChangesDuringRun_data();
    void listChangesDuringRun();
    void startDuringRunIgnored();
    void abandonStopsRun();
};

void ConversionRunTest::runLeavesEventLoopFree_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("slowEncoder");
    QTest::newRow("1000 entries, no encoder") << 1000 << false;
    QTest::newRow("a slow encoder") << 1 << true;
}

void ConversionRunTest::runLeavesEventLoopFree() {
    // The window's thread must answer throughout a run, even when every file
    // fails at once: the event loop turns while the run is under way, and
    // never waits longer than 50 ms for its next turn.
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
    ConversionRun run(batch.list, batch.pointer, fake.programFolder());
    PathSwap path(emptyPath.path());

    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    int ticksDuringRun = 0;
    bool ended = false;
    connect(&run, &ConversionRun::finished, this, [&ended] { ended = true; });
    QTimer timer; // fires at every turn of the event loop, the first after start()
    connect(&timer, &QTimer::timeout, this, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
        if (!ended)
            ++ticksDuringRun;
    });
    timer.start(0);
    clock.start();
    const QString message = record(run, batch.pointer).constLast();
    longest = std::max(longest, clock.elapsed() - last);
    QVERIFY2(message.startsWith(slowEncoder
                                    ? u"message Done."_qs
                                    : QStringLiteral("message %1 of %1 files failed.").arg(files)),
             qPrintable(message));
    QVERIFY(ticksDuringRun > 0);
    QVERIFY2(longest < 50, qPrintable(QStringLiteral("stalled %1 ms").arg(longest)));
}

void ConversionRunTest::progressAndEnd_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("empty list") << 0 << QStringList{u"message No files added."_qs};
    QTest::newRow("one file") << 1
                              << QStringList{u"pointer 11"_qs, u"bar 100"_qs, u"file 1"_qs,
                                             u"pointer 0"_qs,  u"bar 0"_qs,   u"message Done."_qs};
    // The pointer is reset to the arrow during file 1, as the end of a folder
    // walk does; every file shows the hourglass again.
    QTest::newRow("three files") << 3 << QStringList{u"pointer 11"_qs, u"bar 33.333332"_qs,
                                                     u"file 1"_qs,     u"pointer 0"_qs,
                                                     u"pointer 11"_qs, u"bar 66.666664"_qs,
                                                     u"file 2"_qs,     u"bar 100"_qs,
                                                     u"file 3"_qs,     u"pointer 0"_qs,
                                                     u"bar 0"_qs,      u"message Done."_qs};
}

void ConversionRunTest::progressAndEnd() {
    QFETCH(int, files);
    QFETCH(QStringList, events);
    FakeEncoder fake;
    Batch entries;
    for (int i = 1; i <= files; ++i)
        entries.list.appendEntry(fake.source(QStringLiteral("clip%1.mkv").arg(i)));
    ConversionRun run(entries.list, entries.pointer, fake.programFolder());
    connect(&run, &ConversionRun::converting, this, [&entries, files](int position) {
        if (position == 1 && files > 1)
            QTimer::singleShot(0, [&entries] { entries.pointer.setCode(PointerCode::Default); });
    });
    QCOMPARE(record(run, entries.pointer), events);
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
    ConversionRun run(entries.list, entries.pointer, fake.programFolder());
    QCOMPARE(record(run, entries.pointer).constLast(), u"message Done."_qs);
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
    ConversionRun run(entries.list, entries.pointer, fake.programFolder());
    const QStringList events = record(run, entries.pointer);
    QCOMPARE(fake.inputs(), entries.texts());
    // The same entry twice: the second run finds the first one's output.
    QCOMPARE(events.constLast(),
             u"message 1 of 4 files failed.\n\n"_qs + a +
                 u"\n    the encoder ended with exit code 1: File '"_qs + outputPathFor(a) +
                 u"' already exists. Overwrite? [y/N] Not overwriting - exiting"_qs);
}

void ConversionRunTest::failuresReported_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("directives");
    QTest::addColumn<bool>("reachesEncoder");
    QTest::addColumn<QString>("reason");
    QTest::newRow("exit code") << QString()
                               << QStringList{u"exit=3"_qs, u"stderr=Invalid data found"_qs} << true
                               << u"the encoder ended with exit code 3: Invalid data found"_qs;
    QTest::newRow("killed") << QString() << QStringList{u"signal=9"_qs} << true
                            << u"the encoder was killed or crashed"_qs;
    QTest::newRow("code 0, no output") << QString() << QStringList{u"output=no"_qs} << true
                                       << u"exit code 0 but wrote no output"_qs;
    QTest::newRow("code 0, output kept")
        << u"existing output"_qs << QStringList{u"existing=keep-zero"_qs} << true
        << u"exit code 0 but wrote no output"_qs;
    // A failed write may still end with 0; what was written stays for the user.
    QTest::newRow("code 0, trailer not written")
        << u"incomplete output"_qs << QStringList{u"trailer-error=No space left on device"_qs}
        << true << u"is incomplete: Error writing trailer of "_qs;
    QTest::newRow("code 0, write failed")
        << u"incomplete output"_qs
        << QStringList{u"stderr=av_interleaved_write_frame(): Disk quota exceeded"_qs} << true
        << u"is incomplete: av_interleaved_write_frame(): Disk quota exceeded"_qs;
    QTest::newRow("missing source")
        << u"missing source"_qs << QStringList() << true << u"exit code 1: "_qs;
    QTest::newRow("source is wmv")
        << u"wmv source"_qs << QStringList() << false << u"would be the source file itself"_qs;
    QTest::newRow("output links to source")
        << u"linked output"_qs << QStringList() << false << u"would be the source file itself"_qs;
    // A pipe would hold the encoder forever.
    QTest::newRow("pipe source") << u"pipe source"_qs << QStringList() << false
                                 << u"is not a regular file"_qs;
    QTest::newRow("folder source")
        << u"folder source"_qs << QStringList() << false << u"is not a regular file"_qs;
    QTest::newRow("empty entry") << u"empty entry"_qs << QStringList() << false
                                 << u"the list entry is empty"_qs;
    QTest::newRow("encoder missing") << u"no encoder"_qs << QStringList() << false
                                     << u"the encoder was not found (looked for "_qs;
    QTest::newRow("encoder cannot start")
        << u"broken encoder"_qs << QStringList() << false << u"could not be started"_qs;
}

void ConversionRunTest::failuresReported() {
    QFETCH(QString, setup);
    QFETCH(QStringList, directives);
    QFETCH(bool, reachesEncoder);
    QFETCH(QString, reason);
    FakeEncoder fake;
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
    ConversionRun run(entries.list, entries.pointer, fake.programFolder());
    PathSwap path(emptyPath.path());
    const QString message = record(run, entries.pointer).constLast();

    const bool encoderUsable = setup != u"no encoder"_qs && setup != u"broken encoder"_qs;
    const QStringList handedOver = reachesEncoder  ? QStringList{bad, good}
                                   : encoderUsable ? QStringList{good}
                                                   : QStringList();
    QCOMPARE(fake.inputs(), handedOver);
    const QString expectedStart = encoderUsable ? u"message 1 of 2 files failed.\n\n"_qs
                                                : u"message 2 of 2 files failed.\n\n"_qs;
    QVERIFY2(message.startsWith(expectedStart + bad + u"\n    "_qs) && message.contains(reason),
             qPrintable(message));
    QCOMPARE(fileText(bad).toUtf8(), badBefore);
    if (setup == u"existing output"_qs)
        QCOMPARE(fileText(outputPathFor(bad)), u"mine"_qs);
    if (setup == u"incomplete output"_qs)
        QVERIFY(QFileInfo(outputPathFor(bad)).size() > 0);
}

void ConversionRunTest::manyFailuresInDetails_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<bool>("encoder");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("named");
    QTest::newRow("five") << 5 << true
                          << u"5 of 5 files failed. The details list each one with its reason."_qs
                          << 5;
    QTest::newRow("more than the details hold")
        << ConversionRun::FailuresInDetails + 5 << false
        << QStringLiteral("%1 of %1 files failed. The details list the first %2 with their "
                          "reasons.")
               .arg(ConversionRun::FailuresInDetails + 5)
               .arg(ConversionRun::FailuresInDetails)
        << ConversionRun::FailuresInDetails;
}

void ConversionRunTest::manyFailuresInDetails() {
    QFETCH(int, files);
    QFETCH(bool, encoder);
    QFETCH(QString, message);
    QFETCH(int, named);
    FakeEncoder fake;
    Batch entries;
    QStringList sources;
    for (int i = 1; i <= files; ++i)
        sources << (encoder ? fake.source(QStringLiteral("clip%1.mkv").arg(i), {u"exit=1"_qs})
                            : fake.videos() + QStringLiteral("/clip%1.mkv").arg(i));
    entries.list.insertEntries(1, sources);
    if (!encoder)
        QVERIFY(QFile::remove(fake.encoder()));
    QTemporaryDir emptyPath;
    ConversionRun run(entries.list, entries.pointer, fake.programFolder());
    PathSwap path(emptyPath.path());
    QString details;
    QCOMPARE(record(run, entries.pointer, &details).constLast(), u"message "_qs + message);
    const QString reason = encoder ? u"\n    the encoder ended with exit code 1"_qs
                                   : u"\n    the encoder was not found"_qs;
    for (int i = 0; i < files; ++i)
        QCOMPARE(details.count(sources[i] + reason), i < named ? 1 : 0);
    QCOMPARE(details.endsWith(u"...and 5 more."_qs), named < files);
}

void ConversionRunTest::listChangesDuringRun_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("converted");
    QTest::addColumn<QStringList>("bars");
    QTest::newRow("rest removed") << u"remove b c"_qs << QStringList{u"a"_qs}
                                  << QStringList{u"33.333332"_qs};
    QTest::newRow("all removed") << u"remove all"_qs << QStringList{u"a"_qs}
                                 << QStringList{u"33.333332"_qs};
    QTest::newRow("one removed") << u"remove b"_qs << QStringList{u"a"_qs, u"c"_qs}
                                 << QStringList{u"33.333332"_qs, u"100"_qs};
    // The entry under way removed: the one after it is next, not skipped.
    QTest::newRow("current removed") << u"remove a"_qs << QStringList{u"a"_qs, u"b"_qs, u"c"_qs}
                                     << QStringList{u"33.333332"_qs, u"50"_qs, u"100"_qs};
    QTest::newRow("inserted before")
        << u"insert d first"_qs << QStringList{u"a"_qs, u"b"_qs, u"c"_qs}
        << QStringList{u"33.333332"_qs, u"75"_qs, u"100"_qs};
    QTest::newRow("reordered") << u"swap b c"_qs << QStringList{u"a"_qs, u"c"_qs, u"b"_qs}
                               << QStringList{u"33.333332"_qs, u"66.666664"_qs, u"100"_qs};
    QTest::newRow("appended") << u"append d"_qs << QStringList{u"a"_qs, u"b"_qs, u"c"_qs}
                              << QStringList{u"33.333332"_qs, u"50"_qs, u"75"_qs};
}

void ConversionRunTest::listChangesDuringRun() {
    QFETCH(QString, change);
    QFETCH(QStringList, converted);
    QFETCH(QStringList, bars);
    FakeEncoder fake;
    Batch entries;
    for (const char* name : {"a", "b", "c"})
        entries.list.appendEntry(fake.source(QLatin1String(name), {u"sleep=150"_qs}));
    const QString d = fake.source(u"d"_qs, {u"sleep=150"_qs});
    ConversionRun run(entries.list, entries.pointer, fake.programFolder());
    // While the encoder works on the first file, as a user would.
    connect(&run, &ConversionRun::converting, &run, [&](int position) {
        if (position != 1)
            return;
        QTimer::singleShot(0, &run, [&] {
            if (change == u"remove b c"_qs) {
                entries.list.removeEntry(2);
                entries.list.removeEntry(2);
            } else if (change == u"remove all"_qs) {
                while (entries.list.count() > 0)
                    entries.list.removeEntry(1);
            } else if (change == u"remove b"_qs) {
                entries.list.removeEntry(2);
            } else if (change == u"remove a"_qs) {
                entries.list.removeEntry(1);
            } else if (change == u"insert d first"_qs) {
                entries.list.insertEntries(1, {d});
            } else if (change == u"swap b c"_qs) {
                entries.list.exchangeEntries(2, 3);
            } else {
                entries.list.appendEntry(d);
            }
        });
    });
    const QStringList events = record(run, entries.pointer);
    QStringList names, bar;
    for (const QString& input : fake.inputs())
        names << QFileInfo(input).fileName();
    for (const QString& event : events) {
        if (event.startsWith(u"bar "_qs) && event != u"bar 0"_qs)
            bar << event.mid(4);
    }
    QCOMPARE(names, converted);
    QCOMPARE(bar, bars);
    QCOMPARE(events.constLast(), u"message Done."_qs);
}

void ConversionRunTest::startDuringRunIgnored() {
    FakeEncoder fake;
    Batch entries;
    entries.list.insertEntries(1, QStringList{fake.source(u"a.mkv"_qs, {u"sleep=150"_qs}),
                                              fake.source(u"b.mkv"_qs, {u"sleep=150"_qs})});
    ConversionRun run(entries.list, entries.pointer, fake.programFolder());
    connect(&run, &ConversionRun::converting, &run,
            [&run] { QTimer::singleShot(0, &run, &ConversionRun::start); });
    const QStringList events = record(run, entries.pointer);
    QCOMPARE(fake.inputs(), entries.texts());
    QCOMPARE(events.filter(u"message"_qs), QStringList{u"message Done."_qs});
}

void ConversionRunTest::abandonStopsRun() {
    FakeEncoder fake;
    const QString release = fake.path(u"release"_qs);
    Batch entries;
    entries.list.insertEntries(1, QStringList{fake.source(u"a.mkv"_qs, {u"wait-for="_qs + release}),
                                              fake.source(u"b.mkv"_qs)});
    ConversionRun run(entries.list, entries.pointer, fake.programFolder());
    bool abandoned = false;
    QTimer::singleShot(100, &run, [&] {
        run.abandon();
        abandoned = true;
    });
    QCOMPARE(record(run, entries.pointer, nullptr, &abandoned),
             (QStringList{u"pointer 11"_qs, u"bar 50"_qs, u"file 1"_qs}));
    run.start(); // the program is ending: nothing more starts
    QTest::qWait(100);
    QCOMPARE(fake.inputs(), QStringList{entries.texts()[0]});

    QVERIFY(makeFile(release, ""));
    QTRY_VERIFY_WITH_TIMEOUT(!fake.runs().isEmpty() && fake.runs()[0].ended, 10000);
    QVERIFY(QFile::exists(outputPathFor(entries.texts()[0])));
    QCOMPARE(fake.runs().size(), 1);
}

QTEST_GUILESS_MAIN(ConversionRunTest)
#include "tst_conversionrun.moc"
