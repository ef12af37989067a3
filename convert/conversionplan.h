// SPDX-License-Identifier: MIT
#pragma once

#include "convert/sourcefacts.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One run of the encoder: its arguments after its own path.
struct EncoderRun {
    QStringList arguments;
    bool operator==(const EncoderRun&) const = default;
};

// How a source is converted: the encoder runs, in the order they go, and the
// length the output should reach. No run: there is nothing to convert.
struct ConversionPlan {
    QList<EncoderRun> runs;
    std::optional<double> length;
    bool operator==(const ConversionPlan&) const = default;
};

struct PlanOptions {
    QString source;
    QString output;
};

// One video stream of the source, no audio, wmv2 video at 5872 kbit/s and 25
// frames per second.
//
// Without facts the stream is the source's first one. With them it is the
// first real video, and a filter is added only for what the encoder cannot
// take as it is: an odd width, interlaced fields, a high dynamic range. Any
// filter changes which source frames are kept, so a source that needs none
// keeps the command it always had. A source without a video gets no run:
// the encoder would write a file without a stream, or a cover picture's
// single frame as a video.
ConversionPlan planFor(const SourceFacts& facts, const PlanOptions& options);
