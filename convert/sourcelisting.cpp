// SPDX-License-Identifier: MIT
#include "convert/sourcelisting.h"

#include "convert/encoderprogress.h"

#include <QRegularExpression>

namespace {

// The lines of the listing that are not a stream's or a tag's.
constexpr QStringView ListingHeads[] = {u"Metadata:", u"Chapters:", u"Chapter #", u"Program ",
                                        u"Side data:"};

// A value of the "Duration: 00:00:02.02, start: 0.000000, bitrate: ..." line.
QStringView fieldAt(QStringView line, qsizetype from) {
    const QStringView value = line.mid(from);
    const qsizetype comma = value.indexOf(u',');
    return comma < 0 ? value : value.first(comma);
}

} // namespace

void SourceListing::read(QStringView line) {
    switch (m_stage) {
    case Stage::Before:
        if (line.startsWith(u"Input #0,")) {
            m_stage = Stage::Listing;
            m_facts.known = true;
        }
        return;
    case Stage::After:
        return;
    case Stage::Listing:
        break;
    }
    if (line.startsWith(u"Stream #0:")) {
        readStream(line);
        return;
    }
    if (line.startsWith(u"Duration: ")) {
        // Either may be "N/A".
        m_containerLength = clockSeconds(fieldAt(line, 10));
        if (const qsizetype start = line.indexOf(u"start: "); start >= 0) {
            bool ok = false;
            if (const double seconds = fieldAt(line, start + 7).toDouble(&ok); ok)
                m_start = seconds;
        }
        return;
    }
    for (const QStringView head : ListingHeads) {
        if (line.startsWith(head))
            return;
    }
    // A tag, "KEY             : value", or a further line of one, ": value".
    static const QRegularExpression tag(QStringLiteral(R"(^([^\s:]*)\s*: )"));
    const QRegularExpressionMatch match = tag.match(line);
    if (!match.hasMatch()) {
        m_stage = Stage::After;
        return;
    }
    // Matroska writers state where each stream ends, with a language suffix
    // where they gave the tag one.
    const QStringView key = match.capturedView(1);
    if (m_inVideo && (key == u"DURATION" || key.startsWith(u"DURATION-")))
        m_videoEnd = clockSeconds(line.mid(match.capturedLength()).trimmed());
}

void SourceListing::readStream(QStringView line) {
    // "Stream #0:1(eng): Video: h264 (High), yuv420p(tv, bt709, progressive),
    // 1920x1080 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn (attached pic)"
    m_inVideo = false;
    const qsizetype idEnd = line.indexOf(u": ");
    if (idEnd < 0 || m_facts.videoStream >= 0)
        return;
    const QStringView details = line.mid(idEnd + 2);
    // A cover picture is listed as a video stream of one frame.
    if (!details.startsWith(u"Video: ") || line.endsWith(u"(attached pic)"))
        return;
    qsizetype digits = 10;
    while (digits < line.size() && line.at(digits).isDigit())
        ++digits;
    bool ok = false;
    const int index = line.sliced(10, digits - 10).toInt(&ok);
    if (!ok)
        return;
    m_inVideo = true;
    m_facts.videoStream = index;
    // The size follows a comma; a codec tag such as "0x31637661" does not.
    static const QRegularExpression size(QStringLiteral(R"(, ([1-9]\d*)x([1-9]\d*)(?=$|[ ,]))"));
    if (const QRegularExpressionMatch match = size.match(details); match.hasMatch()) {
        m_facts.width = match.capturedView(1).toInt();
        m_facts.height = match.capturedView(2).toInt();
    }
    // "top first", "bottom first", "top coded first (swapped)"...
    m_facts.interlaced = details.contains(u"top first") || details.contains(u"bottom first") ||
                         details.contains(u"coded first");
    if (details.contains(u"smpte2084"))
        m_facts.transfer = SourceFacts::Transfer::Pq;
    else if (details.contains(u"arib-std-b67"))
        m_facts.transfer = SourceFacts::Transfer::Hlg;
}

SourceFacts SourceListing::facts() const {
    if (m_stage == Stage::Before)
        return {};
    SourceFacts facts = m_facts;
    if (facts.videoStream < 0)
        return facts;
    const double zero = m_start.value_or(0.0);
    if (m_videoEnd)
        facts.length = *m_videoEnd - zero;
    else
        facts.length = m_containerLength;
    if (facts.length && *facts.length <= 0.0)
        facts.length.reset();
    return facts;
}
