// SPDX-License-Identifier: MIT
#include "convert/encoderprogress.h"

#include <QList>

#include <algorithm>

std::optional<double> clockSeconds(QStringView text) {
    const bool negative = text.startsWith(u'-');
    const QList<QStringView> parts = text.mid(negative ? 1 : 0).split(u':');
    if (parts.size() != 3)
        return std::nullopt;
    bool hoursOk = false;
    bool minutesOk = false;
    bool secondsOk = false;
    const double seconds = parts[0].toUInt(&hoursOk) * 3600.0 + parts[1].toUInt(&minutesOk) * 60.0 +
                           parts[2].toDouble(&secondsOk);
    if (!hoursOk || !minutesOk || !secondsOk)
        return std::nullopt;
    return negative ? -seconds : seconds;
}

void EncoderProgress::read(QStringView line) {
    if (!m_durationRead && line.startsWith(u"Duration: ")) {
        m_durationRead = true;
        const QStringView value = line.mid(10).split(u',').constFirst();
        if (const std::optional<double> seconds = clockSeconds(value); seconds && *seconds > 0.0)
            m_duration = seconds;
        return;
    }
    const qsizetype at = line.indexOf(u" time=");
    if (at < 0 && !line.startsWith(u"time="))
        return;
    const QStringView value = line.mid(at < 0 ? 5 : at + 6).split(u' ').constFirst();
    // "N/A" before the first frame; a little below zero at the very start.
    if (const std::optional<double> seconds = clockSeconds(value))
        m_encoded = std::max(*seconds, 0.0);
}

std::optional<double> EncoderProgress::share() const {
    if (!m_duration)
        return std::nullopt;
    return std::clamp(m_encoded / *m_duration, 0.0, 1.0);
}

void RunPace::start() {
    *this = {};
    m_clock.start();
}

void RunPace::fileEnded(const EncoderProgress& file) {
    m_encodedBefore += file.encoded();
    if (const std::optional<double> duration = file.duration()) {
        m_knownDurations += *duration;
        ++m_filesWithDuration;
    }
}

std::optional<double> RunPace::secondsLeft(const std::vector<const EncoderProgress*>& current,
                                           int filesWaiting) const {
    double encoded = m_encodedBefore;
    double knownLengths = m_knownDurations;
    int filesKnown = m_filesWithDuration;
    double knownLeft = 0.0;
    int unknown = 0;
    for (const EncoderProgress* file : current) {
        encoded += file->encoded();
        if (const std::optional<double> duration = file->duration()) {
            knownLengths += *duration;
            ++filesKnown;
            knownLeft += std::max(*duration - file->encoded(), 0.0);
        } else {
            ++unknown;
        }
    }
    const double wallSeconds = double(m_clock.elapsed()) / 1000.0;
    if (filesKnown == m_filesWithDuration || encoded <= 0.0 || wallSeconds <= 0.0)
        return std::nullopt;
    // A file under way of unknown length counts as an average one not begun.
    const double averageLength = knownLengths / double(filesKnown);
    const double inputLeft = knownLeft + averageLength * double(filesWaiting + unknown);
    return inputLeft / (encoded / wallSeconds);
}
