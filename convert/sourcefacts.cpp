// SPDX-License-Identifier: MIT
#include "convert/sourcefacts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// ffprobe writes times as decimal text, "N/A" or nothing when there is none.
std::optional<double> seconds(const QJsonValue& value) {
    bool ok = false;
    const double number = value.toString().toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

// A rate as "30000/1001"; "0/0" where the probe tool could not tell.
std::optional<double> rate(const QJsonValue& value) {
    const QStringList terms = value.toString().split(u'/');
    bool numeratorOk = false;
    bool denominatorOk = false;
    const double numerator = terms.value(0).toDouble(&numeratorOk);
    const double denominator = terms.size() == 2 ? terms[1].toDouble(&denominatorOk) : 0.0;
    if (!numeratorOk || !denominatorOk || numerator <= 0.0 || denominator <= 0.0)
        return std::nullopt;
    return numerator / denominator;
}

SourceFacts::Transfer transferNamed(const QString& name) {
    for (const SourceFacts::Transfer transfer :
         {SourceFacts::Transfer::Pq, SourceFacts::Transfer::Hlg}) {
        if (name == transferName(transfer))
            return transfer;
    }
    return SourceFacts::Transfer::Standard;
}

// The encoder's clock starts at the container's start, and its frame rate
// conversion fills a video that starts late with its first picture; so what
// it writes runs from there to the video's end.
std::optional<double> videoLength(const StreamRecord& video, const SourceRecord& record) {
    const double zero = record.start.value_or(0.0);
    std::optional<double> end = video.taggedEnd;
    if (!end && video.duration)
        end = video.start.value_or(zero) + *video.duration;
    if (!end && record.duration)
        end = zero + *record.duration;
    if (!end || *end - zero <= 0.0)
        return std::nullopt;
    return *end - zero;
}

StreamRecord streamOf(const QJsonObject& stream) {
    StreamRecord record;
    record.index = stream.value(u"index").toInt(-1);
    record.video = stream.value(u"codec_type").toString() == u"video";
    record.attachedPicture =
        stream.value(u"disposition").toObject().value(u"attached_pic").toInt() != 0;
    record.width = stream.value(u"width").toInt();
    record.height = stream.value(u"height").toInt();
    record.fieldOrder = stream.value(u"field_order").toString();
    record.transfer = stream.value(u"color_transfer").toString();
    record.start = seconds(stream.value(u"start_time"));
    record.duration = seconds(stream.value(u"duration"));
    record.frameRate = rate(stream.value(u"avg_frame_rate"));
    const QJsonObject tags = stream.value(u"tags").toObject();
    for (auto tag = tags.begin(); tag != tags.end(); ++tag) {
        if (isLengthTag(tag.key()))
            record.taggedEnd = clockSeconds(tag.value().toString());
        else if (isAttachmentTag(tag.key()))
            record.attachedPicture = true;
    }
    return record;
}

} // namespace

SourceFacts factsOf(const SourceRecord& record) {
    SourceFacts facts;
    facts.known = true;
    facts.start = record.start.value_or(0.0);
    for (const StreamRecord& stream : record.streams) {
        if (!stream.video || stream.attachedPicture || stream.index < 0)
            continue;
        facts.videoStream = stream.index;
        facts.width = stream.width;
        facts.height = stream.height;
        facts.interlaced = stream.fieldOrder == u"tt" || stream.fieldOrder == u"bb" ||
                           stream.fieldOrder == u"tb" || stream.fieldOrder == u"bt";
        facts.transfer = transferNamed(stream.transfer);
        facts.length = videoLength(stream, record);
        facts.frameRate = stream.frameRate;
        break;
    }
    return facts;
}

QLatin1String transferName(SourceFacts::Transfer transfer) {
    switch (transfer) {
    case SourceFacts::Transfer::Standard:
        break;
    case SourceFacts::Transfer::Pq:
        return QLatin1String("smpte2084");
    case SourceFacts::Transfer::Hlg:
        return QLatin1String("arib-std-b67");
    }
    return {};
}

bool isLengthTag(QStringView key) {
    return key == u"DURATION" || key.startsWith(u"DURATION-");
}

bool isAttachmentTag(QStringView key) {
    return key == u"mimetype";
}

std::optional<double> clockSeconds(QStringView text) {
    const bool negative = text.startsWith(u'-');
    const QList<QStringView> parts = text.mid(negative ? 1 : 0).split(u':');
    if (parts.size() != 3)
        return std::nullopt;
    bool hoursOk = false;
    bool minutesOk = false;
    bool secondsOk = false;
    const double total = parts[0].toUInt(&hoursOk) * 3600.0 + parts[1].toUInt(&minutesOk) * 60.0 +
                         parts[2].toDouble(&secondsOk);
    if (!hoursOk || !minutesOk || !secondsOk)
        return std::nullopt;
    return negative ? -total : total;
}

QStringList probeArguments(const QString& source) {
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-hide_banner"),
            QStringLiteral("-of"),
            QStringLiteral("json"),
            QStringLiteral("-show_entries"),
            QStringLiteral("format=duration,start_time:stream=index,codec_type,width,height,"
                           "field_order,color_transfer,avg_frame_rate,start_time,duration:"
                           "stream_disposition=attached_pic:stream_tags"),
            QStringLiteral("-i"),
            source};
}

std::optional<SourceRecord> readProbeOutput(QByteArrayView json) {
    const QJsonObject root = QJsonDocument::fromJson(json.toByteArray()).object();
    if (!root.value(u"streams").isArray())
        return std::nullopt;
    SourceRecord record;
    for (const QJsonValue& stream : root.value(u"streams").toArray())
        record.streams.append(streamOf(stream.toObject()));
    const QJsonObject format = root.value(u"format").toObject();
    record.start = seconds(format.value(u"start_time"));
    record.duration = seconds(format.value(u"duration"));
    return record;
}

QStringList keyFrameProbeArguments(const QString& source, const SourceFacts& facts,
                                   const QList<double>& times, double window) {
    QStringList intervals;
    for (const double time : times)
        intervals << QStringLiteral("%1%%2")
                         .arg(facts.start + time, 0, 'f', 3)
                         .arg(facts.start + time + window, 0, 'f', 3);
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-hide_banner"),
            QStringLiteral("-select_streams"),
            QString::number(facts.videoStream),
            QStringLiteral("-show_entries"),
            QStringLiteral("packet=pts_time,flags"),
            QStringLiteral("-of"),
            QStringLiteral("csv=p=0"),
            QStringLiteral("-read_intervals"),
            intervals.join(u','),
            QStringLiteral("-i"),
            source};
}

QList<double> readKeyFrames(QByteArrayView csv) {
    QList<double> keyFrames;
    // "20.023000,K_" for a key frame, "20.063000,__" for any other.
    for (const QByteArray& line : csv.toByteArray().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        bool ok = false;
        const double time = fields.value(0).toDouble(&ok);
        if (ok && fields.value(1).startsWith('K'))
            keyFrames.append(time);
    }
    return keyFrames;
}
