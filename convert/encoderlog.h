// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

// What the encoder's standard error tells of how a file went, read line by
// line: the line that names the cause of a failure, and the causes the
// program can say in plain words.
class EncoderLog {
  public:
    // Causes told apart by the encoder's own wording.
    enum class Cause {
        Unknown,
        OutputExists, // it would not overwrite an output already there
        PictureSize,  // the encoder cannot take the picture's width or height
        DiskFull,
        NoStream,       // the stream the command takes is not a video
        NoPictures,     // the video ends before its first picture
        SourceMissing,  // there is no file by the source's name
        UnreadableData, // the source is not a file the encoder can read
        WriteFailed,    // writing the output failed for another reason
    };

    EncoderLog(QString source, QString output)
        : m_source(std::move(source)), m_output(std::move(output)) {}

    // Takes one line of the encoder's standard error.
    void read(QStringView line);

    // The first plain cause found, and the line that told it.
    Cause cause() const { return m_cause; }
    const QString& causeLine() const { return m_causeLine; }
    // The last line that may name the cause, without the encoder's generic
    // closing words ("Conversion failed!") or the name of the part that spoke.
    const QString& lastComplaint() const { return m_lastComplaint; }
    // The encoder said the source's data ends or breaks off early.
    bool sourceDamaged() const { return m_sourceDamaged; }

  private:
    Cause causeIn(QStringView line) const;

    QString m_source;
    QString m_output;
    Cause m_cause = Cause::Unknown;
    QString m_causeLine;
    QString m_lastComplaint;
    bool m_sourceDamaged = false;
};
