// SPDX-License-Identifier: MIT
#include "convert/conversionplan.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

// High dynamic range to the BT.709 range the encoder's output is shown in:
// to linear light in BT.709 primaries, highlights rolled off into range, and
// back. The input's colours are named, since a stream may tag only its
// transfer, and zscale then finds no way between the colour spaces.
QString toneMapFrom(QLatin1String transfer) {
    return QStringLiteral("zscale=tin=%1:pin=bt2020:min=bt2020nc:t=linear:p=bt709:npl=100,"
                          "format=gbrpf32le,tonemap=tonemap=mobius:desat=0,"
                          "zscale=t=bt709:m=bt709:r=tv,format=yuv420p")
        .arg(transfer);
}

// The filters a source needs before the encoder can take it, in the order
// they apply: fields are woven into frames before anything else touches
// them, and the width is made even last, on the picture as it will be shown.
QStringList filtersFor(const SourceFacts& facts) {
    QStringList filters;
    if (facts.interlaced)
        filters << QStringLiteral("yadif=deint=interlaced");
    if (facts.transfer != SourceFacts::Transfer::Standard)
        filters << toneMapFrom(transferName(facts.transfer));
    // The wmv2 encoder takes only even widths; an odd height is fine.
    if (facts.width % 2 != 0)
        filters << QStringLiteral("scale=w='iw+mod(iw,2)':h=ih");
    return filters;
}

} // namespace

ConversionPlan planFor(const SourceFacts& facts, const PlanOptions& options) {
    ConversionPlan plan;
    plan.length = facts.length;
    if (!facts.hasVideo())
        return plan;
    QStringList arguments{QStringLiteral("-i"), options.source, QStringLiteral("-map"),
                          QStringLiteral("0:%1").arg(facts.known ? facts.videoStream : 0),
                          QStringLiteral("-an")};
    if (const QStringList filters = filtersFor(facts); !filters.isEmpty())
        arguments << QStringLiteral("-vf") << filters.join(u',');
    arguments << QStringLiteral("-vcodec") << QStringLiteral("wmv2") << QStringLiteral("-b")
              << QStringLiteral("5872k") << QStringLiteral("-r") << QStringLiteral("25.00")
              << options.output;
    plan.runs.append({arguments});
    return plan;
}

int partsFor(const SourceFacts& facts, const CutRoom& room) {
    // The encoder keeps to 5872 kbit/s within a few percent; a fifth more
    // leaves room for that, and for the list and the file system's own.
    constexpr double OutputBytesPerSecond = 5872000.0 / 8.0 * 1.2;
    const std::optional<int> lead = leadInFrames(facts);
    if (!facts.known || !facts.hasVideo() || !facts.length || !lead ||
        (room.freeBytes && double(*room.freeBytes) < 2.0 * *facts.length * OutputBytesPerSecond))
        return 1;
    const double leadSeconds = double(*lead) / OutputFrameRate;
    const int parts = std::min(
        {room.encoders, room.processors, int(*facts.length / (ShortestPartLeads * leadSeconds))});
    const double work = 1.0 + (parts - 1) * leadSeconds / *facts.length;
    return parts > 1 && room.wholeShare.value_or(1.0) * work < parts ? parts : 1;
}

std::optional<int> leadInFrames(const SourceFacts& facts) {
    // A second, whatever the rate: the encoder's rate control has settled by then.
    constexpr int ShortestLead = OutputFrameRate;
    // Four seconds encoded twice for each part is as much as a cut may cost.
    constexpr int LongestLead = 4 * OutputFrameRate;
    if (!facts.frameRate)
        return std::nullopt;
    const double drift = std::abs(*facts.frameRate - OutputFrameRate);
    if (drift < 1e-6)
        return ShortestLead;
    // Output frames from one dropped or repeated picture to the next.
    const double between = OutputFrameRate / drift;
    const int lead = std::max(ShortestLead, int(std::ceil(2.0 * between)));
    return lead <= LongestLead ? std::optional(lead) : std::nullopt;
}

double partSeek(qint64 firstFrame, int lead) {
    return double(firstFrame - lead) / OutputFrameRate;
}

