// SPDX-License-Identifier: MIT
// Output naming, the plan of encoder runs, a file's course, where the encoder
// is found, when an output would be the source file itself, what the
// encoder's standard error tells, and how many encoders fit.

#include "common/systemmemory_p.h"
#include "common/windowops.h"
#include "convert/conversionplan.h"
#include "convert/encodercommand.h"
#include "convert/encoderoutput.h"
#include "convert/encoderslots.h"
#include "convert/filecourse.h"
#include "convert/fileverdict.h"
#include "convert/outputnaming.h"
#include "fakeencoder.h"

#include <QTemporaryDir>
#include <QtTest>

class ConversionRulesTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void outputNaming_data();
    void outputNaming();
    void argumentVector_data();
    void argumentVector();
    void planOrdersFilters();
    void splitPoints_data();
    void splitPoints();
    void leadIn_data();
    void leadIn();
    void splitPlanRuns();
    void partFrames_data();
    void partFrames();
    void retake_data();
    void retake();
    void fileCourse_data();
    void fileCourse();
    void encoderLookup_data();
    void encoderLookup();
    void sameFile_data();
    void sameFile();
    void encoderLines_data();
    void encoderLines();
    void encodersForMemory_data();
    void encodersForMemory();
};

void ConversionRulesTest::outputNaming_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("output");
    auto row = [](const char* name, const QString& source, const QString& output) {
        QTest::newRow(name) << source << output;
    };
    row("extension", u"C:\\Videos\\clip.mkv"_qs, u"C:\\Videos\\clip.wmv"_qs);
    row("upper case", u"C:\\Videos\\clip.MKV"_qs, u"C:\\Videos\\clip.wmv"_qs);
    row("last dot counts", u"C:\\Videos\\a.b.mkv"_qs, u"C:\\Videos\\a.b.wmv"_qs);
    row("trailing dot", u"C:\\Videos\\clip."_qs, u"C:\\Videos\\clip.wmv"_qs);
    // A dot in a folder name must not send the output to another folder.
    row("dot in folder", u"/home/u/Old.Videos/clip"_qs, u"/home/u/Old.Videos/clip.wmv"_qs);
    row("hidden folder", u"/home/u/.cache/clip"_qs, u"/home/u/.cache/clip.wmv"_qs);
    row("dots in folder and name", u"/v/a.b/c.d.mkv"_qs, u"/v/a.b/c.d.wmv"_qs);
    row("already wmv", u"C:\\Videos\\clip.wmv"_qs, u"C:\\Videos\\clip.wmv"_qs);
    row("no dot at all", u"/videos/clip"_qs, u"/videos/clip.wmv"_qs);
    row("hidden name", u"/videos/.mkv"_qs, u"/videos/.wmv"_qs);
    row("non-ASCII", u"/vidéos/Grüße 日本.mkv"_qs, u"/vidéos/Grüße 日本.wmv"_qs);
    row("empty", QString(), QString());
}

void ConversionRulesTest::outputNaming() {
    QFETCH(QString, source);
    QFETCH(QString, output);
    QCOMPARE(outputPathFor(source), output);
}

void ConversionRulesTest::argumentVector_data() {
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("expected");
    auto options = [](const QString& encoder, const QString& source, const QString& output) {
        return QStringList{encoder,   u"-i"_qs,      source,     u"-map"_qs, u"0:0"_qs,
                           u"-an"_qs, u"-vcodec"_qs, u"wmv2"_qs, u"-b"_qs,   u"5872k"_qs,
                           u"-r"_qs,  u"25.00"_qs,   output};
    };
    QTest::newRow("blanks everywhere")
        << u"/opt/Batch Tools"_qs << u"/videos/Summer trip.mkv"_qs
        << options(u"/opt/Batch Tools/ffmpeg"_qs, u"/videos/Summer trip.mkv"_qs,
                   u"/videos/Summer trip.wmv"_qs);
    QTest::newRow("root folder") << u"/"_qs << u"/v/a.mkv"_qs
                                 << options(u"/ffmpeg"_qs, u"/v/a.mkv"_qs, u"/v/a.wmv"_qs);
    QTest::newRow("option-like name")
        << u"/p"_qs << u"-an.mkv"_qs << options(u"/p/ffmpeg"_qs, u"-an.mkv"_qs, u"-an.wmv"_qs);
    QTest::newRow("quotes and shell")
        << u"/p"_qs << u"/v/\"q\" '$(id)'.mkv"_qs
        << options(u"/p/ffmpeg"_qs, u"/v/\"q\" '$(id)'.mkv"_qs, u"/v/\"q\" '$(id)'.wmv"_qs);
}

