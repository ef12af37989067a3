// SPDX-License-Identifier: MIT
#include "convert/sourcefacts.h"

#include "convert/encoderprogress.h"

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

// Where a stream ends, as Matroska writers state it in a tag "DURATION" (with
// a language suffix where the writer gave the tag one): on the container's
// clock, so a stream that starts late states its start plus its length.
std::optional<double> taggedLength(const QJsonObject& tags) {
    for (auto tag = tags.begin(); tag != tags.end(); ++tag) {
        if (tag.key() == u"DURATION" || tag.key().startsWith(u"DURATION-"))
            return clockSeconds(tag.value().toString());
    }
    return std::nullopt;
}

// The encoder's clock starts at the container's start, and its frame rate
// conversion fills a video that starts late with its first picture; so what
// it writes runs from there to the video's end.
std::optional<double> videoLength(const QJsonObject& stream, const QJsonObject& format) {
    const double zero = seconds(format.value(u"start_time")).value_or(0.0);
    const double start = seconds(stream.value(u"start_time")).value_or(zero);
    std::optional<double> end = taggedLength(stream.value(u"tags").toObject());
    if (!end) {
        if (const std::optional<double> duration = seconds(stream.value(u"duration")))
            end = start + *duration;
        else if (const std::optional<double> whole = seconds(format.value(u"duration")))
            end = zero + *whole;
    }
    if (!end)
        return std::nullopt;
    return *end - zero;
}

SourceFacts::Transfer transferOf(const QJsonValue& value) {
    const QString name = value.toString();
    if (name == u"smpte2084")
        return SourceFacts::Transfer::Pq;
    if (name == u"arib-std-b67")
        return SourceFacts::Transfer::Hlg;
    return SourceFacts::Transfer::Standard;
}

} // namespace

QStringList probeArguments(const QString& source) {
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-hide_banner"),
            QStringLiteral("-of"),
            QStringLiteral("json"),
            QStringLiteral("-show_entries"),
            QStringLiteral("format=duration,start_time:stream=index,codec_type,width,height,"
                           "field_order,color_transfer,start_time,duration:"
                           "stream_disposition=attached_pic:stream_tags"),
            QStringLiteral("-i"),
            source};
}

SourceFacts readProbeOutput(QByteArrayView json) {
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray());
    const QJsonObject root = document.object();
    if (!root.value(u"streams").isArray())
        return {};
    SourceFacts facts;
    facts.known = true;
    for (const QJsonValue& value : root.value(u"streams").toArray()) {
        const QJsonObject stream = value.toObject();
        // A cover picture is shown as a video stream of one frame.
        if (stream.value(u"codec_type").toString() != u"video" ||
            stream.value(u"disposition").toObject().value(u"attached_pic").toInt() != 0)
            continue;
        facts.videoStream = stream.value(u"index").toInt(-1);
        if (facts.videoStream < 0)
            return {};
        facts.width = stream.value(u"width").toInt();
        facts.height = stream.value(u"height").toInt();
        const QString fieldOrder = stream.value(u"field_order").toString();
        facts.interlaced = fieldOrder == u"tt" || fieldOrder == u"bb" || fieldOrder == u"tb" ||
                           fieldOrder == u"bt";
        facts.transfer = transferOf(stream.value(u"color_transfer"));
        facts.length = videoLength(stream, root.value(u"format").toObject());
        if (facts.length && *facts.length <= 0.0)
            facts.length.reset();
        break;
    }
    return facts;
}
