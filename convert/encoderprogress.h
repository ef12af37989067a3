// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>

#include <optional>
#include <vector>

// How far the encoder has got with one file: the length it will write, and
// the point its progress lines have reached.
class EncoderProgress {
  public:
    void setDuration(double seconds) { m_duration = seconds; }
    void setEncoded(double seconds) { m_encoded = seconds; }

    // The input's length in seconds; empty when the encoder knows none.
    std::optional<double> duration() const { return m_duration; }
    // Seconds of the input encoded so far.
    double encoded() const { return m_encoded; }
    // The share of the file done, from 0 to 1; empty without a length.
    std::optional<double> share() const;

  private:
    std::optional<double> m_duration;
    double m_encoded = 0.0;
};

// How fast a run gets through its input, for the time it has left.
class RunPace {
  public:
    // The run begins now.
    void start();
    // A file ended: what its encoder got through counts towards the pace.
    void fileEnded(const EncoderProgress& file);
    // Seconds left for the whole batch at the pace of all encoders together:
    // the rest of the files under way, and filesWaiting more taken to be as
    // long as the known ones on average. Empty until a file under way has a
    // known length.
    std::optional<double> secondsLeft(const std::vector<const EncoderProgress*>& current,
                                      int filesWaiting) const;

  private:
    QElapsedTimer m_clock;
    double m_encodedBefore = 0.0;  // seconds of input encoded in the files ended so far
    double m_knownDurations = 0.0; // the lengths of those files, where known
    int m_filesWithDuration = 0;
};
