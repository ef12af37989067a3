// SPDX-License-Identifier: MIT
#include "convert/conversionrun.h"

#include "convert/fileconversion.h"
#include "convert/outputnaming.h"
#include "filelist/filelistmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

// Where the run is, told no more often than this while an encoder works.
constexpr qint64 ProgressInterval = 250;

} // namespace

ConversionRun::ConversionRun(FileListModel& list, QString programFolder, QObject* parent)
    : QObject(parent), m_list(list), m_programFolder(std::move(programFolder)),
      m_processors(std::max(QThread::idealThreadCount(), 1)), m_batch(list) {}

void ConversionRun::setState(State state) {
    m_state = state;
    Q_EMIT stateChanged(state);
}

void ConversionRun::start() {
    if (m_state != State::Idle)
        return;
    m_encoder = findTool(m_programFolder, encoderFileName());
    m_probeTool = findTool(m_programFolder, probeFileName());
    m_report = {};
    m_report.batch = m_list.count();
    if (m_report.batch <= 0) {
        Q_EMIT finished(m_report);
        return;
    }
    m_batch.begin();
    m_pace.start();
    setState(State::Converting);
    startFiles();
}

void ConversionRun::abandon() {
    setState(State::Abandoned);
    // A job may be inside one of its signals: it goes once that is done.
    for (const UnderWay& file : std::exchange(m_underWay, {})) {
        FileConversion* job = file.job;
        job->disconnect(this);
        if (job->abandon()) {
            job->deleteLater();
            continue;
        }
        ++m_releasing;
        connect(job, &FileConversion::released, this, [this, job] {
            job->deleteLater();
            if (m_releasing > 0 && --m_releasing == 0)
                Q_EMIT letGo();
        });
    }
    m_batch.end();
    if (m_releasing == 0) {
        Q_EMIT letGo();
        return;
    }
    QTimer::singleShot(LetGoMs, this, [this] {
        if (std::exchange(m_releasing, 0) > 0)
            Q_EMIT letGo();
    });
}

void ConversionRun::interrupt() {
    if (m_state != State::Converting)
        return;
    setState(State::Interrupting);
    // A file whose parts all wait ends at once, and leaves the list under way.
    std::vector<FileConversion*> files;
    for (const UnderWay& file : m_underWay)
        files.push_back(file.job);
    for (FileConversion* file : files)
        file->interrupt();
    if (m_state == State::Interrupting && m_underWay.empty())
        finish();
}

void ConversionRun::startFiles() {
    QElapsedTimer turn;
    turn.start();
    int refusals = 0;
    while (m_state == State::Converting && encodersBusy() < m_encoders) {
        if (FileConversion* file = fileWithWaitingRun()) {
            file->startWaitingRun();
            continue;
        }
        const QModelIndex entry = m_batch.takeNext();
        if (!entry.isValid()) {
            if (m_underWay.empty())
                finish();
            return;
        }
        const QString source = m_list.textAt(entry);
        Q_EMIT progressChanged(
            float(double(m_batch.begunInList()) / double(m_list.count()) * 100.0));
        Q_EMIT fileBegun(m_batch.begun(), source);
        if (m_state != State::Converting) // abandoned by a handler of the signal above
            return;

        const QString output = outputPathFor(source);
        const FileOutcome refused = refusal(source, output);
        if (refused.converted()) {
            startFile(entry, source, output);
            continue;
        }
        record(refused);
        if (++refusals >= RefusalsPerTurn || turn.nsecsElapsed() > RefusalTurnNs) {
            QTimer::singleShot(0, this, &ConversionRun::startFiles);
            return;
        }
    }
}

FileConversion* ConversionRun::fileWithWaitingRun() const {
    FileConversion* first = nullptr;
    int firstRow = 0;
    for (const UnderWay& file : m_underWay) {
        // An entry removed from the list has no place in it: its parts go last.
        const int row = file.entry.isValid() ? file.entry.row() : m_list.count();
        if (file.job->hasWaitingRun() && (!first || row < firstRow)) {
            first = file.job;
            firstRow = row;
        }
    }
    return first;
}

int ConversionRun::encodersBusy() const {
    int busy = 0;
    for (const UnderWay& file : m_underWay)
        busy += file.job->encoders();
    return busy;
}

CutRoom ConversionRun::cutRoom(const QString& output) const {
    const QStorageInfo volume(QFileInfo(output).absolutePath());
    return {m_encoders, m_processors, m_wholeShare,
            volume.isValid() ? std::optional(volume.bytesAvailable()) : std::nullopt};
}

