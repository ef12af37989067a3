// SPDX-License-Identifier: MIT
// Closing the window ends the program at once: during a run, while the encoder
// it started runs on to its own end and leaves a complete output; during a
// folder walk, even one that hangs.

#include "convert/outputnaming.h"
#include "fakeencoder.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class UnloadTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void encoderOutlivesProgram();
    void hungWalkDoesNotHoldTheEnd();
};

void UnloadTest::encoderOutlivesProgram() {
    FakeEncoder fake;
    const QString release = fake.path(u"release"_qs);
    const QString first = fake.source(u"first clip.mkv"_qs, {u"wait-for="_qs + release});
    const QString second = fake.source(u"second.mkv"_qs);

    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(UNLOAD_PROBE),
                {u"run"_qs, fake.programFolder(), fake.logPath(), first, second});
    QVERIFY2(probe.waitForFinished(30000), "the program did not end when its window closed");
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), 0);
    QCOMPARE(probe.readAllStandardOutput(), QByteArray("closing\nmessages 0\n"));

    // The program is gone; its encoder is not.
    QList<FakeRun> runs = fake.runs();
    QCOMPARE(runs.size(), 1);
    QVERIFY(!runs[0].ended);
    QCOMPARE(::kill(pid_t(runs[0].pid), 0), 0);
    QVERIFY(!QFile::exists(outputPathFor(first)));

    QFile(release).open(QIODevice::WriteOnly);
    QTRY_VERIFY_WITH_TIMEOUT(fake.runs()[0].ended, 20000);
    runs = fake.runs();
    QCOMPARE(runs[0].code, 0);
    QVERIFY2(runs[0].epipe, "the encoder's error output should have had no reader any more");
    QFile output(outputPathFor(first));
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), QByteArray("fake wmv of ") + first.toUtf8() + '\n');
    QCOMPARE(runs.size(), 1); // nothing started the next entry
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

    QElapsedTimer sinceClose;
    sinceClose.start();
    QVERIFY2(probe.waitForFinished(10000), "the program did not end when its window closed");
    QVERIFY2(sinceClose.elapsed() < 1000, qPrintable(QString::number(sinceClose.elapsed())));
    QCOMPARE(probe.exitCode(), 0);
    QCOMPARE(said + probe.readAllStandardOutput(), QByteArray("closing\nmessages 0\n"));
}

QTEST_GUILESS_MAIN(UnloadTest)
#include "tst_unload.moc"
