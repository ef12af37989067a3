// SPDX-License-Identifier: MIT
#include "convert/encoderlog.h"

#include <QRegularExpression>

#include <array>
#include <utility>

namespace {

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

// Lines that report, not complain: the banner, the stream listings, the
// progress lines and the closing statistics.
constexpr std::array ReportStarts{
    QLatin1String("ffmpeg version"),
    QLatin1String("Input #"),
    QLatin1String("Output #"),
    QLatin1String("Stream mapping:"),
    QLatin1String("Press [q]"),
    QLatin1String("frame="),
    QLatin1String("size="),
    QLatin1String("video:"),
    // A warning about the bit rate option that every run of the command gets.
    QLatin1String("Please use -b:a or -b:v"),
};

constexpr std::array DamageWords{
    QLatin1String("File ended prematurely"),
    QLatin1String("exceeds containing master element"),
    QLatin1String("Invalid data found when processing input"),
    QLatin1String("Read error"),
};

struct CauseWords {
    QLatin1String words;
    EncoderLog::Cause cause;
};
constexpr std::array CauseTable{
    CauseWords{QLatin1String("already exists"), EncoderLog::Cause::OutputExists},
    CauseWords{QLatin1String("width must be multiple of"), EncoderLog::Cause::PictureSize},
    CauseWords{QLatin1String("height must be multiple of"), EncoderLog::Cause::PictureSize},
    CauseWords{QLatin1String("Invalid image size"), EncoderLog::Cause::PictureSize},
    CauseWords{QLatin1String("No space left on device"), EncoderLog::Cause::DiskFull},
    CauseWords{QLatin1String("does not contain any stream"), EncoderLog::Cause::NoStream},
    CauseWords{QLatin1String("Automatic encoder selection failed"), EncoderLog::Cause::NoStream},
    CauseWords{QLatin1String("Cannot determine format of input stream"),
               EncoderLog::Cause::NoPictures},
    CauseWords{QLatin1String(": Disk quota exceeded"), EncoderLog::Cause::WriteFailed},
    CauseWords{QLatin1String(": File too large"), EncoderLog::Cause::WriteFailed},
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

} // namespace

void EncoderLog::read(QStringView line) {
    if (line.isEmpty() || line.front().isSpace() || startsWithAny(line, ReportStarts) ||
        line.contains(QLatin1String(" time=")))
        return;
    if (!m_sourceDamaged)
        m_sourceDamaged = std::any_of(DamageWords.begin(), DamageWords.end(),
                                      [line](QLatin1String words) { return line.contains(words); });
    if (m_cause == Cause::Unknown) {
        m_cause = causeIn(line);
        if (m_cause != Cause::Unknown)
            m_causeLine = withoutSpeaker(line).toString();
    }
    if (!startsWithAny(line, GenericStarts))
        m_lastComplaint = withoutSpeaker(line).toString();
}

EncoderLog::Cause EncoderLog::causeIn(QStringView line) const {
    // The input that cannot be opened is named before what is wrong with it.
    if (!m_source.isEmpty() && line.startsWith(m_source) &&
        line.mid(m_source.size()).startsWith(QLatin1String(": "))) {
        const QStringView what = line.mid(m_source.size() + 2);
        if (what == QLatin1String("No such file or directory"))
            return Cause::SourceMissing;
        if (what == QLatin1String("Invalid data found when processing input"))
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
    return Cause::Unknown;
}