void ConversionRun::startFile(const QModelIndex& entry, const QString& source,
                              const QString& output) {
    // A file that begins while fewer files wait than other encoders work
    // leaves encoders idle unless it is cut: its facts come first.
    const bool probeFirst = m_encoders > 1 && m_batch.waiting() < m_encoders - 1;
    auto* job = new FileConversion(
        {source, output},
        {m_encoder.program, m_probeTool.found() ? m_probeTool.program : QString()}, m_encoders,
        probeFirst,
        [this, output](const SourceFacts& facts) { return partsFor(facts, cutRoom(output)); },
        this);
    // Encoders a file no longer needs, and parts it offers, go to the files waiting.
    connect(job, &FileConversion::encodersChanged, this, &ConversionRun::startFiles,
            Qt::QueuedConnection);
    connect(job, &FileConversion::finished, this,
            [this, job](const FileOutcome& outcome) { fileEnded(job, outcome); });
    connect(job, &FileConversion::progressed, this, [this] {
        if (m_sinceProgress.elapsed() >= ProgressInterval) {
            measureShare();
            reportProgress();
        }
    });
    m_underWay.push_back({job, entry, m_batch.begun(), {}});
    m_underWay.back().clock.start();
    job->begin();
    reportProgress();
}

void ConversionRun::measureShare() {
    if (m_underWay.size() != 1 || m_underWay.front().job->encoders() != 1)
        return;
    if (const std::optional<double> share = m_underWay.front().job->wholeShare())
        m_wholeShare = share;
}

FileOutcome ConversionRun::refusal(const QString& source, const QString& output) const {
    FileOutcome outcome = FileOutcome::success(source);
    outcome.output = output;
    outcome.cause = FileConversion::refusal(source, output);
    if (outcome.cause == FileOutcome::Cause::None && !m_encoder.found()) {
        outcome.cause = FileOutcome::Cause::EncoderMissing;
        outcome.tool = m_encoder.folderFile;
        outcome.toolName = m_encoder.fileName;
    }
    // Two encoders writing one file would spoil both; the second is told, as
    // one after the other would be, that the output is there already.
    if (outcome.cause == FileOutcome::Cause::None && outputTaken(output))
        outcome.cause = FileOutcome::Cause::OutputExists;
    if (outcome.cause != FileOutcome::Cause::None)
        outcome.verdict = FileOutcome::Verdict::Failed;
    return outcome;
}

bool ConversionRun::outputTaken(const QString& output) const {
    const QString cleaned = QDir::cleanPath(output);
    return std::any_of(m_underWay.begin(), m_underWay.end(), [&](const UnderWay& file) {
        return QDir::cleanPath(file.job->output()) == cleaned ||
               isSameFile(file.job->output(), output);
    });
}

void ConversionRun::fileEnded(FileConversion* job, const FileOutcome& outcome) {
    const auto ended = std::find_if(m_underWay.begin(), m_underWay.end(),
                                    [job](const UnderWay& file) { return file.job == job; });
    if (ended == m_underWay.end())
        return;
    m_pace.fileEnded(job->progress());
    FileOutcome timed = outcome;
    timed.seconds = double(ended->clock.elapsed()) / 1000.0;
    // The job is inside its own signal: it goes once that is done.
    job->deleteLater();
    m_underWay.erase(ended);
    record(timed);
    if (m_state == State::Interrupting && m_underWay.empty())
        finish();
    startFiles();
}

void ConversionRun::record(const FileOutcome& outcome) {
    ++m_report.attempted;
    if (!outcome.converted()) {
        ++(outcome.verdict == FileOutcome::Verdict::Partial ? m_report.partial : m_report.failed);
        if (m_report.failures.size() < ConversionReport::FailuresKept)
            m_report.failures.append(outcome);
    }
    Q_EMIT fileFinished(outcome);
}

void ConversionRun::reportProgress() {
    m_sinceProgress.start();
    if (m_underWay.empty())
        return;
    RunProgress progress;
    progress.batchSize = m_batch.begun() + m_batch.waiting();
    std::vector<const EncoderProgress*> encoders;
    double done = double(m_batch.begun()) - double(m_underWay.size());
    for (const UnderWay& file : m_underWay) {
        const EncoderProgress& encoder = file.job->progress();
        progress.files.append({file.number, file.job->source(), encoder.share()});
        encoders.push_back(&encoder);
        done += encoder.share().value_or(0.0);
    }
    progress.secondsLeft = m_pace.secondsLeft(encoders, m_batch.waiting());
    progress.batchShare = std::clamp(done / double(progress.batchSize), 0.0, 1.0);
    Q_EMIT progressed(progress);
}

void ConversionRun::finish() {
    m_batch.end();
    setState(State::Idle);
    Q_EMIT progressChanged(0.0f);
    Q_EMIT finished(std::exchange(m_report, {}));
}