void ConversionRulesTest::argumentVector() {
    QFETCH(QString, programFolder);
    QFETCH(QString, source);
    QFETCH(QStringList, expected);
    const QString encoder = programFolderFile(programFolder, encoderFileName());
    const ConversionPlan plan = planFor({}, {source, outputPathFor(source)});
    QCOMPARE(plan.runs.size(), 1);
    QCOMPARE(QStringList{encoder} + plan.runs[0].arguments, expected);
}

// The recorded sources show each filter alone; together, fields are woven
// first, the tone map comes next, and the width is made even last.
void ConversionRulesTest::planOrdersFilters() {
    SourceFacts facts;
    facts.known = true;
    facts.videoStream = 2;
    facts.width = 721;
    facts.interlaced = true;
    facts.transfer = SourceFacts::Transfer::Pq;
    facts.length = 4.5;
    const ConversionPlan plan = planFor(facts, {u"in.mkv"_qs, u"out.wmv"_qs});
    QCOMPARE(plan.runs.size(), 1);
    const QStringList& arguments = plan.runs[0].arguments;
    QCOMPARE(arguments.mid(3, 3), (QStringList{u"0:2"_qs, u"-an"_qs, u"-vf"_qs}));
    QVERIFY2(QRegularExpression(u"^yadif=[^,]*,zscale=tin=smpte2084.*,scale=w=[^=]*:h=ih$"_qs)
                 .match(arguments.at(6))
                 .hasMatch(),
             qPrintable(arguments.at(6)));
    QCOMPARE(plan.length, facts.length);
}

void ConversionRulesTest::splitPoints_data() {
    QTest::addColumn<double>("length");        // below 0: not stated
    QTest::addColumn<double>("start");         // the container's
    QTest::addColumn<int>("slots");            // encoders and processors
    QTest::addColumn<double>("wholeShare");    // processors a whole encoder kept busy; 0: not seen
    QTest::addColumn<qint64>("freeBytes");     // beside the output; below 0: not known
    QTest::addColumn<QByteArray>("keyFrames"); // the probe tool's answer
    QTest::addColumn<QList<qint64>>("starts"); // of the parts after the first; none: not split
    const qint64 unknown = -1;
    QTest::newRow("length not stated")
        << -1.0 << 0.0 << 2 << 0.0 << unknown << QByteArray() << QList<qint64>();
    QTest::newRow("too short for two parts")
        << 19.9 << 0.0 << 2 << 0.0 << unknown << QByteArray() << QList<qint64>();
    QTest::newRow("two parts, no key frames")
        << 20.0 << 0.0 << 2 << 0.0 << unknown << QByteArray() << QList<qint64>{250};
    QTest::newRow("fewer parts than slots")
        << 35.0 << 0.0 << 8 << 0.0 << unknown << QByteArray() << QList<qint64>{291, 583};
    // 20 s of output is about 15 MB: the parts and their join need twice that.
    QTest::newRow("room for parts and join")
        << 20.0 << 0.0 << 2 << 0.0 << qint64(40'000'000) << QByteArray() << QList<qint64>{250};
    QTest::newRow("room for the output once")
        << 20.0 << 0.0 << 2 << 0.0 << qint64(20'000'000) << QByteArray() << QList<qint64>();
    // The seek, a second before the cut, would decode ten seconds in vain;
    // the key frame after costs one frame more.
    QTest::newRow("key frame just after")
        << 60.023 << 0.0 << 2 << 0.0 << unknown
        << QByteArray("19.023000,K_\n19.063000,__\n29.023000,K_\n") << QList<qint64>{751};
    QTest::newRow("key frame just before")
        << 60.0 << 0.0 << 2 << 0.0 << unknown << QByteArray("28.900000,K_\n32.000000,K_\n")
        << QList<qint64>{750};
    QTest::newRow("container starts late")
        << 60.0 << 5.0 << 2 << 0.0 << unknown << QByteArray("14.000000,K_\n34.040000,K_\n")
        << QList<qint64>{751};
    // Parts keep a processor each busy: a whole encoder that keeps as many
    // gains nothing from them, one that keeps fewer does, leads counted.
    QTest::newRow("whole encoder keeps both processors busy")
        << 60.0 << 0.0 << 2 << 1.97 << unknown << QByteArray() << QList<qint64>();
    QTest::newRow("whole encoder leaves room for the leads")
        << 60.0 << 0.0 << 2 << 1.96 << unknown << QByteArray() << QList<qint64>{750};
    // Moved, the second part would last less than ten seconds.
    QTest::newRow("key frame after, part too short")
        << 20.0 << 0.0 << 2 << 0.0 << unknown << QByteArray("0.000000,K_\n9.050000,K_\n")
        << QList<qint64>{250};
}

