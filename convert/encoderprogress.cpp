// SPDX-License-Identifier: MIT
#include "convert/encoderprogress.h"

#include <algorithm>

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
