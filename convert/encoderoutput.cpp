// SPDX-License-Identifier: MIT
#include "convert/encoderoutput.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace {

using Cause = FileOutcome::Cause;

// Lines that report rather than complain: the banner and build, the output's
// listing, the progress lines and closing statistics, and the warning about
// the bit rate option that every run of the command gets.
constexpr std::array SkippedStarts{
    QLatin1String("ffmpeg version"),
    QLatin1String("ffprobe version"),
    QLatin1String("built with"),
    QLatin1String("configuration:"),
    QLatin1String("lib"),
    QLatin1String("Output #"),
    QLatin1String("Stream mapping:"),
    QLatin1String("Stream #"),
    QLatin1String("Press [q]"),
    QLatin1String("frame="),
    QLatin1String("size="),
    QLatin1String("video:"),
    QLatin1String("Metadata:"),
    QLatin1String("Please use -b:a or -b:v"),
};

// The encoder's own summaries of a failure told just before: the cause is the
// line above them.
constexpr std::array GenericStarts{
    QLatin1String("Conversion failed!"),
    QLatin1String("Error initializing output stream"),
    QLatin1String("Error while opening encoder"),
    QLatin1String("Error selecting an encoder"),
    QLatin1String("Exiting normally"),
    QLatin1String("Finishing stream"),
    QLatin1String("Error marking filters as finished"),
};

// The lines of the input's listing that are not a stream's or a tag's.
constexpr std::array ListingHeads{
    QLatin1String("Metadata:"), QLatin1String("Chapters:"),  QLatin1String("Chapter #"),
    QLatin1String("Program "),  QLatin1String("Side data:"),
};

struct CauseWords {
    QLatin1String words;
    Cause cause;
};
constexpr std::array CauseTable{
    CauseWords{QLatin1String("already exists"), Cause::OutputExists},
    CauseWords{QLatin1String("width must be multiple of"), Cause::PictureSize},
    CauseWords{QLatin1String("height must be multiple of"), Cause::PictureSize},
    CauseWords{QLatin1String("Invalid image size"), Cause::PictureSize},
    CauseWords{QLatin1String("No space left on device"), Cause::DiskFull},
    CauseWords{QLatin1String("does not contain any stream"), Cause::FirstStreamNotVideo},
    CauseWords{QLatin1String("Automatic encoder selection failed"), Cause::FirstStreamNotVideo},
    CauseWords{QLatin1String("Cannot determine format of input stream"), Cause::NoPictures},
    // ffmpeg before 7, then from 7 on.
    CauseWords{QLatin1String("Decoder (codec "), Cause::NoDecoder},
    CauseWords{QLatin1String("no decoder found for"), Cause::NoDecoder},
    // The Matroska reader on a track that is encrypted or stored in a way it does not know.
    CauseWords{QLatin1String("Unsupported encoding type"), Cause::Unsupported},
    CauseWords{QLatin1String("combined encodings not supported"), Cause::Unsupported},
    CauseWords{QLatin1String(": Disk quota exceeded"), Cause::WriteFailed},
    CauseWords{QLatin1String(": File too large"), Cause::WriteFailed},
};

bool startsWithAny(QStringView line, const auto& starts) {
    return std::any_of(starts.begin(), starts.end(),
                       [line](QLatin1String start) { return line.startsWith(start); });
}

// "[wmv2 @ 0x55d0c8a0] width must be..." says which part of the encoder
// spoke, and where it lives in memory: neither helps the reader.
QStringView withoutSpeaker(QStringView line) {
    if (!line.startsWith(u'['))
        return line;
    const qsizetype end = line.indexOf(QLatin1String("] "));
    return end < 0 ? line : line.mid(end + 2);
}

// A value of the "Duration: 00:00:02.02, start: 0.000000, bitrate: ..." line.
QStringView fieldAt(QStringView line, qsizetype from) {
    const QStringView value = line.mid(from);
    const qsizetype comma = value.indexOf(u',');
    return comma < 0 ? value : value.first(comma);
}

// The listing's field orders in the probe tool's words.
QString fieldOrderIn(QStringView detail) {
    if (detail == u"progressive")
        return QStringLiteral("progressive");
    if (detail == u"top first")
        return QStringLiteral("tt");
    if (detail == u"bottom first")
        return QStringLiteral("bb");
    if (detail == u"top coded first (swapped)")
        return QStringLiteral("tb");
    if (detail == u"bottom coded first (swapped)")
        return QStringLiteral("bt");
    return {};
}