// Where a source is cut: parts of at least ten seconds, with room on the disk,
// on the output's frame grid, at a key frame when that saves decoding in vain.
void ConversionRulesTest::splitPoints() {
    QFETCH(double, length);
    QFETCH(double, start);
    QFETCH(int, slots);
    QFETCH(double, wholeShare);
    QFETCH(qint64, freeBytes);
    QFETCH(QByteArray, keyFrames);
    QFETCH(QList<qint64>, starts);
    SourceFacts facts;
    facts.known = true;
    facts.videoStream = 0;
    if (length >= 0.0)
        facts.length = length;
    facts.start = start;
    facts.frameRate = 25.0;
    CutRoom room{slots, slots, std::nullopt,
                 freeBytes < 0 ? std::nullopt : std::optional(freeBytes)};
    if (wholeShare > 0.0)
        room.wholeShare = wholeShare;
    const int parts = partsFor(facts, room);
    QCOMPARE(parts > 1 ? partStarts(facts, parts, readKeyFrames(keyFrames)) : QList<qint64>(),
             starts);
}

void ConversionRulesTest::leadIn_data() {
    QTest::addColumn<double>("rate"); // 0: not told
    QTest::addColumn<int>("lead");    // -1: none, and a long source is not cut
    QTest::newRow("not told") << 0.0 << -1;
    QTest::newRow("25 fps") << 25.0 << 25;
    QTest::newRow("23.976 fps") << 24000.0 / 1001.0 << 49;
    QTest::newRow("29.97 fps") << 30000.0 / 1001.0 << 25;
    QTest::newRow("25.3 fps") << 25.3 << -1;
}

// A lead spans two pictures dropped or repeated at the source's rate.
void ConversionRulesTest::leadIn() {
    QFETCH(double, rate);
    QFETCH(int, lead);
    SourceFacts facts;
    facts.known = true;
    facts.videoStream = 0;
    facts.length = 60.0;
    if (rate > 0.0)
        facts.frameRate = rate;
    QCOMPARE(leadInFrames(facts).value_or(-1), lead);
    QCOMPARE(partsFor(facts, {2, 2, std::nullopt, std::nullopt}), lead < 0 ? 1 : 2);
}

// Each part seeks a lead before its first frame, keeps the output's constant
// rate, starts its own frames with a key frame and counts its frames; the last
// runs to the end; all keep the filters; the join copies them in order, each
// from its own first frame.
void ConversionRulesTest::splitPlanRuns() {
    SourceFacts facts;
    facts.known = true;
    facts.videoStream = 0;
    facts.width = 321;
    facts.length = 20.0;
    facts.frameRate = 30000.0 / 1001.0;
    const SplitPlan plan = splitPlanFor(facts, {u"in.mkv"_qs, u"out.wmv"_qs}, {250}, u"/v/.q"_qs);
    QCOMPARE(plan.parts.size(), 2);
    const QStringList& first = plan.parts[0].run.arguments;
    const QStringList& second = plan.parts[1].run.arguments;
    QCOMPARE(first.first(3), (QStringList{u"-threads"_qs, u"1"_qs, u"-i"_qs}));
    QCOMPARE(first.last(5), (QStringList{u"-vsync"_qs, u"cfr"_qs, u"-frames:v"_qs, u"250"_qs,
                                         u"/v/.q.part1.mkv"_qs}));
    QCOMPARE(second.first(5),
             (QStringList{u"-threads"_qs, u"1"_qs, u"-ss"_qs, u"9.00"_qs, u"-i"_qs}));
    QCOMPARE(second.last(5), (QStringList{u"-vsync"_qs, u"cfr"_qs, u"-force_key_frames"_qs,
                                          u"1.00"_qs, u"/v/.q.part2.mkv"_qs}));
    QVERIFY(first.contains(u"-vf"_qs) && second.contains(u"-vf"_qs));
    QCOMPARE(plan.list, QByteArray("ffconcat version 1.0\nfile '.q.part1.mkv'\n"
                                   "file '.q.part2.mkv'\ninpoint 1.00\n"));
    QCOMPARE(plan.join.arguments.last(), u"/v/.q.wmv"_qs);
    QCOMPARE(plan.join.arguments.indexOf(u"/v/.q.ffconcat"_qs),
             plan.join.arguments.indexOf(u"-i"_qs) + 1);
}

