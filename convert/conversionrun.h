// SPDX-License-Identifier: MIT
#pragma once

#include "convert/encodercommand.h"
#include "convert/encoderjob.h"
#include "convert/encoderprogress.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class FileListModel;
class PointerRules;

struct ConversionFailure {
    QString source;
    QString reason;
};

// Converts every entry of the batch, in order, one encoder run at a time.
//
// The run is driven by events: start() launches the first file and returns,
// and the end of each encoder launches the next. The batch is the entries in
// the list when the run begins; entry i is read when file i begins, so a
// reorder during the run changes what comes next, and the count is read again
// for each file's progress value. Entries removed or inserted at or before the
// file under way move the run's place with them, so none is skipped or done
// twice; entries added after the batch are not converted. The run keeps no
// copy of the list.
class ConversionRun : public QObject {
    Q_OBJECT
  public:
    static QString noFilesMessage() { return tr("No files added."); }
    static QString doneMessage() { return tr("Done."); }
    // Beyond this many failures the list goes to the message's details.
    static constexpr int FailuresInMessage = 3;
    // The details name this many failures at most: a longer text would only
    // hold up the window that shows it.
    static constexpr int FailuresInDetails = 1000;

    ConversionRun(FileListModel& list, PointerRules& pointer, QString programFolder,
                  QObject* parent = nullptr);

  public Q_SLOTS:
    // Begins converting the batch. Ignored while a run is under way.
    void start();
    // The program is ending: the run stops where it is, the encoder runs on,
    // and nothing more is started or shown.
    void abandon();

  Q_SIGNALS:
    void progressChanged(float value);
    void converting(int position, const QString& source);
    // What the run is doing, in a sentence: the file under way and, once the
    // encoder has told the file's length, how far it has got and the time
    // left for the batch. Sent a few times a second at most; empty at the end.
    void statusChanged(const QString& status);
    // The share of the batch done, from 0 to 1, counting the part of the file
    // under way; sent with the status.
    void batchShareChanged(double share);
    // The run is over and the pointer and the bar are back at rest.
    void finished(const QString& message, const QString& details);

  private:
    void convertNext();
    void entriesRemoved(int firstPosition, int lastPosition);
    void entriesInserted(int firstPosition, int lastPosition);
    // Empty when the file may go to the encoder, else why not.
    QString refusal(const QString& source) const;
    void encoderSaid(const QString& line);
    void showStatus();
    // Seconds left for the whole batch, from the pace so far; empty until
    // the file under way has a known length.
    std::optional<double> secondsLeft() const;
    void encoderEnded(const EncoderEnd& end);
    void recordFailure(const QString& reason);
    void finish();
    // The closing message, and the details that go with it.
    QString endMessage(QString& details) const;

    FileListModel& m_list;
    PointerRules& m_pointer;
    QString m_programFolder;
    EncoderJob m_encoder;

    // One run's state.
    EncoderLookup m_lookup;
    int m_files = 0;    // the batch's last position; moves only with edits within it
    int m_position = 0; // the file under way
    int m_attempted = 0;
    QString m_source;
    QString m_output;
    QString m_lastErrorLine;   // what the encoder under way said last
    QString m_outputErrorLine; // its first line that shows a failed write
    EncoderProgress m_fileProgress;
    QElapsedTimer m_runClock;
    QElapsedTimer m_sinceStatus;
    double m_encodedBefore = 0.0;  // seconds of input encoded in the files before this one
    double m_knownDurations = 0.0; // the lengths of those files, where known
    int m_filesWithDuration = 0;
    int m_failed = 0;
    QList<ConversionFailure> m_failures; // the first FailuresInDetails of them
    // What the output path held before the encoder ran, to tell whether the
    // encoder wrote it: an encoder may refuse to overwrite and still end with 0.
    struct FileState {
        bool exists = false;
        QDateTime modified;
        qint64 size = -1;
        static FileState of(const QString& path);
        bool operator==(const FileState&) const = default;
    };
    FileState m_outputBefore;
    bool m_running = false;
    bool m_abandoned = false;
};