// The fields of a stream's line, split at the commas outside parentheses.
QList<QStringView> topLevelFields(QStringView details) {
    QList<QStringView> fields;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < details.size(); ++i) {
        const QChar c = details.at(i);
        if (c == u'(' || c == u'[')
            ++depth;
        else if ((c == u')' || c == u']') && depth > 0)
            --depth;
        else if (c == u',' && depth == 0) {
            fields.append(details.sliced(start, i - start).trimmed());
            start = i + 1;
        }
    }
    fields.append(details.mid(start).trimmed());
    return fields;
}

// "yuv420p10le(tv, bt2020nc/bt2020/smpte2084, progressive)": the range, then
// the colour space, primaries and transfer (one name when all three share
// it), then the field order, each only where known.
void readPixelDetails(QStringView details, StreamRecord& stream) {
    const qsizetype open = details.indexOf(u'(');
    const qsizetype close = details.lastIndexOf(u')');
    if (open < 0 || close < open)
        return;
    for (const QStringView part : details.sliced(open + 1, close - open - 1).split(u", ")) {
        if (const QString order = fieldOrderIn(part); !order.isEmpty())
            stream.fieldOrder = order;
        else if (part != u"tv" && part != u"pc")
            stream.transfer = part.split(u'/').constLast().toString();
    }
}

} // namespace

QList<EncoderEvent> EncoderOutputReader::read(QStringView line) {
    QList<EncoderEvent> events;
    if (m_stage == Stage::Before && line.startsWith(u"Input #0,")) {
        m_stage = Stage::Listing;
        return events;
    }
    if (m_stage == Stage::Listing) {
        if (readListing(line))
            return events;
        events = listingEnds();
    }
    readOther(line, events);
    return events;
}

QList<EncoderEvent> EncoderOutputReader::end() {
    return m_stage == Stage::Listing ? listingEnds() : QList<EncoderEvent>();
}

QList<EncoderEvent> EncoderOutputReader::listingEnds() {
    m_stage = Stage::After;
    EncoderEvent listed;
    listed.kind = EncoderEvent::Kind::Listed;
    listed.record = m_record;
    return {listed};
}

bool EncoderOutputReader::readListing(QStringView line) {
    if (line.startsWith(u"Stream #0:")) {
        readStream(line);
        return true;
    }
    if (line.startsWith(u"Duration: ")) {
        // Either may be "N/A".
        m_record.duration = clockSeconds(fieldAt(line, 10));
        if (const qsizetype start = line.indexOf(u"start: "); start >= 0) {
            bool ok = false;
            if (const double seconds = fieldAt(line, start + 7).toDouble(&ok); ok)
                m_record.start = seconds;
        }
        return true;
    }
    if (startsWithAny(line, ListingHeads))
        return true;
    // A tag, "KEY             : value", or a further line of one, ": value".
    static const QRegularExpression tag(QStringLiteral(R"(^([^\s:]*)\s*: )"));
    const QRegularExpressionMatch match = tag.match(line);
    if (!match.hasMatch())
        return false;
    if (m_record.streams.isEmpty())
        return true;
    StreamRecord& stream = m_record.streams.last();
    const QStringView key = match.capturedView(1);
    if (isLengthTag(key))
        stream.taggedEnd = clockSeconds(line.mid(match.capturedLength()).trimmed());
    else if (isAttachmentTag(key))
        stream.attachedPicture = true;
    return true;
}

