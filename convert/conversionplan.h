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

// The output's frame rate: every picture it holds starts at a multiple of 1/25 s.
constexpr int OutputFrameRate = 25;

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

// A part's least length, in leads: the lead is encoded twice, and a part
// ten times as long spends at most a tenth more on it.
constexpr int ShortestPartLeads = 10;

// What the machine shows when a source's cut is decided.
struct CutRoom {
    int encoders = 1;   // the run's
    int processors = 1; // the machine's
    // The processors a whole encoder kept busy when it last ran alone; empty
    // before one has: its own encoding thread is taken to be all.
    std::optional<double> wholeShare;
    std::optional<qint64> freeBytes; // beside the output, where known
};

// How many parts at once a source is worth: one unless the listing gave its
// video, length and frame rate, the parts can lead in to the whole run's
// frames (leadInFrames), each part lasts at least ShortestPartLeads leads,
// and the output's folder has room for the output twice over: the parts,
// and their join. A source of unknown length cannot be cut into parts of
// known frames, and one that a full disk would fail only in parts is
// better converted whole.
//
// Each part keeps one processor busy, so no more parts than encoders and
// processors; and a source is cut only where its parts, their leads
// counted, keep more processors busy than a whole encoder does: where the
// whole encoder keeps as many busy, cutting only adds work.
int partsFor(const SourceFacts& facts, const CutRoom& room);

// The output frames a part after the first encodes before its own first
// one, which the join leaves out; empty where no lead makes the parts exact.
//
// The encoder keeps, drops or repeats each source picture by how far the
// pictures before it have drifted from the output's grid. A part that seeks
// starts with a drift of its own, a whole number of frames off the whole
// run's; the first picture that either drops or repeats and the other does
// not settles them on the same one. The lead spans two such pictures at the
// source's rate. At exactly 25 fps nothing drifts, and a part agrees with the
// whole run from its first frame; a rate so close to 25 that pictures drop
// or repeat only every few seconds, or one not known, is not cut.
std::optional<int> leadInFrames(const SourceFacts& facts);

// Where a part that begins at the given output frame seeks its input: that
// many frames of lead before it, on the streams' clock counted from the
// container's start.
double partSeek(qint64 firstFrame, int lead);

// A source converted in parts at once, then joined by copying the parts'
// pictures one after the other into one file.
//
// Each part starts at a frame of the output's grid, T = first frame / 25, and
// writes a counted number of frames; the last runs on to the source's end.
// A part after the first seeks to its lead's start, on the grid too, and its
// lead begins with a key frame the join seeks to and leaves out. The frame
// count, unlike a length, never adds the frame rate's rounding at a part's
// end: the joined output holds the frames of one whole run. The parts are
// Matroska, whose index finds that key frame exactly, and keep the output's
// constant rate, which Matroska would not ask for.
struct SplitPlan {
    struct Part {
        EncoderRun run;
        QString file;
        int frames = 0; // what it writes, lead included; 0 for the last part: on to the end
        int lead = 0;   // its first frames, which the join leaves out
        bool operator==(const Part&) const = default;
    };
    QList<Part> parts;
    QString listFile; // the parts' names, for the join to read
    QByteArray list;  // what it holds
    QString joined;   // the join's output, moved to the output's name once whole
    EncoderRun join;
    bool operator==(const SplitPlan&) const = default;
};

// The first output frames of the parts after the first: evenly spread, each
// moved so that its seek (partSeek) lands on the key frame after it
// (keyFrames, on the streams' clock) where the encoding that adds to the part
// before costs less than the decoding from the key frame before, which the
// seek would do in vain, and where no part becomes shorter than
// ShortestPartLeads leads. A second of decoding costs about a quarter of a second
// of the whole conversion.
QList<qint64> partStarts(const SourceFacts& facts, int parts, const QList<double>& keyFrames);

// Whether the parts wrote the frames their plan counts (frames, in their
// order): each but the last its number, the last more than its lead. Any
// other count means the source is not what it states where it is cut.
bool partsExact(const SplitPlan& plan, const QList<int>& frames);
// The frames their join must write: the parts' less their leads.
int joinedFrames(const SplitPlan& plan, const QList<int>& frames);

// The plan for a source worth parts > 1 (see partsFor), its parts starting
// at the given frames. Every file it writes is named stem and a suffix; the
// stem must be a path beside the output that no file's name starts with.
SplitPlan splitPlanFor(const SourceFacts& facts, const PlanOptions& options,
                       const QList<qint64>& starts, const QString& stem);
