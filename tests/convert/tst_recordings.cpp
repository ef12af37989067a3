// SPDX-License-Identifier: MIT
// What each recorded ffmpeg and ffprobe said of each kind of source: every
// version's listing and probe answer give the same facts and the same plan.

#include "convert/conversionplan.h"
#include "fakeencoder.h"

#include <QtTest>

namespace {

// The facts one recording gives: the encoder's listing on its standard
// error, or the probe tool's answer.
std::optional<SourceFacts> factsIn(const QString& recording) {
    const QString text = fileText(recording);
    if (recording.endsWith(u".json"_qs)) {
        const std::optional<SourceRecord> record = readProbeOutput(text.toUtf8());
        return record ? std::optional(factsOf(*record)) : std::nullopt;
    }
    return readOutput(text).listed;
}

} // namespace

class RecordingsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void sameFactsEveryVersion_data();
    void sameFactsEveryVersion();
};

void RecordingsTest::sameFactsEveryVersion_data() {
    // The plan each kind of source gets: the stream it takes, its first
    // filter up to the first ":" ("-": none), and the length it states in
    // hundredths of a second; "none" when nothing is run.
    const QString even = u"scale=w='iw+mod(iw,2)'"_qs;
    const QHash<QString, QString> plans{
        {u"plain"_qs, u"0:0 - 202"_qs},
        {u"sound-first"_qs, u"0:1 - 202"_qs},
        {u"subtitle-first"_qs, u"0:1 - 202"_qs},
        {u"cover-only"_qs, u"none"_qs},
        {u"cover-video"_qs, u"0:0 - 202"_qs},
        {u"odd-width-vp9"_qs, u"0:0 "_qs + even + u" 200"_qs},
        {u"odd-width-444"_qs, u"0:0 "_qs + even + u" 200"_qs},
        {u"tiny-lossless"_qs, u"0:0 "_qs + even + u" 200"_qs},
        {u"no-frames"_qs, u"0:0 - -"_qs},
        {u"cut-off"_qs, u"0:0 - 402"_qs},
        {u"garbage-cluster"_qs, u"0:0 - 402"_qs},
        {u"interlaced-h264"_qs, u"0:0 yadif=deint=interlaced 200"_qs},
        {u"interlaced-mpeg2"_qs, u"0:0 yadif=deint=interlaced 200"_qs},
        {u"hdr-pq"_qs, u"0:0 zscale=tin=smpte2084 200"_qs},
        {u"hdr-hlg"_qs, u"0:0 zscale=tin=arib-std-b67 200"_qs},
        {u"late-start"_qs, u"0:0 - 1302"_qs},
    };
    QTest::addColumn<QString>("recording");
    QTest::addColumn<QString>("plan");
    const QDir data(QFINDTESTDATA("data"));
    int versions = 0;
    for (const QString& version : data.entryList({u"ffmpeg-*"_qs}, QDir::Dirs)) {
        const QDir folder(data.filePath(version));
        ++versions;
        for (auto kind = plans.begin(); kind != plans.end(); ++kind) {
            for (const QString& suffix : {u".stderr.txt"_qs, u".probe.json"_qs}) {
                const QString name = kind.key() + suffix;
                if (folder.exists(name))
                    QTest::addRow("%s %s", qPrintable(version), qPrintable(name))
                        << folder.filePath(name) << kind.value();
            }
        }
    }
    QVERIFY2(versions >= 2, "recordings of at least two versions");
}

void RecordingsTest::sameFactsEveryVersion() {
    QFETCH(QString, recording);
    QFETCH(QString, plan);
    const std::optional<SourceFacts> facts = factsIn(recording);
    QVERIFY(facts);
    const ConversionPlan planned = planFor(*facts, {u"in.mkv"_qs, u"out.wmv"_qs});
    QString said = u"none"_qs;
    if (!planned.runs.isEmpty()) {
        const QStringList& arguments = planned.runs[0].arguments;
        const qsizetype filter = arguments.indexOf(u"-vf"_qs);
        said = arguments[3] + u' ' +
               (filter < 0 ? u"-"_qs : arguments[filter + 1].section(u':', 0, 0)) + u' ' +
               (planned.length ? QString::number(qRound(*planned.length * 100)) : u"-"_qs);
    }
    QCOMPARE(said, plan);
}

QTEST_GUILESS_MAIN(RecordingsTest)
#include "tst_recordings.moc"
