// SPDX-License-Identifier: MIT
// The encoder job against the fake encoder: how its child ends, fails to
// start, or runs on once the job lets it go.

#include "convert/childprocess.h"
#include "convert/conversionplan.h"
#include "convert/encodercommand.h"
#include "convert/encoderjob.h"
#include "convert/outputnaming.h"
#include "fakeencoder.h"

#include <QtTest>

#include <memory>

namespace {

constexpr int RunTimeout = 30000;

// The outcome of one encoder job, or a failure that says it timed out.
FileOutcome runJob(EncoderJob& job, const QString& program, const QStringList& arguments,
                   const PlanOptions& paths = {}) {
    FileOutcome outcome = FileOutcome::failure({}, FileOutcome::Cause::None);
    bool ended = false;
    QObject context;
    QObject::connect(&job, &EncoderJob::ended, &context, [&](const FileOutcome& o) {
        outcome = o;
        ended = true;
    });
    job.start(program, arguments, paths);
    if (!QTest::qWaitFor([&ended] { return ended; }, RunTimeout))
        outcome.detail = u"timed out"_qs;
    return outcome;
}

// Returns once the event loop has handled everything queued before the call:
// what was to be reported by then has been.
bool drainEvents() {
    bool reached = false;
    QObject context;
    QMetaObject::invokeMethod(
        &context, [&reached] { reached = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&reached] { return reached; }, RunTimeout);
}

} // namespace

class EncoderJobTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void childEnds_data();
    void childEnds();
    void startFailures_data();
    void startFailures();
    void abandonedChildRunsOn_data();
    void abandonedChildRunsOn();
    void processorTimeTold();
};

void EncoderJobTest::childEnds_data() {
    using Cause = FileOutcome::Cause;
    QTest::addColumn<QStringList>("directives");
    QTest::addColumn<bool>("outputExists");
    QTest::addColumn<Cause>("cause");
    QTest::addColumn<QString>("detail");
    QTest::newRow("success") << QStringList() << false << Cause::None << QString();
    QTest::newRow("code and message")
        << QStringList{u"exit=1"_qs, u"stderr=Something went wrong"_qs} << false << Cause::ExitCode
        << u"Something went wrong"_qs;
    QTest::newRow("message after progress")
        << QStringList{u"sleep=150"_qs, u"exit=7"_qs, u"stderr=last words"_qs} << false
        << Cause::ExitCode << u"last words"_qs;
    QTest::newRow("killed") << QStringList{u"signal=9"_qs} << false << Cause::EncoderCrashed
                            << QString();
    // Asked before overwriting, the null device answers at once with an end of file.
    QTest::newRow("existing output") << QStringList() << true << Cause::OutputExists << QString();
}

// The job reads the encoder's standard error once, and judges its end.
void EncoderJobTest::childEnds() {
    QFETCH(QStringList, directives);
    QFETCH(bool, outputExists);
    QFETCH(FileOutcome::Cause, cause);
    QFETCH(QString, detail);
    FakeEncoder fake;
    const QString source = fake.source(u"clip.mkv"_qs, directives);
    const QString output = outputPathFor(source);
    if (outputExists)
        QVERIFY(makeFile(output, "mine"));

    EncoderJob job;
    const FileOutcome outcome =
        runJob(job, fake.encoder(), planFor({}, {source, output}).runs.constFirst().arguments,
               {source, output});
    QCOMPARE(outcome.cause, cause);
    QCOMPARE(outcome.detail, detail);
    if (outputExists)
        QCOMPARE(fileText(output), u"mine"_qs);
    QCOMPARE(fake.runs().size(), 1);
}

void EncoderJobTest::startFailures_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << u"missing"_qs;
    QTest::newRow("not executable") << u"plain file"_qs;
    QTest::newRow("a directory") << u"directory"_qs;
}

void EncoderJobTest::startFailures() {
    QFETCH(QString, kind);
    QTemporaryDir folder;
    const QString program = folder.filePath(u"ffmpeg"_qs);
    if (kind == u"plain file"_qs)
        QVERIFY(makeFile(program, "not a program"));
    else if (kind == u"directory"_qs)
        QVERIFY(QDir(folder.path()).mkdir(u"ffmpeg"_qs));
    EncoderJob job;
    int ends = 0;
    connect(&job, &EncoderJob::ended, this, [&ends] { ++ends; });
    const FileOutcome outcome = runJob(job, program, {u"-i"_qs, u"x.mkv"_qs});
    QCOMPARE(outcome.cause, FileOutcome::Cause::EncoderNotStarted);
    QVERIFY(!outcome.detail.isEmpty());
    // Reported once, with no finish after it.
    QVERIFY(drainEvents());
    QCOMPARE(ends, 1);
}

void EncoderJobTest::abandonedChildRunsOn_data() {
    QTest::addColumn<bool>("destroyJob");
    QTest::newRow("abandoned") << false;
    QTest::newRow("job destroyed") << true;
}

void EncoderJobTest::abandonedChildRunsOn() {
    QFETCH(bool, destroyJob);
    FakeEncoder fake;
    const QString release = fake.path(u"release"_qs);
    const QString source = fake.source(u"clip.mkv"_qs, {u"wait-for="_qs + release});
    const QString output = outputPathFor(source);
    auto job = std::make_unique<EncoderJob>();
    int ends = 0;
    connect(job.get(), &EncoderJob::ended, this, [&ends] { ++ends; });
    job->start(fake.encoder(), planFor({}, {source, output}).runs.constFirst().arguments,
               {source, output});
    QTRY_COMPARE_WITH_TIMEOUT(fake.runs().size(), 1, RunTimeout);
    if (destroyJob)
        job.reset();
    else
        job->abandon();
    QVERIFY(!fake.runs()[0].ended);
    QVERIFY(!QFile::exists(output));

    QVERIFY(makeFile(release, ""));
    QTRY_VERIFY_WITH_TIMEOUT(fake.runs()[0].ended, 10000);
    QCOMPARE(fake.runs()[0].code, 0);
    QCOMPARE(fileText(output), u"fake wmv of "_qs + source + u"\n"_qs);
    QVERIFY(drainEvents());
    QCOMPARE(ends, 0); // an abandoned encoder's end is nobody's business
}

// What a busy child has used, read from the system: the cut of a file
// into parts rests on it. A child that sleeps uses next to none.
void EncoderJobTest::processorTimeTold() {
#ifndef Q_OS_LINUX
    QSKIP("told on Linux only");
#endif
    ChildProcess busy, idle;
    busy.start(u"/bin/sh"_qs, {u"-c"_qs, u"while :; do :; done"_qs});
    idle.start(u"/bin/sleep"_qs, {u"30"_qs});
    QVERIFY(busy.waitForStarted() && idle.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(busy.processorSeconds().value_or(0.0) > 0.3, RunTimeout);
    QVERIFY(idle.processorSeconds().value_or(1.0) < 0.1);
    busy.kill();
    idle.kill();
    QVERIFY(busy.waitForFinished() && idle.waitForFinished());
    QVERIFY(!busy.processorSeconds());
}

QTEST_GUILESS_MAIN(EncoderJobTest)
#include "tst_encoderjob.moc"
