// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <optional>

// The most encoders at once; past this many they only wait on each other for the disk.
constexpr int MaxEncoders = 64;

// An encoder's peak resident memory. Measured with /usr/bin/time -v on
// ffmpeg 5.1 and 5-second sources: 111 MiB for 1080p H.264, 265 MiB for 4K
// H.264, 386 MiB for 4K 10-bit HEVC with the 3 decoder threads of a
// two-processor machine. The decoder takes up to 16 threads on bigger ones,
// and then 4K 10-bit HEVC peaks at 841 MiB, 1045 MiB through the HDR tone map.
// About a fifth more leaves room for sources with more reference frames and for
// ffprobe, which reads a source that needs a changed command.
constexpr qint64 EncoderPeakBytes = qint64(1280) * 1024 * 1024;

// How many encoders to run when asked for one per processor: no more than
// the available memory holds at their peak (unknown: no limit), never fewer
// than one and never more than MaxEncoders.
int automaticEncoders(int processors, std::optional<qint64> availableBytes);
