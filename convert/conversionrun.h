#pragma once

#include "convert/encodercommand.h"
#include "convert/runandwait.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class FileList;

// What the run reads of the batch: the entries by 1-based position.
class BatchEntries {
  public:
    virtual ~BatchEntries() = default;
    virtual int count() const = 0;
    virtual QString textAt(int position) const = 0;
};

// The batch list as the run reads it.
class FileListEntries final : public BatchEntries {
  public:
    explicit FileListEntries(const FileList& list) : m_list(list) {}
    int count() const override;
    QString textAt(int position) const override;

  private:
    const FileList& m_list;
};

struct ConversionFailure {
    QString source;
    QString reason;
};

// Converts every entry of the batch, in order, one encoder run at a time.
//
// The number of files is fixed when the run begins; entry i is read when
// file i begins, so a reorder during the run changes what comes next, and
// the count is read again for each file's progress value. A list that has
// become shorter than the position to convert ends the run there.
class ConversionRun : public QObject {
    Q_OBJECT
  public:
    static QString noFilesMessage() { return QStringLiteral("No files added."); }
    static QString doneMessage() { return QStringLiteral("Done."); }
    // Beyond this many failures the list goes to the message's details.
    static constexpr int FailuresInMessage = 3;

    ConversionRun(BatchEntries& entries, QString programFolder, QObject* parent = nullptr);

    // Where to look for the encoder when the program folder has none;
    // empty (the default) means the PATH variable.
    void setSearchPaths(const QStringList& paths) { m_searchPaths = paths; }

    bool running() const { return m_running; }
    // The share of the batch done once the current file is done, in percent.
    float progressValue() const { return m_progress; }

    // The closing message for a run over the given number of files.
    static QString endMessage(int files, const QList<ConversionFailure>& failures,
                              QString* details);

  public Q_SLOTS:
    // Runs the whole batch and returns when it has ended. Ignored while a run
    // is already under way.
    void start();
    // The program is ending: the run stops where it is, the encoder runs on,
    // and nothing more is started or shown.
    void abandon();

  Q_SIGNALS:
    void busyChanged(bool busy); // true at the start of every file, false at the end
    void progressChanged(float value);
    void converting(int position, const QString& source);
    // The run is over; the message is shown before the run counts as ended.
    void finished(const QString& message, const QString& details);

  private:
    // Empty when the source was converted, else why not.
    QString convert(const QString& source, const EncoderLookup& encoder);
    void setProgress(float value);

    BatchEntries& m_entries;
    QString m_programFolder;
    QStringList m_searchPaths;
    ProcessWaiter m_waiter;
    float m_progress = 0.0f;
    bool m_running = false;
    bool m_abandoned = false;
};
