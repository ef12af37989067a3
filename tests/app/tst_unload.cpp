// SPDX-License-Identifier: MIT
// Closing the window ends the program at once: during a run, while the encoder
// it started runs on to its own end and leaves a complete output; during a
// folder walk, even one that hangs. The encoders of a file's parts are
// stopped instead, and the parts go with the program.

#include "convert/outputnaming.h"
#include "fakeencoder.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

class UnloadTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void encoderOutlivesProgram_data();
    void encoderOutlivesProgram();
    void partsGoWithProgram_data();
    void partsGoWithProgram();
    void hungWalkDoesNotHoldTheEnd();
};

void UnloadTest::encoderOutlivesProgram_data() {
    QTest::addColumn<int>("encoders");
    QTest::addColumn<bool>("interrupted"); // Ctrl+C in the terminal: SIGINT to the whole group
    QTest::newRow("one encoder") << 1 << false;
    QTest::newRow("three encoders") << 3 << false;
    QTest::newRow("Ctrl+C") << 1 << true;
}

void UnloadTest::encoderOutlivesProgram() {
    QFETCH(int, encoders);
    QFETCH(bool, interrupted);
    FakeEncoder fake;
    const QString release = fake.path(u"release"_qs);
    QStringList held; // the files under way when the window closes
    for (int i = 1; i <= encoders; ++i)
        held << fake.source(u"clip %1.mkv"_qs.arg(i), {u"wait-for="_qs + release});
    const QString next = fake.source(u"next.mkv"_qs);

    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Its own process group, as a terminal's shell gives the program.
    probe.setChildProcessModifier([] { ::setpgid(0, 0); });
    probe.start(QStringLiteral(UNLOAD_PROBE),
                QStringList{interrupted ? u"hold"_qs : u"run"_qs, fake.programFolder(),
                            fake.logPath(), QString::number(encoders)} +
                    held + QStringList{next});
    if (interrupted) {
        QTRY_COMPARE_WITH_TIMEOUT(fake.runs().size(), encoders, 20000);
        QCOMPARE(::kill(-pid_t(probe.processId()), SIGINT), 0);
    }
    QVERIFY2(probe.waitForFinished(30000), "the program did not end when its window closed");
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);
    QVERIFY(probe.readAllStandardOutput().endsWith("messages 0\n"));

    // The program is gone; its encoders are not.
    QList<FakeRun> runs = fake.runs();
    QCOMPARE(runs.size(), encoders);
    for (const FakeRun& run : std::as_const(runs)) {
        QVERIFY(!run.ended);
        QCOMPARE(::kill(pid_t(run.pid), 0), 0);
    }
    for (const QString& source : std::as_const(held))
        QVERIFY(!QFile::exists(outputPathFor(source)));

    QFile(release).open(QIODevice::WriteOnly);
    QTRY_VERIFY_WITH_TIMEOUT(fake.runs().constLast().ended && fake.runs().constFirst().ended,
                             20000);
    runs = fake.runs();
    QCOMPARE(runs.size(), encoders); // nothing started the next entry
    for (const FakeRun& run : std::as_const(runs)) {
        QVERIFY(run.ended);
        QCOMPARE(run.code, 0);
        QVERIFY2(run.epipe, "the encoder's error output should have had no reader any more");
    }
    for (const QString& source : std::as_const(held)) {
        QFile output(outputPathFor(source));
        QVERIFY(output.open(QIODevice::ReadOnly));
        QCOMPARE(output.readAll(), QByteArray("fake wmv of ") + source.toUtf8() + '\n');
    }
}

void UnloadTest::partsGoWithProgram_data() {
    QTest::addColumn<bool>("terminated");
    QTest::newRow("window closed") << false;
    QTest::newRow("SIGTERM") << true; // a kill, or the end of the session
}

void UnloadTest::partsGoWithProgram() {
    QFETCH(bool, terminated);
    FakeEncoder fake;
    const QString film = fake.longSource(
        u"film.mkv"_qs, {u"wait-for="_qs + fake.path(u"never"_qs), u"early-output=yes"_qs});
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(
        QStringLiteral(UNLOAD_PROBE),
        {terminated ? u"hold"_qs : u"run"_qs, fake.programFolder(), fake.logPath(), u"2"_qs, film});
    if (terminated) {
        QTRY_COMPARE_WITH_TIMEOUT(fake.runs().size(), 2, 20000);
        QCOMPARE(::kill(pid_t(probe.processId()), SIGTERM), 0);
    }
    QVERIFY2(probe.waitForFinished(30000), "the program did not end");
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);
    QVERIFY(probe.readAllStandardOutput().endsWith("messages 0\n"));
    const QList<FakeRun> runs = fake.runs();
    QCOMPARE(runs.size(), 2);
    for (const FakeRun& part : runs) {
        QVERIFY(!part.ended);
        QTRY_VERIFY(::kill(pid_t(part.pid), 0) != 0);
    }
    QCOMPARE(fake.videoFiles(), QStringList{u"film.mkv"_qs});
}

void UnloadTest::hungWalkDoesNotHoldTheEnd() {
    QTemporaryDir folder;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(UNLOAD_PROBE), {u"walk"_qs, folder.path()});
    const auto stopProbe = qScopeGuard([&probe] {
        probe.kill();
        probe.waitForFinished(5000);
    });
    QByteArray said;
    const QDeadlineTimer deadline(30000);
    while (!said.contains("closing\n") && probe.waitForReadyRead(int(deadline.remainingTime())))
        said += probe.readAllStandardOutput();
    QVERIFY2(said.contains("closing\n"), said.constData());

    QVERIFY2(probe.waitForFinished(10000), "the program did not end when its window closed");
    QCOMPARE(probe.exitCode(), 0);
    QCOMPARE(said + probe.readAllStandardOutput(), QByteArray("closing\nmessages 0\n"));
}

QTEST_GUILESS_MAIN(UnloadTest)
#include "tst_unload.moc"
