// SPDX-License-Identifier: MIT
#include "convert/encoderslots.h"

#include <algorithm>

int automaticEncoders(int processors, std::optional<qint64> availableBytes) {
    qint64 encoders = std::min(processors, MaxEncoders);
    if (availableBytes)
        encoders = std::min(encoders, *availableBytes / EncoderPeakBytes);
    // One encoder runs even when memory is short: that is what the default does.
    return int(std::max<qint64>(encoders, 1));
}
