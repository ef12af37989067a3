// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionreport.h"
#include "convert/encodercommand.h"
#include "convert/encoderjob.h"
#include "convert/encoderlog.h"
#include "convert/encoderprogress.h"
#include "convert/sourcefacts.h"
#include "convert/sourcelisting.h"

#include <QDateTime>
#include <QObject>
#include <QString>

class SourceProbe;

// One file of a run: its source and output, the checks before the encoder,
// what the source holds, the encoder's run over it and the verdict.
//
// The output's final name only ever holds a whole conversion: when the
// encoder fails, the file it made there is removed. A file that was there
// before is never touched.
class FileConversion : public QObject {
    Q_OBJECT
  public:
    // Why the source must not go to an encoder; empty when it may.
    static QString refusal(const QString& source, const QString& output);

    // Begins at once: the source passed refusal(), and the encoder was found.
    // The encoder starts with the command that needs no facts. Given a probe
    // tool, the encoder's listing of the source is read: a source that needs
    // another command has that encoder stopped before it writes a frame, is
    // read by the probe tool, and is converted with the command its facts
    // call for.
    FileConversion(QString source, QString output, EncoderLookup encoder, QString probeTool,
                   QObject* parent = nullptr);

    const QString& source() const { return m_source; }
    const QString& output() const { return m_output; }
    const EncoderProgress& progress() const { return m_progress; }
    // The program is ending: the encoder runs on, and its end is never reported.
    void abandon() { m_encoder.abandon(); }

  Q_SIGNALS:
    // The encoder told how far it has got.
    void progressed();
    void finished(const FileOutcome& outcome);

  private:
    enum class Stage {
        Trying,   // the command that needs no facts runs; its listing is not read through
        Stopping, // the source needs another command, and the first encoder is ending
        Probing,  // the probe tool reads the source
        Settled,  // the encoder runs the command for this source
    };

    // What a path held, to tell whether the encoder wrote it: an encoder may
    // refuse to overwrite and still end with 0.
    struct FileState {
        bool exists = false;
        QDateTime modified;
        qint64 size = -1;
        static FileState of(const QString& path);
        bool operator==(const FileState&) const = default;
    };

    void startEncoder(const SourceFacts& facts);
    // The encoder's listing of the source is through, or the encoder ended.
    void listingRead();
    // The stopped encoder has ended: what it began goes, and the probe tool
    // reads the source.
    void retake();
    void probed();
    void encoderSaid(const QString& line);
    void encoderEnded(const EncoderEnd& end);
    FileOutcome outcomeOf(const EncoderEnd& end) const;
    QString failureOf(const EncoderEnd& end) const;
    QString plainCause() const;
    // Removes what this file's encoder left under the output's name; false
    // when that cannot be done.
    bool removeOwnOutput() const;
    // The reason, with a word when the output cannot be removed.
    QString removeFailedOutput(QString reason) const;

    const QString m_source;
    const QString m_output;
    const EncoderLookup m_lookup;
    const QString m_probeTool;
    Stage m_stage = Stage::Settled;
    SourceListing m_listing;
    SourceProbe* m_probe = nullptr; // a child of this object until it is done
    SourceFacts m_facts;
    EncoderJob m_encoder;
    FileState m_outputBefore;
    QDateTime m_encoderStarted;
    EncoderLog m_log;
    EncoderProgress m_progress;
};