void ConversionRulesTest::partFrames_data() {
    QTest::addColumn<QList<int>>(
        "frames");                   // each part's, of a plan of 250, then 275 with a lead of 25
    QTest::addColumn<int>("joined"); // -1: the parts are not exact
    QTest::newRow("as planned") << QList<int>{250, 275} << 500;
    QTest::newRow("a frame short") << QList<int>{249, 275} << -1;
    QTest::newRow("last part only its lead") << QList<int>{250, 25} << -1;
    QTest::newRow("a part missing") << QList<int>{250} << -1;
}

// The frames that decide whether parts and their join hold one whole run's.
void ConversionRulesTest::partFrames() {
    QFETCH(QList<int>, frames);
    QFETCH(int, joined);
    SourceFacts facts;
    facts.known = true;
    facts.videoStream = 0;
    facts.length = 20.0;
    facts.frameRate = 25.0;
    const SplitPlan plan = splitPlanFor(facts, {u"in.mkv"_qs, u"out.wmv"_qs}, {250}, u"/v/.q"_qs);
    QCOMPARE(partsExact(plan, frames) ? joinedFrames(plan, frames) : -1, joined);
}

void ConversionRulesTest::retake_data() {
    using Cause = FileOutcome::Cause;
    QTest::addColumn<int>("width"); // in the listing; 0: no listing
    QTest::addColumn<Cause>("told");
    QTest::addColumn<bool>("outputBefore");
    QTest::addColumn<bool>("retake");
    QTest::newRow("plain listing") << 640 << Cause::None << false << false;
    QTest::newRow("odd width listed") << 721 << Cause::None << false << true;
    QTest::newRow("output there before") << 721 << Cause::None << true << false;
    QTest::newRow("told a first stream not video")
        << 0 << Cause::FirstStreamNotVideo << false << true;
    QTest::newRow("told an odd width") << 0 << Cause::PictureSize << false << true;
    QTest::newRow("told a full disk") << 0 << Cause::DiskFull << false << false;
}

// When the command that needs no facts gives way to the probe tool's plan.
void ConversionRulesTest::retake() {
    QFETCH(int, width);
    QFETCH(FileOutcome::Cause, told);
    QFETCH(bool, outputBefore);
    QFETCH(bool, retake);
    SourceFacts listed;
    if (width > 0) {
        listed.known = true;
        listed.videoStream = 0;
        listed.width = width;
    }
    FinishedRun run;
    run.findings.cause = told;
    run.before.exists = outputBefore;
    QCOMPARE(wantsRetake(run, listed, {u"in.mkv"_qs, u"out.wmv"_qs}), retake);
}