QList<qint64> partStarts(const SourceFacts& facts, int parts, const QList<double>& keyFrames) {
    // Measured with ffmpeg 5.1 on 720p H.264 to wmv2: decoding alone takes
    // 0.24 of the processor time of decoding and encoding.
    constexpr double DecodingShare = 0.24;
    const qint64 frames = std::llround(facts.length.value_or(0.0) * OutputFrameRate);
    const int lead = leadInFrames(facts).value_or(0);
    const qint64 shortest = qint64(ShortestPartLeads) * lead;
    QList<qint64> starts;
    for (int k = 1; k < parts; ++k) {
        const qint64 previous = starts.isEmpty() ? 0 : starts.last();
        qint64 start = frames * k / parts;
        const double seek = partSeek(start, lead);
        std::optional<double> before, after;
        for (const double keyFrame : keyFrames) {
            const double at = keyFrame - facts.start;
            if (at <= seek && (!before || at > *before))
                before = at;
            else if (at > seek && (!after || at < *after))
                after = at;
        }
        if (before && after && *after - seek < (seek - *before) * DecodingShare) {
            // Cuts only move on, so the next one is at least where it would be.
            const qint64 moved = qint64(std::ceil(*after * OutputFrameRate - 1e-6)) + lead;
            if (moved - previous >= shortest && frames * (k + 1) / parts - moved >= shortest)
                start = moved;
        }
        if (start > previous && start < frames)
            starts.append(start);
    }
    return starts;
}

SplitPlan splitPlanFor(const SourceFacts& facts, const PlanOptions& options,
                       const QList<qint64>& starts, const QString& stem) {
    const auto seconds = [](double time) { return QString::number(time, 'f', 2); };
    const int lead = leadInFrames(facts).value_or(0);
    SplitPlan plan;
    plan.list = "ffconcat version 1.0\n";
    for (qsizetype k = 0; k <= starts.size(); ++k) {
        const qint64 first = k > 0 ? starts[k - 1] : 0;
        SplitPlan::Part part;
        part.file = stem + QStringLiteral(".part%1.mkv").arg(k + 1);
        part.lead = k > 0 ? lead : 0;
        QStringList arguments = planFor(facts, {options.source, part.file}).runs.value(0).arguments;
        // Before the input, the seek decodes from the key frame before it and
        // keeps what starts there; the first part is the whole run's beginning.
        if (k > 0)
            arguments =
                QStringList{QStringLiteral("-ss"), seconds(partSeek(first, lead))} + arguments;
        // The parts keep a processor each busy: decoder threads on top would
        // only make them take turns.
        arguments = QStringList{QStringLiteral("-threads"), QStringLiteral("1")} + arguments;
        QStringList outputOptions{QStringLiteral("-vsync"), QStringLiteral("cfr")};
        if (part.lead > 0)
            outputOptions << QStringLiteral("-force_key_frames")
                          << seconds(double(part.lead) / OutputFrameRate);
        if (k < starts.size()) {
            part.frames = int(starts[k] - first) + part.lead;
            outputOptions << QStringLiteral("-frames:v") << QString::number(part.frames);
        }
        part.run = {arguments.first(arguments.size() - 1) + outputOptions +
                    QStringList{arguments.last()}};
        // The parts lie beside the list, so it names them alone: a folder's
        // name never has to be written in the list's quoting.
        QString name = QFileInfo(part.file).fileName();
        name.replace(u'\'', QLatin1String("'\\''"));
        plan.list += "file '" + name.toUtf8() + "'\n";
        if (part.lead > 0)
            plan.list += "inpoint " + seconds(double(part.lead) / OutputFrameRate).toUtf8() + "\n";
        plan.parts.append(part);
    }
    plan.listFile = stem + QStringLiteral(".ffconcat");
    plan.joined = stem + QStringLiteral(".wmv");
    // A name that begins with "." is one the join refuses unless told it may.
    plan.join = {{QStringLiteral("-f"), QStringLiteral("concat"), QStringLiteral("-safe"),
                  QStringLiteral("0"), QStringLiteral("-i"), plan.listFile, QStringLiteral("-map"),
                  QStringLiteral("0"), QStringLiteral("-c"), QStringLiteral("copy"), plan.joined}};
    return plan;
}

bool partsExact(const SplitPlan& plan, const QList<int>& frames) {
    if (frames.size() != plan.parts.size())
        return false;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const SplitPlan::Part& part = plan.parts[i];
        if (part.frames > 0 ? frames[i] != part.frames : frames[i] <= part.lead)
            return false;
    }
    return true;
}

int joinedFrames(const SplitPlan& plan, const QList<int>& frames) {
    int joined = 0;
    for (qsizetype i = 0; i < frames.size() && i < plan.parts.size(); ++i)
        joined += frames[i] - plan.parts[i].lead;
    return joined;
}
