// SPDX-License-Identifier: MIT
#pragma once

#include <QStringView>

#include <optional>

// How far the encoder has got with one file, from what it writes to its
// standard error: the input's length in "Duration: 00:01:02.50, ...", and the
// point reached in the "time=00:00:31.20" of its progress lines.
class EncoderProgress {
  public:
    // Takes one line of the encoder's standard error.
    void read(QStringView line);

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
