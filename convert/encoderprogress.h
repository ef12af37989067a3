// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QStringView>

#include <optional>
#include <vector>

// How far the encoder has got with one file, from what it writes to its
// standard error: the input's length in "Duration: 00:01:02.50, ...", and the
// point reached in the "time=00:00:31.20" of its progress lines.
class EncoderProgress {
  public:
    // Takes one line of the encoder's standard error.
    void read(QStringView line);
    // The length of what the encoder will write, known before it starts: it
    // wins over the container's, which may count from before the video starts.
    void setDuration(double seconds) {
        m_duration = seconds;
        m_durationRead = true;
    }

    // The input's length in seconds; empty when the encoder knows none.
    std::optional<double> duration() const { return m_duration; }
    // Seconds of the input encoded so far.
    double encoded() const { return m_encoded; }
    // The share of the file done, from 0 to 1; empty without a length.
    std::optional<double> share() const;

  private:
    std::optional<double> m_duration;
    bool m_durationRead = false; // only the input's, the first, counts
    double m_encoded = 0.0;
};

// "HH:MM:SS.xx" in seconds, with hours of any length; empty for anything else.
std::optional<double> clockSeconds(QStringView text);

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
