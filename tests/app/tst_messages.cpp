// SPDX-License-Identifier: MIT
#include "app/messages.h"
#include "convert/conversionreport.h"
#include "filelist/leftoutnames.h"
#include <QtTest>
namespace {
QStringList numbered(const QString& pattern, int count) {
    QStringList names(count);
    std::ranges::generate(names, [&, i = 0]() mutable { return pattern.arg(++i); });
    return names;
}
// s1 failed with exit code 1, told here as the reason r1, and so on; then p1
// was converted only up to 0:01, told as q1, and so on.
UserMessage run(int batch, int failed, int partial = 0) {
    ConversionReport report{batch, batch, failed, partial, {}};
    for (const QString& source : numbered(u"s%1"_qs, std::min(failed, report.FailuresKept))) {
        report.failures.append(FileOutcome::failure(source, FileOutcome::Cause::ExitCode));
        report.failures.last().exitCode = source.mid(1).toInt();
    }
    for (const QString& source : numbered(u"p%1"_qs, partial)) {
        FileOutcome outcome = FileOutcome::failure(source, FileOutcome::Cause::EndsEarly);
        outcome.verdict = FileOutcome::Verdict::Partial;
        outcome.secondsConverted = source.mid(1).toDouble();
        outcome.secondsStated = 60.0;
        report.failures.append(outcome);
    }
    UserMessage message = Messages::endOfRun(report);
    for (QString* text : {&message.text, &message.details}) {
        text->replace(QRegularExpression(u"the encoder ended with exit code (\\d+)"_qs),
                      u"r\\1"_qs);
        text->replace(QRegularExpression(u"converted only 0:0(\\d) of 1:00: the source ends early; "
                                         "it may be damaged or incompletely downloaded"_qs),
                      u"q\\1"_qs);
    }
    return message;
}

// One file's outcome, the cause with the data it needs.
FileOutcome outcome(FileOutcome::Cause cause, const QString& detail = {}) {
    FileOutcome told = FileOutcome::failure(u"/v/a.mkv"_qs, cause);
    told.output = u"/v/a.wmv"_qs;
    told.detail = detail;
    return told;
}
UserMessage left(int files, int folders, int unreadable = 0) {
    return Messages::leftOut({numbered(u"f%1"_qs, files), numbered(u"d%1/"_qs, folders),
                              numbered(u"u%1/"_qs, unreadable)});
}
UserMessage status(std::optional<double> share, std::optional<double> secondsLeft,
                   int underWay = 1) {
    RunProgress progress{{}, 5, secondsLeft, 0.0};
    for (int number = 2; number < 2 + underWay; ++number)
        progress.files.append({number, u"/v/%1.mkv"_qs.arg(number), share});
    progress.files[0].source = u"/v/a b.mkv"_qs;
    return {Messages::runStatus(progress), QString()};
}
const QString Plural = u"%1 files were left out: their names are not valid UTF-8 text, so they "
                       "cannot be passed to the encoder. %2 folders could not be entered: their "
                       "names are not valid UTF-8 text, so the files below them are not listed."_qs;
void row(const char* name, const UserMessage& shown, const QString& text, const QString& end = {}) {
    const QString tail = end.isEmpty() ? shown.details : shown.details.right(end.size());
    QTest::newRow(name) << QStringList{shown.text, tail} << QStringList{text, end};
}
} // namespace
class TestMessages : public QObject { // the sentences as the English catalogue words them
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { QVERIFY(installProgramTexts(*QCoreApplication::instance())); }
    void sentences_data() {
        QTest::addColumn<QStringList>("shown"); // the text, and the details or their end
        QTest::addColumn<QStringList>("expected");
        row("no files", run(0, 0), u"No files added."_qs);
        row("done", run(2, 0), u"Done."_qs);
        row("1 of 1", run(1, 1), u"1 of 1 file failed.\n\ns1\n    r1"_qs);
        row("1 of 4", run(4, 1), u"1 of 4 files failed.\n\ns1\n    r1"_qs);
        row("3 in message", run(4, 3),
            u"3 of 4 files failed.\n\ns1\n    r1\n\ns2\n    r2\n\ns3\n    r3"_qs);
        row("4 in details", run(4, 4),
            u"4 of 4 files failed. The details list each one with its reason."_qs,
            u"\n    r3\n\ns4\n    r4"_qs);
        row("1 partial", run(3, 0, 1),
            u"Done. 1 file could be converted only in part.\n\np1\n    q1"_qs);
        row("failed and partial", run(5, 1, 2),
            u"1 of 5 files failed. 2 files could be converted only in part.\n\ns1\n    r1\n\np1\n"
            "    q1\n\np2\n    q2"_qs);
        row("over 1000", run(1200, 1003),
            u"1003 of 1200 files failed. The details list the first 1000 with their reasons."_qs,
            u"\n\ns1000\n    r1000\n\n...and 3 more."_qs);
        row("1 file, 1 folder", left(1, 1),
            u"1 file was left out: its name is not valid UTF-8 text, so it cannot be passed to "
            "the encoder. 1 folder could not be entered: its name is not valid UTF-8 text, so "
            "the files below it are not listed.\n\nf1\nd1/"_qs);
        row("1 unreadable", left(0, 0, 1),
            u"1 folder could not be read: the files below it are not listed.\n\nu1/"_qs);
        row("2 unreadable after bad names", left(2, 0, 2),
            Plural.section(u'.', 0, 0).arg(2) + u". 2 folders could not be read: the files below "
                                                "them are not listed.\n\nf1\nf2\nu1/\nu2/"_qs);
        row("5 in message", left(3, 2), Plural.arg(3).arg(2) + u"\n\nf1\nf2\nf3\nd1/\nd2/"_qs);
        row("6 in details", left(2, 4), Plural.arg(2).arg(4) + u" The details list them."_qs,
            u"f1\nf2\nd1/\nd2/\nd3/\nd4/"_qs);
        row("1002 names", left(999, 3),
            Plural.arg(999).arg(3) + u" The details list the first 1000."_qs,
            u"\nf999\nd1/\n\n...and 2 more."_qs);
        row("no share", status({}, {}), u"Converting 2 of 5: a b.mkv"_qs);
        const QString at = u"Converting 2 of 5: a b.mkv \u2014 "_qs;
        row("<1 min", status(0.426, 59.0), at + u"42 %, less than a minute left"_qs);
        row("61 min", status(0.5, 3601.0), at + u"50 %, about 61 min left"_qs);
        row("125 min", status(0.0, 7441.0), at + u"0 %, about 2 h 5 min left"_qs);
        row("two under way", status({}, {}, 2), u"Converting 2 and 3 of 5: a b.mkv, 3.mkv"_qs);
        row("three under way", status(0.5, 30.0, 3),
            u"Converting 2, 3 and 4 of 5: a b.mkv (50 %), 3.mkv (50 %), 4.mkv (50 %), less than "
            "a minute left"_qs);
    }
    void sentences() {
        QFETCH(QStringList, shown);
        QTEST(shown, "expected");
    }
    void reasons_data() {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("expected");
        using Cause = FileOutcome::Cause;
        const auto row = [](const char* name, const FileOutcome& told, const QString& text) {
            QTest::newRow(name) << Messages::reason(told) << text;
        };
        row("unreadable source", outcome(Cause::SourceUnreadable),
            u"you may not read it, so it was not converted"_qs);
        row("unwritable folder",
            outcome(Cause::OutputUnwritable, u"/v/a.wmv: Permission denied"_qs),
            u"you may not write its output /v/a.wmv in that folder: /v/a.wmv: Permission denied"_qs);
        row("read-only folder", outcome(Cause::ReadOnlyFolder),
            u"its output /v/a.wmv cannot be written: that folder is on a read-only file system"_qs);
        FileOutcome missing = outcome(Cause::EncoderMissing);
        missing.toolName = u"ffmpeg"_qs;
        missing.tool = u"/opt/q/ffmpeg"_qs;
        row("encoder nowhere", missing,
            u"the encoder was not found (looked for /opt/q/ffmpeg and for ffmpeg on PATH)"_qs);
        FileOutcome broken = outcome(Cause::EncoderNotStarted, u"Permission denied"_qs);
        broken.tool = u"/opt/q/ffmpeg"_qs;
        row("encoder broken", broken,
            u"the encoder /opt/q/ffmpeg could not be started (Permission denied)"_qs);
        FileOutcome notFirst = outcome(Cause::FirstStreamNotVideo);
        notFirst.tool = u"/usr/bin/ffprobe"_qs;
        row("probe tool there", notFirst,
            u"its first stream is not a video, and /usr/bin/ffprobe could not find the video"_qs);
        FileOutcome sized = outcome(Cause::PictureSize);
        sized.width = 721;
        sized.height = 405;
        row("picture size", sized, u"the encoder cannot take its picture size of 721\u00d7405"_qs);
        row("no decoder", outcome(Cause::NoDecoder, u"no decoder found for: av1"_qs),
            u"this ffmpeg cannot decode its video: no decoder found for: av1"_qs);
        FileOutcome crashed = outcome(Cause::EncoderCrashed);
        crashed.outputLeft = true;
        row("output left", crashed,
            u"the encoder was killed or crashed; its incomplete output /v/a.wmv could not be "
            "removed"_qs);
        FileOutcome early = outcome(Cause::EndsEarly);
        early.secondsConverted = 3725.9;
        early.secondsStated = 7200.0;
        row("ends early, hours", early,
            u"converted only 1:02:05 of 2:00:00: the source ends early; it may be damaged or "
            "incompletely downloaded"_qs);
    }
    void reasons() {
        QFETCH(QString, reason);
        QTEST(reason, "expected");
    }
};
QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
