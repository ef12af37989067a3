// SPDX-License-Identifier: MIT
#include "convert/conversionrun.h"

#include "convert/fileconversion.h"
#include "filelist/filelistmodel.h"

#include <QTimer>

#include <algorithm>

namespace {

// Where the run is, told no more often than this while an encoder works.
constexpr qint64 ProgressInterval = 250;

} // namespace

ConversionRun::ConversionRun(FileListModel& list, QString programFolder, QObject* parent)
    : QObject(parent), m_list(list), m_programFolder(std::move(programFolder)) {
    // Insertions and removals keep the order of the entries that remain;
    // only a move can change which of the waiting ones comes first.
    const auto reordered = [this] { m_waitingOutOfOrder = true; };
    connect(&m_list, &QAbstractItemModel::rowsMoved, this, reordered);
    connect(&m_list, &QAbstractItemModel::layoutChanged, this, reordered);
    connect(&m_list, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_begunRemoved += int(m_begunEntries.removeIf(
            [](const QPersistentModelIndex& entry) { return !entry.isValid(); }));
    });
}

void ConversionRun::setState(State state) {
    m_state = state;
    Q_EMIT stateChanged(state);
}

void ConversionRun::start() {
    if (m_state != State::Idle)
        return;
    m_encoder = findEncoder(m_programFolder);
    m_report = {};
    m_report.batch = m_list.count();
    if (m_report.batch <= 0) {
        Q_EMIT finished(m_report);
        return;
    }
    m_waiting.clear();
    m_waiting.reserve(m_report.batch);
    for (int row = 0; row < m_report.batch; ++row)
        m_waiting.append(m_list.index(row));
    m_waitingOutOfOrder = false;
    m_begun = 0;
    m_begunEntries.clear();
    m_begunRemoved = 0;
    m_encodedBefore = 0.0;
    m_knownDurations = 0.0;
    m_filesWithDuration = 0;
    m_runClock.start();
    setState(State::Converting);
    startFiles();
}

void ConversionRun::abandon() {
    setState(State::Abandoned);
    // Each job lets go of its encoder, which runs on to its own end. A job
    // may be inside one of its signals: it goes once that is done.
    for (const UnderWay& file : std::exchange(m_underWay, {})) {
        file.job->abandon();
        file.job->deleteLater();
    }
    m_waiting.clear();
    m_begunEntries.clear();
}

QPersistentModelIndex ConversionRun::takeNext() {
    if (m_waitingOutOfOrder) {
        m_waiting.removeIf([](const QPersistentModelIndex& entry) { return !entry.isValid(); });
        std::stable_sort(m_waiting.begin(), m_waiting.end(),
                         [](const QPersistentModelIndex& a, const QPersistentModelIndex& b) {
                             return a.row() < b.row();
                         });
        m_waitingOutOfOrder = false;
    }
    while (!m_waiting.isEmpty()) {
        // Removed entries are invalid: they are no longer part of the batch.
        if (QPersistentModelIndex entry = m_waiting.takeFirst(); entry.isValid())
            return entry;
    }
    return {};
}

qsizetype ConversionRun::filesWaiting() const {
    return std::count_if(m_waiting.cbegin(), m_waiting.cend(),
                         [](const QPersistentModelIndex& entry) { return entry.isValid(); });
}

void ConversionRun::startFiles() {
    QElapsedTimer turn;
    turn.start();
    int refusals = 0;
    while (m_state == State::Converting && m_underWay.size() < Slots) {
        const QPersistentModelIndex entry = takeNext();
        if (!entry.isValid()) {
            if (m_underWay.empty())
                finish();
            return;
        }
        ++m_begun;
        m_begunEntries.append(entry);
        Q_EMIT progressChanged(
            float(double(m_begun - m_begunRemoved) / double(m_list.count()) * 100.0));
        const QString source = m_list.textAt(entry.row() + 1);
        Q_EMIT fileBegun(m_begun, source);
        if (m_state != State::Converting) // abandoned by a handler of the signal above
            return;

        auto* job = new FileConversion(source, m_encoder, this);
        if (job->start()) {
            connect(job, &FileConversion::finished, this,
                    [this, job](const FileOutcome& outcome) { fileEnded(job, outcome); });
            connect(job, &FileConversion::progressed, this, [this] {
                if (m_sinceProgress.elapsed() >= ProgressInterval)
                    reportProgress();
            });
            m_underWay.push_back({job, m_begun});
            reportProgress();
            continue;
        }
        record(job->outcome());
        delete job;
        if (++refusals >= RefusalsPerTurn || turn.nsecsElapsed() > RefusalTurnNs) {
            QTimer::singleShot(0, this, &ConversionRun::startFiles);
            return;
        }
    }
}

void ConversionRun::fileEnded(FileConversion* job, const FileOutcome& outcome) {
    const auto ended = std::find_if(m_underWay.begin(), m_underWay.end(),
                                    [job](const UnderWay& file) { return file.job == job; });
    if (ended == m_underWay.end())
        return;
    m_encodedBefore += job->progress().encoded();
    if (const std::optional<double> duration = job->progress().duration()) {
        m_knownDurations += *duration;
        ++m_filesWithDuration;
    }
    // The job is inside its own signal: it goes once that is done.
    job->deleteLater();
    m_underWay.erase(ended);
    record(outcome);
    startFiles();
}

void ConversionRun::record(const FileOutcome& outcome) {
    ++m_report.attempted;
    if (!outcome.converted()) {
        ++m_report.failed;
        if (m_report.failures.size() < ConversionReport::FailuresKept)
            m_report.failures.append(outcome);
    }
    Q_EMIT fileFinished(outcome);
}

void ConversionRun::reportProgress() {
    m_sinceProgress.start();
    if (m_underWay.empty())
        return;
    const UnderWay& file = m_underWay.front();
    RunProgress progress;
    progress.number = file.number;
    progress.batchSize = m_begun + int(filesWaiting());
    progress.source = file.job->source();
    progress.fileShare = file.job->progress().share();
    progress.secondsLeft = secondsLeft(file);
    double done = double(m_begun) - double(m_underWay.size());
    for (const UnderWay& underWay : m_underWay)
        done += underWay.job->progress().share().value_or(0.0);
    progress.batchShare = std::clamp(done / double(progress.batchSize), 0.0, 1.0);
    Q_EMIT progressed(progress);
}

std::optional<double> ConversionRun::secondsLeft(const UnderWay& file) const {
    const EncoderProgress& current = file.job->progress();
    const std::optional<double> duration = current.duration();
    const double encoded = m_encodedBefore + current.encoded();
    const double wallSeconds = double(m_runClock.elapsed()) / 1000.0;
    if (!duration || encoded <= 0.0 || wallSeconds <= 0.0)
        return std::nullopt;
    // Files yet to start are taken to be as long as the known ones on average.
    const double averageLength = (m_knownDurations + *duration) / double(m_filesWithDuration + 1);
    const double inputLeft = *duration - current.encoded() + averageLength * double(filesWaiting());
    return std::max(inputLeft, 0.0) / (encoded / wallSeconds);
}

void ConversionRun::finish() {
    m_waiting.clear();
    m_begunEntries.clear();
    setState(State::Idle);
    Q_EMIT progressChanged(0.0f);
    Q_EMIT finished(std::exchange(m_report, {}));
}
