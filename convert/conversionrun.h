// SPDX-License-Identifier: MIT
#pragma once

#include "convert/conversionplan.h"
#include "convert/conversionreport.h"
#include "convert/encodercommand.h"
#include "convert/encoderprogress.h"
#include "filelist/batchqueue.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>

#include <algorithm>
#include <optional>
#include <vector>

class FileConversion;
class FileListModel;

// Converts the batch: the entries in the list when the run starts, each at
// most once, and exactly once unless it is removed before its turn. The batch
// queue decides which file is next; two entries with the same text are two files.
//
// The run is driven by events: start() launches the first file and returns,
// and the end of each file launches the next.
//
// The run reports data: the bar's value, each file's outcome, where the run
// is, and at the end a report. It is idle again before the report goes out.
class ConversionRun : public QObject {
    Q_OBJECT
  public:
    enum class State {
        Idle,
        Converting,
        Interrupting, // every file under way is being stopped; nothing more starts
        Abandoned,    // the program is ending; nothing more starts
    };
    Q_ENUM(State)

    ConversionRun(FileListModel& list, QString programFolder, QObject* parent = nullptr);

    State state() const { return m_state; }
    // How many encoders work at once, from 1; the next run starts with them.
    // With more than one, a long source may be cut into parts where this
    // machine gains by it (partsFor), and an encoder that comes free takes
    // the next waiting part of the first file in the list that has one,
    // before it takes a file not begun.
    void setEncoders(int count) { m_encoders = std::max(count, 1); }

  public Q_SLOTS:
    // Begins converting the batch. Ignored unless idle.
    void start();
    // The program is ending: the run stops where it is, and nothing more is
    // started or reported. The encoders of whole files run on; those of a
    // file's parts are stopped and the parts removed, and letGo() follows.
    void abandon();
    // Stops the run at once: every encoder is stopped, what the files under
    // way began is removed, and they are reported as interrupted; the entries
    // not begun are left. finished() follows as usual.
    void interrupt();

  Q_SIGNALS:
    void stateChanged(ConversionRun::State state);
    // The bar's value: at each file's start the files begun, that one
    // included, over the entries in the list, times 100; 0 at the end.
    // Begun files whose entries were removed count on neither side.
    void progressChanged(float value);
    // A file of the batch begins; number counts the files begun so far.
    void fileBegun(int number, const QString& source);
    // Where the run is; sent a few times a second at most while an encoder works.
    void progressed(const RunProgress& progress);
    void fileFinished(const FileOutcome& outcome);
    // The run is over: sent once it is idle again, after the bar went to 0.
    void finished(const ConversionReport& report);
    // After abandon(): nothing of the run is left to remove. Sent at once
    // when no parts were under way, and within LetGoMs in any case.
    void letGo();

  private:
    // Files that fail before any encoder starts are checked back to back, but
    // never more of them nor for longer than this; then the window gets its turn.
    static constexpr int RefusalsPerTurn = 100;
    static constexpr qint64 RefusalTurnNs = 20'000'000;
    // Stopped encoders end at once; one stuck in a dead network mount must
    // not hold the program's end.
    static constexpr int LetGoMs = 2000;

    struct UnderWay {
        FileConversion* job = nullptr; // a child of the run
        QPersistentModelIndex entry;   // invalid once removed from the list
        int number = 0;
        QElapsedTimer clock;
    };

    void setState(State state);
    // Starts waiting parts, then files, while an encoder is free, until the batch is done.
    void startFiles();
    // The first file in the list's order with a part waiting for an encoder.
    FileConversion* fileWithWaitingRun() const;
    void startFile(const QModelIndex& entry, const QString& source, const QString& output);
    // What the machine shows to a cut beside the output.
    CutRoom cutRoom(const QString& output) const;
    // A lone whole encoder tells how many processors one keeps busy.
    void measureShare();
    // The encoders the files under way keep busy.
    int encodersBusy() const;
    // Whether an encoder of this run already writes the output.
    bool outputTaken(const QString& output) const;
    // The outcome of a file that fails before any encoder starts; converted when none does.
    FileOutcome refusal(const QString& source, const QString& output) const;
    void fileEnded(FileConversion* job, const FileOutcome& outcome);
    void record(const FileOutcome& outcome);
    void reportProgress();
    void finish();

    FileListModel& m_list;
    const QString m_programFolder;
    State m_state = State::Idle;
    int m_encoders = 1;
    const int m_processors;
    std::optional<double> m_wholeShare; // kept from run to run: it is the machine's
    int m_releasing = 0;                // abandoned files whose parts are still being removed

    // One run's state.
    ToolLookup m_encoder;
    ToolLookup m_probeTool; // not found: every file gets the command that needs no facts
    BatchQueue m_batch;
    std::vector<UnderWay> m_underWay;
    ConversionReport m_report;
    RunPace m_pace;
    QElapsedTimer m_sinceProgress;
};
