// SPDX-License-Identifier: MIT
#include "convert/conversionrun.h"

#include "convert/fileconversion.h"
#include "convert/outputnaming.h"
#include "filelist/filelistmodel.h"

#include <QTimer>

#include <algorithm>

namespace {

// Where the run is, told no more often than this while an encoder works.
constexpr qint64 ProgressInterval = 250;

} // namespace

ConversionRun::ConversionRun(FileListModel& list, QString programFolder, QObject* parent)
    : QObject(parent), m_list(list), m_programFolder(std::move(programFolder)) {
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeInserted, this, &ConversionRun::listEditing);
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeRemoved, this, &ConversionRun::listEditing);
    connect(&m_list, &QAbstractItemModel::rowsAboutToBeMoved, this, &ConversionRun::listEditing);
    connect(&m_list, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &ConversionRun::listEditing);
    connect(&m_list, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { entriesInserted(first, last); });
    connect(&m_list, &QAbstractItemModel::rowsRemoved, this, &ConversionRun::entriesRemoved);
}

void ConversionRun::listEditing() {
    if (m_state != State::Converting)
        return;
    m_listEdited = true;
    // The entries begun since the last edit are the rows above the next one
    // that hold nothing else; from now on only their indexes can tell them.
    for (int row = 0; m_begunUnheld > 0 && row < m_nextRow; ++row) {
        if (!m_heldRows.contains(row)) {
            m_begunEntries.append(m_list.index(row));
            --m_begunUnheld;
        }
    }
}

void ConversionRun::entriesInserted(int first, int last) {
    if (m_state != State::Converting)
        return;
    // Not part of the batch: they wait for the next run.
    for (int row = first; row <= last; ++row)
        m_addedEntries.append(m_list.index(row));
}

void ConversionRun::entriesRemoved() {
    const auto removed = [](const QPersistentModelIndex& entry) { return !entry.isValid(); };
    m_begunEntries.removeIf(removed);
    m_addedEntries.removeIf(removed);
}

int ConversionRun::begunInList() const {
    return int(m_begunEntries.size()) + m_begunUnheld;
}

void ConversionRun::setState(State state) {
    m_state = state;
    Q_EMIT stateChanged(state);
}

void ConversionRun::start() {
    if (m_state != State::Idle)
        return;
    m_encoder = findEncoder(m_programFolder);
    // Said of every file, so worded once.
    m_encoderMissing = m_encoder.found()
                           ? QString()
                           : tr("the encoder was not found (%1)").arg(m_encoder.whereLooked());
    m_report = {};
    m_report.batch = m_list.count();
    if (m_report.batch <= 0) {
        Q_EMIT finished(m_report);
        return;
    }
    m_begunEntries.clear();
    m_addedEntries.clear();
    m_begun = 0;
    m_begunUnheld = 0;
    m_nextRow = 0;
    m_heldRows.clear();
    m_listEdited = false;
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
    m_begunEntries.clear();
    m_addedEntries.clear();
}

QModelIndex ConversionRun::takeNext() {
    if (m_listEdited) {
        m_heldRows.clear();
        for (const QList<QPersistentModelIndex>* held : {&m_begunEntries, &m_addedEntries}) {
            for (const QPersistentModelIndex& entry : *held)
                m_heldRows.insert(entry.row());
        }
        m_nextRow = 0;
        m_listEdited = false;
    }
    const int count = m_list.count();
    while (m_nextRow < count && m_heldRows.contains(m_nextRow))
        ++m_nextRow;
    if (m_nextRow >= count)
        return {};
    return m_list.index(m_nextRow++);
}

int ConversionRun::filesWaiting() const {
    return m_list.count() - begunInList() - int(m_addedEntries.size());
}

void ConversionRun::startFiles() {
    QElapsedTimer turn;
    turn.start();
    int refusals = 0;
    while (m_state == State::Converting && m_underWay.size() < Slots) {
        const QModelIndex entry = takeNext();
        if (!entry.isValid()) {
            if (m_underWay.empty())
                finish();
            return;
        }
        const QString source = m_list.textAt(entry.row() + 1);
        ++m_begun;
        ++m_begunUnheld;
        Q_EMIT progressChanged(float(double(begunInList()) / double(m_list.count()) * 100.0));
        Q_EMIT fileBegun(m_begun, source);
        if (m_state != State::Converting) // abandoned by a handler of the signal above
            return;

        const QString output = outputPathFor(source);
        QString refused = FileConversion::refusal(source, output);
        if (refused.isEmpty())
            refused = m_encoderMissing;
        if (refused.isEmpty()) {
            startFile(source, output);
            continue;
        }
        record({source, refused});
        if (++refusals >= RefusalsPerTurn || turn.nsecsElapsed() > RefusalTurnNs) {
            QTimer::singleShot(0, this, &ConversionRun::startFiles);
            return;
        }
    }
}

void ConversionRun::startFile(const QString& source, const QString& output) {
    auto* job = new FileConversion(source, output, m_encoder, this);
    connect(job, &FileConversion::finished, this,
            [this, job](const FileOutcome& outcome) { fileEnded(job, outcome); });
    connect(job, &FileConversion::progressed, this, [this] {
        if (m_sinceProgress.elapsed() >= ProgressInterval)
            reportProgress();
    });
    m_underWay.push_back({job, m_begun});
    reportProgress();
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
    progress.batchSize = m_begun + filesWaiting();
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
    m_begunEntries.clear();
    m_addedEntries.clear();
    setState(State::Idle);
    Q_EMIT progressChanged(0.0f);
    Q_EMIT finished(std::exchange(m_report, {}));
}