void ConversionRulesTest::fileCourse_data() {
    QTest::addColumn<QString>("events"); // what happened, in order
    QTest::addColumn<QString>("step");   // the kind of the next; a finish's cause or verdict
    const auto row = [](const char* name, const QByteArray& events, const char* step) {
        QTest::newRow(name) << QString::fromLatin1(events) << QString::fromLatin1(step);
    };
    // A 60 s source at 25 fps, cut in two at frame 750; the second part leads in 25 frames.
    const QByteArray cut = "encoders 2, probe first, probed 60, parts 2, key frames, cut";
    const QByteArray joined = cut + ", part 750, part 775";
    row("plain first", "", "StartPlain");
    row("facts first where likely cut", "encoders 2, probe first", "Probe");
    row("no probe tool", "encoders 2, probe first, no probe tool", "StartPlain");
    row("plain runs", "plain running", "Wait");
    row("listing calls for a filter", "plain running, listed 721 10", "Stop");
    row("long listing, several encoders", "encoders 2, plain running, listed 320 30", "Stop");
    row("long listing, one encoder", "plain running, listed 320 30", "Wait");
    row("long listing, output there before",
        "encoders 2, output before, plain running, listed 320 30", "Wait");
    row("converted before the stop", "encoders 2, listed 320 30, plain converted",
        "Finish Converted");
    row("stopped for a filter", "listed 721 10, plain stopped", "Retake");
    row("told a first stream not video", "plain FirstStreamNotVideo", "Retake");
    row("told, no probe tool", "no probe tool, plain FirstStreamNotVideo",
        "Finish FirstStreamNotVideo");
    row("retake blocked", "listed 721 10, plain stopped, retake blocked", "Finish RetakeBlocked");
    row("probe under way", "plain FirstStreamNotVideo, asking", "Wait");
    row("probed", "plain FirstStreamNotVideo, probed 60", "StartWhole");
    row("probed, no video", "probe first, probed novideo", "Finish NoVideo");
    row("worth parts", "encoders 2, probe first, probed 60, parts 2", "FindKeyFrames");
    row("key frames found", "encoders 2, probe first, probed 60, parts 2, key frames", "Cut");
    row("output there before the cut", "encoders 2, probe first, probed 60, parts 2, output there",
        "StartWhole");
    row("parts wait", cut, "Wait");
    row("a part failed, another runs", cut + ", part running, part DiskFull", "Stop");
    row("a part failed, the other stopped", cut + ", part stopped, part DiskFull",
        "Finish DiskFull");
    row("the last part wrote nothing", cut + ", part 750, part NoOutputWritten", "StartWhole");
    row("a part a frame short", cut + ", part 749, part 775", "StartWhole");
    row("parts exact", joined, "Join");
    row("list not written", joined + ", list failed", "Finish WriteFailed");
    row("join runs", joined + ", join running", "Wait");
    row("join failed", joined + ", join ExitCode", "Finish ExitCode");
    row("join a frame short", joined + ", join 1499", "StartWhole");
    row("joined", joined + ", join 1500", "Rename");
    row("output came meanwhile", joined + ", join 1500, output there", "Finish OutputExists");
    row("rename failed", joined + ", join 1500, rename failed", "Finish WriteFailed");
    row("renamed", joined + ", join 1500, renamed, output there", "Finish Converted");
    row("whole run after inexact parts", cut + ", part 749, part 775, whole converted",
        "Finish Converted");
    row("interrupted, parts run", cut + ", part running, interrupted", "Stop");
    row("interrupted, parts wait", cut + ", interrupted", "Finish Interrupted");
    row("interrupted while probing", "probe first, asking, interrupted", "Wait");
    row("interrupted after a whole run", "plain converted, interrupted", "Finish Converted");
    row("interrupted before the join", joined + ", interrupted", "Finish Interrupted");
}

