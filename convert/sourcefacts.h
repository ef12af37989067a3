// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// What the encoder command needs to know of a source, as the probe tool
// (ffprobe) reads it. Default-constructed, nothing is known, and the source
// gets the command that does not depend on it.
struct SourceFacts {
    enum class Transfer {
        Standard,
        Pq,  // SMPTE ST 2084, high dynamic range
        Hlg, // ARIB STD-B67 hybrid log-gamma, high dynamic range
    };

    bool known = false;   // the probe read the source; nothing below holds otherwise
    int videoStream = -1; // the first video stream that is not an attached picture; -1: none
    int width = 0;
    int height = 0;
    bool interlaced = false;
    Transfer transfer = Transfer::Standard;
    // Seconds from the container's start to the video's end: what the
    // encoder's time= reaches at its end. Empty when the source states none.
    std::optional<double> length;

    bool hasVideo() const { return !known || videoStream >= 0; }
};

// The probe tool's arguments for a source: the streams and the container's
// timing, as JSON on its standard output.
QStringList probeArguments(const QString& source);

// What the probe tool's output says; nothing known when it cannot be read.
SourceFacts readProbeOutput(QByteArrayView json);
