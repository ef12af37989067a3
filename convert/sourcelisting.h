// SPDX-License-Identifier: MIT
#pragma once

#include "convert/sourcefacts.h"

#include <QStringView>

// What the encoder's own listing of its input says of the source, read line
// by line from its standard error before it encodes: the streams, the first
// video's size, field order and transfer, and the lengths.
//
// The listing is written for people, so it is read only far enough to tell
// that a source needs nothing changed; a line it cannot place ends it, and
// what was not seen stays unknown.
class SourceListing {
  public:
    // Takes one trimmed line of the encoder's standard error.
    void read(QStringView line);

    // The input's listing has begun and a line after it has come.
    bool isComplete() const { return m_stage == Stage::After; }
    // What the listing said; nothing known unless it began. A video stream
    // not listed before the end counts as none.
    SourceFacts facts() const;

  private:
    enum class Stage { Before, Listing, After };

    void readStream(QStringView line);

    Stage m_stage = Stage::Before;
    SourceFacts m_facts;
    bool m_inVideo = false; // the lines read belong to the chosen video stream
    std::optional<double> m_start;
    std::optional<double> m_containerLength;
    std::optional<double> m_videoEnd; // its "DURATION" tag
};