// What a file does next, from what its runs, the probe tool and the steps
// that touch files have told.
void ConversionRulesTest::fileCourse() {
    QFETCH(QString, events);
    QFETCH(QString, step);
    using Role = CourseRun::Role;
    Course course;
    course.paths = {u"/v/in.mkv"_qs, u"/v/in.wmv"_qs};
    course.probeTool = u"/usr/bin/ffprobe"_qs;
    bool outputBefore = false;
    const auto facts = [](int width, double length) {
        SourceFacts made;
        made.known = true;
        made.videoStream = 0;
        made.width = width;
        made.height = 240;
        made.length = length;
        return made;
    };
    // A run of the role that ends as told: "running", "stopped", "converted",
    // its frames written, or the cause it failed with.
    const auto take = [&](Role role, const QString& how) {
        auto waiting = std::find_if(course.runs.begin(), course.runs.end(), [](const auto& run) {
            return run.state == CourseRun::State::Waiting;
        });
        if (role != Role::Part || waiting == course.runs.end()) {
            course.runs.append({role, CourseRun::State::Waiting, false, {}, {}});
            waiting = course.runs.end() - 1;
        }
        CourseRun& run = *waiting;
        run.record.before.exists = outputBefore && role == Role::Plain;
        run.state = how == u"running"_qs ? CourseRun::State::Running : CourseRun::State::Ended;
        run.stopped = how == u"stopped"_qs;
        bool isNumber = false;
        run.record.findings.frames = how.toInt(&isNumber);
        const int cause =
            QMetaEnum::fromType<FileOutcome::Cause>().keyToValue(how.toLatin1().constData());
        if (cause >= 0)
            run.record.findings.cause = FileOutcome::Cause(cause);
        // The join reads the parts' list: its own outcome names that.
        const QString source = role == Role::Join ? u"/v/.q.ffconcat"_qs : course.paths.source;
        run.outcome =
            how == u"converted"_qs || isNumber
                ? FileOutcome::success(source)
                : FileOutcome::failure(source, cause >= 0 ? FileOutcome::Cause(cause)
                                                          : FileOutcome::Cause::EncoderCrashed);
    };
    const QHash<QString, Role> roles{{u"plain"_qs, Role::Plain},
                                     {u"whole"_qs, Role::Whole},
                                     {u"part"_qs, Role::Part},
                                     {u"join"_qs, Role::Join}};
    // Events that only set a flag of the course.
    const QHash<QString, bool Course::*> flags{
        {u"probe first"_qs, &Course::probeFirst},  {u"asking"_qs, &Course::asking},
        {u"interrupted"_qs, &Course::interrupted}, {u"retake blocked"_qs, &Course::retakeBlocked},
        {u"renamed"_qs, &Course::renamed},         {u"output there"_qs, &Course::outputThere}};
    for (const QString& event : events.split(u", "_qs, Qt::SkipEmptyParts)) {
        const QStringList words = event.split(u' ');
        if (roles.contains(words[0]))
            take(roles[words[0]], words[1]);
        else if (flags.contains(event))
            course.*flags[event] = true;
        else if (words[0] == u"encoders"_qs)
            course.encoders = words[1].toInt();
        else if (event == u"no probe tool"_qs)
            course.probeTool.clear();
        else if (event == u"output before"_qs)
            outputBefore = true;
        else if (event == u"list failed"_qs)
            course.listFailed = u"disk full"_qs;
        else if (event == u"rename failed"_qs)
            course.renameFailed = u"permission denied"_qs;
        else if (words[0] == u"listed"_qs)
            course.listed = facts(words[1].toInt(), words[2].toDouble());
        else if (event == u"probed novideo"_qs)
            course.probed = facts(0, 0.0), course.probed->videoStream = -1;
        else if (words[0] == u"probed"_qs) {
            course.probed = facts(320, words[1].toDouble());
            course.probed->frameRate = 25.0;
        } else if (words[0] == u"parts"_qs)
            course.parts = words[1].toInt();
        else if (event == u"key frames"_qs)
            course.keyFrames = QList<double>();
        else if (event == u"cut"_qs) {
            course.split = splitPlanFor(*course.probed, course.paths, {750}, u"/v/.q"_qs);
            for (int part = 0; part < 2; ++part)
                course.runs.append({Role::Part, CourseRun::State::Waiting, false, {}, {}});
        } else
            QFAIL(qPrintable(u"no such event: "_qs + event));
    }
    const Step next = nextStep(course);
    // In the order of Step::Kind.
    const QStringList kinds{u"Wait"_qs,       u"StartPlain"_qs,    u"Probe"_qs, u"Retake"_qs,
                            u"Stop"_qs,       u"FindKeyFrames"_qs, u"Cut"_qs,   u"Join"_qs,
                            u"StartWhole"_qs, u"Rename"_qs,        u"Finish"_qs};
    QString told = kinds.value(int(next.kind));
    if (next.kind == Step::Kind::Finish)
        told +=
            u' ' + (next.outcome.converted()
                        ? u"Converted"_qs
                        : QString::fromLatin1(QMetaEnum::fromType<FileOutcome::Cause>().valueToKey(
                              int(next.outcome.cause))));
    QCOMPARE(told, step);
    // Whatever run told it, a finish is the source's, under its output's name.
    if (next.kind == Step::Kind::Finish) {
        QCOMPARE(next.outcome.source, course.paths.source);
        QCOMPARE(next.outcome.output, course.paths.output);
    }
}

void ConversionRulesTest::encoderLookup_data() {
    QTest::addColumn<QString>("inFolder"); // "file", "folder" (a directory by that name) or ""
    QTest::addColumn<bool>("onPath");
    QTest::addColumn<QString>("found"); // "program", "path" or ""
    QTest::newRow("program folder wins") << u"file"_qs << true << u"program"_qs;
    QTest::newRow("only program folder") << u"file"_qs << false << u"program"_qs;
    QTest::newRow("only on path") << QString() << true << u"path"_qs;
    QTest::newRow("a directory is no encoder") << u"folder"_qs << true << u"path"_qs;
    QTest::newRow("nowhere") << QString() << false << QString();
}

