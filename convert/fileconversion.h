// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionreport.h"
#include "convert/encodercommand.h"
#include "convert/encoderjob.h"
#include "convert/encoderprogress.h"

#include <QDateTime>
#include <QObject>
#include <QString>

// One file of a run: its source and output, the checks before the encoder,
// the encoder's run over it and the verdict, converted or failed with a reason.
class FileConversion : public QObject {
    Q_OBJECT
  public:
    // Why the source must not go to an encoder; empty when it may.
    static QString refusal(const QString& source, const QString& output);

    // Starts the encoder at once: the source passed refusal(), and the
    // encoder was found.
    FileConversion(QString source, QString output, EncoderLookup encoder,
                   QObject* parent = nullptr);

    const QString& source() const { return m_source; }
    const EncoderProgress& progress() const { return m_progress; }
    // The program is ending: the encoder runs on, and its end is never reported.
    void abandon() { m_encoder.abandon(); }

  Q_SIGNALS:
    // The encoder told how far it has got.
    void progressed();
    void finished(const FileOutcome& outcome);

  private:
    // What a path held, to tell whether the encoder wrote it: an encoder may
    // refuse to overwrite and still end with 0.
    struct FileState {
        bool exists = false;
        QDateTime modified;
        qint64 size = -1;
        static FileState of(const QString& path);
        bool operator==(const FileState&) const = default;
    };

    void encoderSaid(const QString& line);
    void encoderEnded(const EncoderEnd& end);
    QString failureOf(const EncoderEnd& end) const;

    const QString m_source;
    const QString m_output;
    const EncoderLookup m_lookup;
    EncoderJob m_encoder;
    FileState m_outputBefore;
    QString m_lastErrorLine;   // what the encoder said last
    QString m_outputErrorLine; // its first line that shows a failed write
    EncoderProgress m_progress;
};
