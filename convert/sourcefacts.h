// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// What the encoder command needs to know of a source. Default-constructed,
// nothing is known, and the source gets the command that does not depend on it.
struct SourceFacts {
    enum class Transfer {
        Standard,
        Pq,  // SMPTE ST 2084, high dynamic range
        Hlg, // ARIB STD-B67 hybrid log-gamma, high dynamic range
    };

    bool known = false;   // a reader found the source's streams; nothing below holds otherwise
    int videoStream = -1; // the first video stream that is not an attached picture; -1: none
    int width = 0;
    int height = 0;
    bool interlaced = false;
    Transfer transfer = Transfer::Standard;
    // Seconds from the container's start to the video's end: what the
    // encoder's time= reaches at its end. Empty when the source states none.
    std::optional<double> length;
    // Pictures a second on average, as the probe tool tells it; empty when not told.
    std::optional<double> frameRate;
    // The container's start on its streams' clock: the encoder's zero, and
    // where a seek's times count from.
    double start = 0.0;

    bool hasVideo() const { return !known || videoStream >= 0; }
};

// One stream as a reader of the source found it, in the probe tool's words:
// the encoder's listing and the probe tool's answer both come down to these.
struct StreamRecord {
    int index = -1;
    bool video = false;
    bool attachedPicture = false; // a cover picture, shown as a video of one frame
    int width = 0;
    int height = 0;
    QString fieldOrder;              // "progressive", "tt", "bb", "tb" or "bt"; empty when not told
    QString transfer;                // "bt709", "smpte2084", "arib-std-b67"...; empty when not told
    std::optional<double> start;     // on the container's clock
    std::optional<double> duration;  // the stream's own length
    std::optional<double> taggedEnd; // where a Matroska writer says it ends
    std::optional<double> frameRate; // pictures a second on average
};

// A source as a reader found it: its streams and the container's timing.
struct SourceRecord {
    QList<StreamRecord> streams;
    std::optional<double> start;
    std::optional<double> duration;
};

// ffmpeg's own name of a high dynamic range transfer, as the probe tool and
// the listing tell it and the tone map filter takes it; empty for Standard.
QLatin1String transferName(SourceFacts::Transfer transfer);

// The facts a record gives: every rule about what a stream means is here.
SourceFacts factsOf(const SourceRecord& record);

// Matroska writers state where each stream ends in a tag "DURATION", with a
// language suffix where they gave the tag one.
bool isLengthTag(QStringView key);
// A Matroska attachment, a cover picture say, carries its file's type in a tag;
// ffmpeg before 5 does not mark such a stream as an attached picture.
bool isAttachmentTag(QStringView key);

// "HH:MM:SS.xx" in seconds, with hours of any length; empty for anything else.
std::optional<double> clockSeconds(QStringView text);

// The probe tool's arguments for a source: the streams and the container's
// timing, as JSON on its standard output.
QStringList probeArguments(const QString& source);

// What the probe tool's output says; empty when it cannot be read.
std::optional<SourceRecord> readProbeOutput(QByteArrayView json);

// The probe tool's arguments for the key frames of a source's video near
// the given times, counted from the container's start: those from the one
// each time's seek lands on to window seconds after the time.
QStringList keyFrameProbeArguments(const QString& source, const SourceFacts& facts,
                                   const QList<double>& times, double window);
// The times of the key frames in its answer, on the streams' clock.
QList<double> readKeyFrames(QByteArrayView csv);