void ConversionRulesTest::encoderLookup() {
    QFETCH(QString, inFolder);
    QFETCH(bool, onPath);
    QFETCH(QString, found);
    QTemporaryDir program, path;
    const QString folderEncoder = program.filePath(encoderFileName());
    const QString pathEncoder = path.filePath(encoderFileName());
    if (inFolder == u"file"_qs) {
        QFile file(folderEncoder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
    } else if (inFolder == u"folder"_qs) {
        QVERIFY(QDir(program.path()).mkdir(encoderFileName()));
    }
    if (onPath) {
        QFile file(pathEncoder);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
    }

    PathSwap onlyPath(path.path());
    const ToolLookup lookup = findTool(program.path(), encoderFileName());
    const QString expected = found == u"program"_qs ? folderEncoder
                             : found == u"path"_qs  ? pathEncoder
                                                    : QString();
    QCOMPARE(lookup.program, expected);
    QCOMPARE(lookup.found(), !expected.isEmpty());
    QCOMPARE(lookup.folderFile, folderEncoder);
}

void ConversionRulesTest::sameFile_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("same");
    // Names relative to a folder holding clip.wmv, clip.WMV (another file),
    // sub/, link.wmv -> clip.wmv and hard.wmv, a hard link to clip.wmv.
    QTest::newRow("same text") << u"clip.wmv"_qs << u"clip.wmv"_qs << true;
    QTest::newRow("dot segment") << u"clip.wmv"_qs << u"./clip.wmv"_qs << true;
    QTest::newRow("round trip") << u"clip.wmv"_qs << u"sub/../clip.wmv"_qs << true;
    QTest::newRow("symbolic link") << u"link.wmv"_qs << u"clip.wmv"_qs << true;
    QTest::newRow("hard link") << u"hard.wmv"_qs << u"clip.wmv"_qs << true;
    QTest::newRow("another spelling, missing") << u"gone.wmv"_qs << u"sub/../gone.wmv"_qs << true;
    QTest::newRow("other file") << u"clip.wmv"_qs << u"clip.mkv"_qs << false;
    QTest::newRow("case differs, two files") << u"clip.wmv"_qs << u"clip.WMV"_qs << false;
    QTest::newRow("one missing") << u"clip.wmv"_qs << u"missing.wmv"_qs << false;
}

void ConversionRulesTest::sameFile() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, same);
    QTemporaryDir folder;
    const QDir dir(folder.path());
    for (const char* name : {"clip.wmv", "clip.WMV", "clip.mkv"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name);
    }
    QVERIFY(dir.mkdir(u"sub"_qs));
    QVERIFY(QFile::link(dir.filePath(u"clip.wmv"_qs), dir.filePath(u"link.wmv"_qs)));
    QVERIFY(QFile::copy(dir.filePath(u"clip.wmv"_qs), dir.filePath(u"copy.wmv"_qs)));
    QCOMPARE(::link(QFile::encodeName(dir.filePath(u"clip.wmv"_qs)).constData(),
                    QFile::encodeName(dir.filePath(u"hard.wmv"_qs)).constData()),
             0);
    QCOMPARE(isSameFile(dir.filePath(first), dir.filePath(second)), same);
    QCOMPARE(isSameFile(dir.filePath(second), dir.filePath(first)), same);
    // A copy holds the same bytes but is another file.
    QVERIFY(!isSameFile(dir.filePath(u"copy.wmv"_qs), dir.filePath(u"clip.wmv"_qs)));
}

