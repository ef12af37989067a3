// The Start button of the real main window, with the fake encoder.

#include "app/form1.h"
#include "app/userdialogs.h"
#include "convert/conversioncontroller.h"
#include "convert/outputnaming.h"
#include "fakeencoder.h"
#include "filelist/filelistview.h"
#include "testservices.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

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
                        .arg(int(window->pointer().code()))
                        .arg(window->progressBar()->value())
                        .arg(details);
    }
};

class PathSwap {
  public:
    explicit PathSwap(const QString& path) : m_saved(qgetenv("PATH")) {
        qputenv("PATH", QFile::encodeName(path));
    }
    ~PathSwap() { qputenv("PATH", m_saved); }

  private:
    QByteArray m_saved;
};

} // namespace

class ConversionWindowTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void startConverts_data();
    void startConverts();
    void emptyListOnlyTells();
    void startDuringRunIgnored();
    void closingAbandonsRun();

  private:
    static QPushButton* start(Form1& form) {
        return form.findChild<QPushButton*>(QStringLiteral("Check2"));
    }
    static ConversionRun& run(Form1& form) {
        return form.findChild<ConversionController*>()->run();
    }
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
    Form1 form(testServices(fake.programFolder(), &dialogs));
    dialogs.window = &form;
    QStringList sources;
    for (const char* name : {"one.mkv", "two.mkv", "three.mkv"}) {
        sources << fake.source(QLatin1String(name));
        form.fileList()->appendEntry(sources.constLast());
    }
    QStringList during;
    connect(&run(form), &ConversionRun::converting, &form, [&] {
        during << QStringLiteral("pointer %1 bar %2")
                      .arg(int(form.pointer().code()))
                      .arg(form.progressBar()->value());
    });
    start(form)->click();

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
    QCOMPARE(form.fileList()->count(), 3); // the run leaves the list as it was
}

void ConversionWindowTest::emptyListOnlyTells() {
    FakeEncoder fake;
    WatchingDialogs dialogs;
    Form1 form(testServices(fake.programFolder(), &dialogs));
    dialogs.window = &form;
    form.pointer().setCode(PointerCode::Hand);
    form.progressBar()->setValue(42);
    start(form)->click();
    QCOMPARE(dialogs.messages, QStringList{u"No files added. | pointer 99 bar 42 | "_qs});
    QVERIFY(fake.runs().isEmpty());
}

void ConversionWindowTest::startDuringRunIgnored() {
    FakeEncoder fake;
    WatchingDialogs dialogs;
    Form1 form(testServices(fake.programFolder(), &dialogs));
    dialogs.window = &form;
    form.fileList()->appendEntry(fake.source(u"a.mkv"_qs, {u"sleep=200"_qs}));
    form.fileList()->appendEntry(fake.source(u"b.mkv"_qs, {u"sleep=200"_qs}));
    QTimer::singleShot(50, &form, [&form] { start(form)->click(); });
    start(form)->click();
    QCOMPARE(fake.runs().size(), 2);
    QCOMPARE(dialogs.messages, QStringList{u"Done. | pointer 0 bar 0 | "_qs});
}

void ConversionWindowTest::closingAbandonsRun() {
    FakeEncoder fake;
    const QString release = fake.path(u"release"_qs);
    const QString first = fake.source(u"a.mkv"_qs, {u"wait-for="_qs + release});
    WatchingDialogs dialogs;
    {
        Form1 form(testServices(fake.programFolder(), &dialogs));
        dialogs.window = &form;
        form.show();
        form.fileList()->appendEntry(first);
        form.fileList()->appendEntry(fake.source(u"b.mkv"_qs));
        int unloads = 0;
        connect(&form, &Form1::unloading, [&unloads] { ++unloads; });
        QTimer::singleShot(100, &form, &QWidget::close);
        start(form)->click();
        QCOMPARE(unloads, 1);
        QVERIFY(!run(form).running());
    } // the window and its run are gone; the encoder must not go with them
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(fake.inputs(), QStringList{first});
    QVERIFY(!fake.runs()[0].ended);

    QFile(release).open(QIODevice::WriteOnly);
    QTRY_VERIFY_WITH_TIMEOUT(fake.runs()[0].ended, 10000);
    QCOMPARE(fake.runs()[0].code, 0);
    QVERIFY(QFile::exists(outputPathFor(first)));
    QCOMPARE(fake.runs().size(), 1);
}

QTEST_MAIN(ConversionWindowTest)
#include "tst_conversionwindow.moc"