void EncoderOutputReader::readStream(QStringView line) {
    // "Stream #0:1(eng): Video: h264 (High), yuv420p(tv, bt709, progressive),
    // 1920x1080 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn (attached pic)"
    StreamRecord stream;
    qsizetype digits = 10;
    while (digits < line.size() && line.at(digits).isDigit())
        ++digits;
    bool ok = false;
    stream.index = line.sliced(10, digits - 10).toInt(&ok);
    const qsizetype idEnd = line.indexOf(u": ");
    if (!ok || idEnd < 0) {
        // A line it cannot place still stands for a stream, so that the
        // ones after keep their places.
        stream.index = -1;
        m_record.streams.append(stream);
        return;
    }
    const QStringView details = line.mid(idEnd + 2);
    stream.video = details.startsWith(u"Video: ");
    // Older encoders add "(default)" and others after it.
    stream.attachedPicture = details.contains(u"(attached pic)");
    if (stream.video) {
        // The size follows a comma; a codec tag such as "0x31637661" does not.
        static const QRegularExpression size(
            QStringLiteral(R"(, ([1-9]\d*)x([1-9]\d*)(?=$|[ ,]))"));
        if (const QRegularExpressionMatch match = size.match(details); match.hasMatch()) {
            stream.width = match.capturedView(1).toInt();
            stream.height = match.capturedView(2).toInt();
        }
        // The pixel format and its details are the field after the codec's.
        const QList<QStringView> fields = topLevelFields(details);
        if (fields.size() > 1)
            readPixelDetails(fields.at(1), stream);
    }
    m_record.streams.append(stream);
}

void EncoderOutputReader::readOther(QStringView line, QList<EncoderEvent>& events) {
    if (const qsizetype at = line.indexOf(u"time=");
        at >= 0 && (at == 0 || line.at(at - 1) == u' ')) {
        // "N/A" before the first frame; a little below zero at the very start.
        if (const std::optional<double> seconds =
                clockSeconds(line.mid(at + 5).split(u' ').constFirst())) {
            EncoderEvent reached;
            reached.kind = EncoderEvent::Kind::Reached;
            reached.seconds = std::max(*seconds, 0.0);
            // "frame=  502 fps=..."; the stream copy that joins parts counts its pictures too.
            if (line.startsWith(u"frame="))
                reached.frames = line.mid(6).trimmed().split(u' ').constFirst().toInt();
            events.append(reached);
        }
        return;
    }
    if (line.isEmpty() || line.startsWith(u"Duration: ") || startsWithAny(line, SkippedStarts))
        return;
    const QString said = withoutSpeaker(line).toString();
    if (const Cause cause = causeIn(line); cause != Cause::None)
        events.append({EncoderEvent::Kind::Cause, {}, 0.0, 0, cause, said});
    if (!startsWithAny(line, GenericStarts))
        events.append({EncoderEvent::Kind::Complaint, {}, 0.0, 0, Cause::None, said});
}

FileOutcome::Cause EncoderOutputReader::causeIn(QStringView line) const {
    // A file that cannot be opened is named before what is wrong with it.
    for (const bool isSource : {true, false}) {
        const QString& path = isSource ? m_source : m_output;
        if (path.isEmpty() || !line.startsWith(path) ||
            !line.mid(path.size()).startsWith(QLatin1String(": ")))
            continue;
        const QStringView what = line.mid(path.size() + 2);
        if (what == QLatin1String("Permission denied"))
            return isSource ? Cause::SourceUnreadable : Cause::OutputUnwritable;
        // No permission helps there: the whole mount refuses writing.
        if (!isSource && what == QLatin1String("Read-only file system"))
            return Cause::ReadOnlyFolder;
        if (isSource && what == QLatin1String("No such file or directory"))
            return Cause::SourceMissing;
        if (isSource && what == QLatin1String("Invalid data found when processing input"))
            return Cause::UnreadableData;
    }
    for (const CauseWords& known : CauseTable) {
        if (line.contains(known.words))
            return known.cause;
    }
    // "Error writing trailer of <output>: ..." and "Error closing file
    // <output>: ..." come only from writing the output.
    if (line.startsWith(QLatin1String("Error ")) && !m_output.isEmpty() && line.contains(m_output))
        return Cause::WriteFailed;
    return Cause::None;
}

void EncoderFindings::take(const EncoderEvent& event) {
    switch (event.kind) {
    case EncoderEvent::Kind::Listed: // the shell acts on it as it comes
        break;
    case EncoderEvent::Kind::Reached:
        reached = event.seconds;
        frames = event.frames;
        break;
    case EncoderEvent::Kind::Cause:
        if (cause == FileOutcome::Cause::None) {
            cause = event.cause;
            causeLine = event.line;
        }
        break;
    case EncoderEvent::Kind::Complaint:
        lastComplaint = event.line;
        break;
    }
}