QTEST_GUILESS_MAIN(ConversionRulesTest)
void ConversionRulesTest::encoderLines_data() {
    // Standard error as the encoder job hands it on: carriage returns end
    // lines too, and lines come trimmed. What the reader made of it: the
    // listed video's stream and length ("-" when no listing ended), the
    // point reached, and the first cause with its line.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("told");
    const auto recorded = [](const char* name) {
        return fileText(QFINDTESTDATA(QString::fromLatin1(name)));
    };
    QTest::newRow("recorded run") << recorded("data/ffmpeg-progress.txt")
                                  << u"listed 0 12 | reached 11.96 | None"_qs;
    QTest::newRow("recorded, no duration")
        << recorded("data/ffmpeg-no-duration.txt") << u"listed 0 - | reached 3.96 | None"_qs;
    QTest::newRow("hours over 99")
        << u"frame=9 time=100:30:00.00 bitrate=1.0kbits/s\r"_qs << u"- | reached 361800 | None"_qs;
    // "N/A" before the first frame, a little below zero at the very start.
    QTest::newRow("time not yet known")
        << u"frame=0 size=0kB time=N/A bitrate=N/A\rframe=0 time=-00:00:00.04 bitrate=1\r"_qs
        << u"- | reached 0 | None"_qs;
    // Lines as the encoder writes them when the disk fills, and others it writes anyway.
    QTest::newRow("trailer") << u"Error writing trailer of /v/a b.wmv: No space left on device"_qs
                             << u"- | reached 0 | DiskFull Error writing trailer of /v/a b.wmv: "
                                "No space left on device"_qs;
    QTest::newRow("closing") << u"Error closing file /v/a b.wmv: Input/output error"_qs
                             << u"- | reached 0 | WriteFailed Error closing file /v/a b.wmv: "
                                "Input/output error"_qs;
    QTest::newRow("quota") << u"[asf @ 0x5581] write failed: Disk quota exceeded"_qs
                           << u"- | reached 0 | WriteFailed write failed: Disk quota exceeded"_qs;
    QTest::newRow("another file") << u"Error writing trailer of /v/other.wmv: Broken pipe"_qs
                                  << u"- | reached 0 | None"_qs;
    QTest::newRow("decoding") << u"Error while decoding stream #0:0: Invalid data found when "
                                 "processing input"_qs
                              << u"- | reached 0 | None"_qs;
    QTest::newRow("source unreadable")
        << u"/v/a b.mkv: Invalid data found when processing input"_qs
        << u"- | reached 0 | UnreadableData /v/a b.mkv: Invalid data found when processing "
           "input"_qs;
    QTest::newRow("source not allowed") << u"/v/a b.mkv: Permission denied"_qs
                                        << u"- | reached 0 | SourceUnreadable /v/a b.mkv: "
                                           "Permission denied"_qs;
    QTest::newRow("output folder not allowed")
        << u"/v/a b.wmv: Permission denied"_qs
        << u"- | reached 0 | OutputUnwritable /v/a b.wmv: Permission denied"_qs;
    QTest::newRow("output folder read-only")
        << u"/v/a b.wmv: Read-only file system"_qs
        << u"- | reached 0 | ReadOnlyFolder /v/a b.wmv: Read-only file system"_qs;
    QTest::newRow("no decoder, ffmpeg 7")
        << u"[vist#0:0/av1 @ 0x55] Decoding requested, but no decoder found for: av1"_qs
        << u"- | reached 0 | NoDecoder Decoding requested, but no decoder found for: av1"_qs;
    QTest::newRow("encrypted track") << u"[matroska,webm @ 0x55] Unsupported encoding type"_qs
                                     << u"- | reached 0 | Unsupported Unsupported encoding type"_qs;
    // The output's listing is the encoder's report, not the input's.
    QTest::newRow("output named")
        << u"Output #0, asf, to '/v/a b.wmv':\nStream #0:0: Video: wmv2, 320x240"_qs
        << u"- | reached 0 | None"_qs;
}

void ConversionRulesTest::encoderLines() {
    QFETCH(QString, text);
    QFETCH(QString, told);
    QVERIFY(!text.isEmpty());
    const auto [findings, listed] = readOutput(text);
    QString said = u"-"_qs;
    if (listed)
        said = u"listed %1 %2"_qs.arg(listed->videoStream)
                   .arg(listed->length ? QString::number(*listed->length) : u"-"_qs);
    said += u" | reached "_qs + QString::number(findings.reached) + u" | "_qs +
            QString::fromLatin1(
                QMetaEnum::fromType<FileOutcome::Cause>().valueToKey(int(findings.cause)));
    if (!findings.causeLine.isEmpty())
        said += u' ' + findings.causeLine;
    QCOMPARE(said, told);
}

void ConversionRulesTest::encodersForMemory_data() {
    QTest::addColumn<int>("processors");
    QTest::addColumn<qint64>("available"); // -1: /proc/meminfo tells no figure
    QTest::addColumn<int>("encoders");
    QTest::newRow("processors decide") << 4 << 5 * EncoderPeakBytes << 4;
    QTest::newRow("memory decides") << 8 << 3 * EncoderPeakBytes << 3;
    QTest::newRow("just short of three") << 8 << 3 * EncoderPeakBytes - 1024 << 2;
    QTest::newRow("too little for one") << 8 << EncoderPeakBytes / 4 << 1;
    QTest::newRow("no figure, more processors than the most") << 200 << qint64(-1) << MaxEncoders;
}

void ConversionRulesTest::encodersForMemory() {
    QFETCH(int, processors);
    QFETCH(qint64, available);
    QFETCH(int, encoders);
    const QByteArray figure = available < 0 ? "lots" : QByteArray::number(available / 1024);
    const QByteArray meminfo = "MemTotal: 1024 kB\nMemAvailable: " + figure + " kB\n";
    QCOMPARE(automaticEncoders(processors, SystemMemoryDetail::memAvailableFrom(meminfo)),
             encoders);
}

#include "tst_conversionrules.moc"
