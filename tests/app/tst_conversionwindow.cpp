// SPDX-License-Identifier: MIT
// The Start button of the real main window, with the fake encoder.

#include "app/form1.h"
#include "app/messages.h"
#include "app/userdialogs.h"
#include "convert/conversionrun.h"
#include "convert/outputnaming.h"
#include "fakeencoder.h"
#include "testservices.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

constexpr int RunTimeout = 30000;

// Notes what the window showed when each message came.
class WatchingDialogs final : public UserDialogs {
  public:
    Form1* window = nullptr;
    QStringList messages;

    QStringList chooseFiles(QWidget*, const QString&, const QString&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    void showMessage(QWidget* parent, const QString& text, const QString& details) override {
        QCOMPARE(parent, window);
        messages << QStringLiteral("%1 | pointer %2 bar %3 | %4")
                        .arg(text)
                        .arg(int(pointerRules(*window).code()))
                        .arg(progressBar(*window).value())
                        .arg(details);
    }
};

} // namespace

class ConversionWindowTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { QVERIFY(installProgramTexts(*qApp)); }
    void startConverts_data();
    void startConverts();
    void emptyListOnlyTells();
    void startDuringRunIgnored();
    void closingAbandonsRun();

  private:
    static QPushButton* start(Form1& form) {
        return form.findChild<QPushButton*>(QStringLiteral("Check2"));
    }
    static ConversionRun& run(TestForm1& form) { return form.session.run(); }
};

void ConversionWindowTest::startConverts_data() {
    QTest::addColumn<bool>("inProgramFolder");
    QTest::addColumn<bool>("onPath");
    QTest::newRow("program folder") << true << false;
    QTest::newRow("on PATH") << false << true;
    QTest::newRow("both: program folder wins") << true << true;
    QTest::newRow("nowhere") << false << false;
}

void ConversionWindowTest::startConverts() {
    QFETCH(bool, inProgramFolder);
    QFETCH(bool, onPath);
    FakeEncoder fake;
    QTemporaryDir pathFolder;
    const QString pathEncoder = pathFolder.filePath(encoderFileName());
    if (onPath)
        QVERIFY(QFile::link(QStringLiteral(FAKE_ENCODER), pathEncoder));
    if (!inProgramFolder)
        QVERIFY(QFile::remove(fake.encoder()));
    PathSwap path(pathFolder.path());

    WatchingDialogs dialogs;
    // A folder walk that ends while the first file converts.
    TestForm1 form(testServices(fake.programFolder(), &dialogs),
                   [](const QString&, const std::atomic<bool>*) { return FolderWalkResult{}; });
    dialogs.window = &form;
    QStringList sources;
    for (const char* name : {"one.mkv", "two.mkv", "three.mkv"}) {
        sources << fake.source(QLatin1String(name), {u"sleep=200"_qs});
        fileList(form).appendEntry(sources.constLast());
    }
    QStringList during;
    connect(&run(form), &ConversionRun::fileBegun, &form, [&](int number) {
        during << QStringLiteral("pointer %1 bar %2")
                      .arg(int(pointerRules(form).code()))
                      .arg(progressBar(form).value());
        // The walk's end must not take the hourglass from the run.
        if (number == 1)
            QTimer::singleShot(0, &form, [&form] { form.session.folderWalk().start(u"/v"_qs); });
    });
    start(form)->click();
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.messages.size(), 1, RunTimeout);

    if (!inProgramFolder && !onPath) {
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages[0].startsWith(u"3 of 3 files failed.\n\n"_qs + sources[0] +
                                                u"\n    the encoder was not found (looked for "_qs +
                                                fake.encoder() + u" and for "_qs),
                 qPrintable(dialogs.messages[0]));
        QVERIFY(dialogs.messages[0].endsWith(u" | pointer 0 bar 0 | "_qs));
        return;
    }
    QCOMPARE(during, (QStringList{u"pointer 11 bar 33"_qs, u"pointer 11 bar 67"_qs,
                                  u"pointer 11 bar 100"_qs}));
    QCOMPARE(dialogs.messages, QStringList{u"Done. | pointer 0 bar 0 | "_qs});
    QCOMPARE(fake.inputs(), sources);
    const QString used = inProgramFolder ? fake.encoder() : pathEncoder;
    for (const FakeRun& encoderRun : fake.runs())
        QCOMPARE(encoderRun.arguments.value(0), used);
    QCOMPARE(fileList(form).count(), 3); // the run leaves the list as it was
}

void ConversionWindowTest::emptyListOnlyTells() {
    FakeEncoder fake;
    WatchingDialogs dialogs;
    TestForm1 form(testServices(fake.programFolder(), &dialogs));
    dialogs.window = &form;
    pointerRules(form).pointerOverButton();
    progressBar(form).setValue(42);
    start(form)->click();
    QCOMPARE(dialogs.messages, QStringList{u"No files added. | pointer 99 bar 42 | "_qs});
    QVERIFY(fake.runs().isEmpty());
}

void ConversionWindowTest::startDuringRunIgnored() {
    FakeEncoder fake;
    WatchingDialogs dialogs;
    TestForm1 form(testServices(fake.programFolder(), &dialogs));
    dialogs.window = &form;
    fileList(form).appendEntry(fake.source(u"a.mkv"_qs, {u"sleep=200"_qs}));
    fileList(form).appendEntry(fake.source(u"b.mkv"_qs, {u"sleep=200"_qs}));
    QTimer::singleShot(50, &form, [&form] { start(form)->click(); });
    start(form)->click();
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.messages.size(), 1, RunTimeout);
    QCOMPARE(fake.runs().size(), 2);
    QCOMPARE(dialogs.messages, QStringList{u"Done. | pointer 0 bar 0 | "_qs});
}

void ConversionWindowTest::closingAbandonsRun() {
    FakeEncoder fake;
    const QString release = fake.path(u"release"_qs);
    const QString first = fake.source(u"a.mkv"_qs, {u"wait-for="_qs + release});
    WatchingDialogs dialogs;
    {
        TestForm1 form(testServices(fake.programFolder(), &dialogs));
        dialogs.window = &form;
        form.show();
        fileList(form).appendEntry(first);
        fileList(form).appendEntry(fake.source(u"b.mkv"_qs));
        int unloads = 0;
        connect(&form, &Form1::unloading, [&unloads] { ++unloads; });
        start(form)->click();
        QTRY_COMPARE_WITH_TIMEOUT(fake.runs().size(), 1, RunTimeout);
        QVERIFY(form.close());
        QCOMPARE(unloads, 1);
    } // the window and its run are gone; the encoder must not go with them
    QVERIFY(!fake.runs()[0].ended);

    // Nothing more starts or shows, up to the first encoder's end and after.
    QFile(release).open(QIODevice::WriteOnly);
    QTRY_VERIFY_WITH_TIMEOUT(fake.runs()[0].ended, 10000);
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(fake.inputs(), QStringList{first});
    QCOMPARE(fake.runs()[0].code, 0);
    QVERIFY(QFile::exists(outputPathFor(first)));
    QCOMPARE(fake.runs().size(), 1);
}

QTEST_MAIN(ConversionWindowTest)
#include "tst_conversionwindow.moc"
