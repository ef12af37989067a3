// SPDX-License-Identifier: MIT
// The real program converting without a window, as a script or a farm runs
// it: no display, the stand-in encoder beside a copy of the program, and
// what it tells on standard output and standard error, and its exit status.

#include "fakeencoder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <csignal>

class TerminalTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void converts_data();
    void converts();
    void endsWithoutAnEncoder();
};

void TerminalTest::converts_data() {
    QTest::addColumn<QStringList>("second"); // the fake's directives for the second file
    QTest::addColumn<bool>("interrupted");   // SIGINT while the second runs
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("cause"); // the second file's, in its JSON line
    QTest::addColumn<QString>("told");  // on standard error
    QTest::newRow("all converted")
        << QStringList() << false << 0 << QString() << u"2 files converted."_qs;
    QTest::newRow("one fails") << QStringList{u"exit=1"_qs, u"stderr=Something went wrong"_qs}
                               << false << 1 << u"exit-code"_qs
                               << u"second.mkv: the encoder ended with exit code 1"_qs;
    // What the stopped encoder began is removed, and nothing more begins.
    QTest::newRow("Ctrl+C") << QStringList{u"early-output=yes"_qs,
                                           u"wait-for=/nonexistent/never"_qs}
                            << true << 130 << u"interrupted"_qs << u"Stopped: 1 file not begun."_qs;
}

void TerminalTest::converts() {
    QFETCH(QStringList, second);
    QFETCH(bool, interrupted);
    QFETCH(int, status);
    QFETCH(QString, cause);
    QFETCH(QString, told);
    FakeEncoder fake;
    const QString program = fake.programFolder() + u"/quorvane"_qs;
    QVERIFY(QFile::copy(QStringLiteral(QUORVANE_EXE), program));
    const QStringList sources{fake.source(u"first.mkv"_qs), fake.source(u"second.mkv"_qs, second),
                              fake.source(u"third.mkv"_qs)};

    QProcess quorvane;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    quorvane.setProcessEnvironment(environment);
    // Interrupted, the third file is never begun.
    quorvane.start(program, QStringList{u"--convert"_qs, u"--json"_qs} +
                                (interrupted ? sources : sources.mid(0, 2)));
    if (interrupted) {
        QTRY_COMPARE_WITH_TIMEOUT(fake.runs().size(), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(fake.videos() + u"/second.wmv"_qs), 20000);
        QCOMPARE(::kill(pid_t(quorvane.processId()), SIGINT), 0);
    }
    QVERIFY(quorvane.waitForFinished(30000));
    QCOMPARE(quorvane.exitStatus(), QProcess::NormalExit);
    QCOMPARE(quorvane.exitCode(), status);

    // A line of JSON per file, as each ends.
    const QList<QByteArray> lines = quorvane.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    const QJsonObject last = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(first.value(u"outcome").toString(), u"converted"_qs);
    QVERIFY(first.value(u"cause").isNull());
    QCOMPARE(first.value(u"output").toString(), fake.videos() + u"/first.wmv"_qs);
    QCOMPARE(last.value(u"source").toString(), sources[1]);
    QCOMPARE(last.value(u"cause").toString(), cause);
    QVERIFY(last.value(u"seconds").isDouble());
    const QString errors = QString::fromUtf8(quorvane.readAllStandardError());
    QVERIFY2(errors.contains(told) && !errors.contains(u'\r'), qPrintable(errors));
    if (interrupted) {
        QCOMPARE(fake.videoFiles(), (QStringList{u"first.mkv"_qs, u"first.wmv"_qs, u"second.mkv"_qs,
                                                 u"third.mkv"_qs}));
        QCOMPARE(fake.runs().size(), 2);
    }
}

// Every entry refused before an encoder starts: the run is over at once.
void TerminalTest::endsWithoutAnEncoder() {
    QProcess quorvane;
    quorvane.start(QStringLiteral(QUORVANE_EXE), {u"--convert"_qs, u"--json"_qs, u"/dev/null"_qs});
    QVERIFY(quorvane.waitForFinished(30000));
    QCOMPARE(quorvane.exitCode(), 1);
    QCOMPARE(QJsonDocument::fromJson(quorvane.readAllStandardOutput()).object().value(u"cause"),
             QJsonValue(u"not-regular-file"_qs));
}

QTEST_GUILESS_MAIN(TerminalTest)
#include "tst_terminal.moc"
