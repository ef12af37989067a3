// SPDX-License-Identifier: MIT
#include "convert/fileconversion.h"

#include "convert/outputnaming.h"
#include "convert/sourceprobe.h"
#include "convert/splitconversion.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

FileOutcome::Cause FileConversion::refusal(const QString& source, const QString& output) {
    using Cause = FileOutcome::Cause;
    if (source.isEmpty())
        return Cause::EmptyEntry;
    if (const QFileInfo info(source); info.exists()) {
        // A pipe or a device would hold the encoder forever; a folder has nothing to convert.
        if (!info.isFile())
            return Cause::NotRegularFile;
        if (!info.isReadable())
            return Cause::SourceUnreadable;
    }
    if (isSameFile(source, output))
        return Cause::OutputIsSource;
    return Cause::None;
}

FileConversion::FileConversion(QString source, QString output, QString encoder, QString probeTool,
                               int encoders, QObject* parent)
    : QObject(parent), m_paths{std::move(source), std::move(output)},
      m_encoderProgram(std::move(encoder)), m_probeTool(std::move(probeTool)) {
    connect(&m_encoder, &EncoderJob::ended, this, &FileConversion::encoderEnded);
    connect(&m_encoder, &EncoderJob::listed, this, &FileConversion::listed);
    connect(&m_encoder, &EncoderJob::progressed, this, [this] {
        m_progress.setEncoded(m_encoder.record().findings.reached);
        Q_EMIT progressed();
    });
    if (encoders > 1 && !m_probeTool.isEmpty()) {
        // Parts need the source's length before any encoder starts.
        m_encoders = encoders;
        probe();
        return;
    }
    // Most sources need no other plan: asking the probe tool first would
    // cost each of them a process start-up as long as a short file's encoder.
    m_stage = m_probeTool.isEmpty() ? Stage::Settled : Stage::Trying;
    follow(planFor({}, m_paths));
}

FileConversion::~FileConversion() = default;

const EncoderProgress& FileConversion::progress() const {
    return m_split ? m_split->progress() : m_progress;
}

int FileConversion::encoders() const {
    return m_split ? std::max(m_split->encodersRunning(), 1) : m_encoders;
}

bool FileConversion::abandon() {
    if (!m_split) {
        m_encoder.abandon();
        return true;
    }
    connect(m_split, &SplitConversion::released, this, &FileConversion::released);
    m_split->abandon();
    return false;
}

void FileConversion::interrupt() {
    m_interrupted = true;
    if (m_split) {
        connect(m_split, &SplitConversion::released, this, [this] {
            m_split->disconnect(this);
            std::exchange(m_split, nullptr)->deleteLater();
            endInterrupted();
        });
        m_split->abandon();
        return;
    }
    // A probe ends on its own within moments; the step after it ends the file.
    m_encoder.stop();
}

bool FileConversion::endInterrupted() {
    if (!m_interrupted)
        return false;
    FileOutcome outcome = FileOutcome::failure(m_paths.source, FileOutcome::Cause::Interrupted);
    outcome.output = m_paths.output;
    finish(outcome);
    return true;
}

void FileConversion::follow(const ConversionPlan& plan) {
    m_plan = plan;
    m_nextRun = 0;
    if (m_plan.runs.isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                FileOutcome outcome =
                    FileOutcome::failure(m_paths.source, FileOutcome::Cause::NoVideo);
                outcome.output = m_paths.output;
                Q_EMIT finished(outcome);
            },
            Qt::QueuedConnection);
        return;
    }
    startRun();
}

void FileConversion::startRun() {
    m_progress = EncoderProgress();
    if (m_plan.length)
        m_progress.setDuration(*m_plan.length);
    m_encoder.start(m_encoderProgram, m_plan.runs.at(m_nextRun++).arguments, m_paths, m_facts);
}

void FileConversion::listed(const SourceRecord& record) {
    const SourceFacts facts = factsOf(record);
    if (m_stage == Stage::Trying && wantsRetake(m_encoder.record(), facts, m_paths)) {
        // The listing comes before the output is opened, so this encoder
        // has written little or nothing when it stops.
        m_stage = Stage::Stopping;
        m_encoder.stop();
        return;
    }
    if (!m_facts.known)
        m_facts = facts;
    if (!m_plan.length && m_facts.length)
        m_progress.setDuration(*m_facts.length);
}

void FileConversion::retake() {
    if (!removeOwnOutput()) {
        FileOutcome outcome =
            FileOutcome::failure(m_paths.source, FileOutcome::Cause::RetakeBlocked);
        outcome.output = m_paths.output;
        Q_EMIT finished(outcome);
        return;
    }
    probe();
}

void FileConversion::probe() {
    m_stage = Stage::Probing;
    ask(probeArguments(m_paths.source), &FileConversion::probed);
}

void FileConversion::ask(const QStringList& arguments, void (FileConversion::*answered)()) {
    m_probe = new SourceProbe(m_probeTool, arguments, this);
    if (m_probe->isDone())
        (this->*answered)();
    else
        connect(m_probe, &SourceProbe::done, this, answered);
}

std::optional<QByteArray> FileConversion::takeAnswer() {
    std::optional<QByteArray> answer = m_probe->answer();
    // Called from the probe's own signal, so it goes once that is done.
    m_probe->disconnect(this);
    std::exchange(m_probe, nullptr)->deleteLater();
    return answer;
}

void FileConversion::probed() {
    const std::optional<QByteArray> answer = takeAnswer();
    if (endInterrupted())
        return;
    const std::optional<SourceRecord> record = answer ? readProbeOutput(*answer) : std::nullopt;
    m_facts = record ? factsOf(*record) : SourceFacts();
    m_stage = Stage::Settled;
    const QStorageInfo volume(QFileInfo(m_paths.output).absolutePath());
    const std::optional<qint64> freeBytes =
        volume.isValid() ? std::optional(volume.bytesAvailable()) : std::nullopt;
    // An output already there is declined by the whole run, as ever.
    if (const int parts = partsFor(m_facts, m_encoders, freeBytes);
        parts > 1 && !OutputState::of(m_paths.output).exists) {
        m_encoders = parts;
        Q_EMIT encodersChanged();
        // Where the parts seek is worth a look at the key frames there.
        QList<double> times;
        for (const qint64 start : partStarts(m_facts, parts, {}))
            times << partSeek(start, leadInFrames(m_facts).value_or(0));
        m_stage = Stage::Seeking;
        ask(keyFrameProbeArguments(m_paths.source, m_facts, times, KeyFrameWindow),
            &FileConversion::keyFramesFound);
        return;
    }
    keepOneEncoder();
    follow(planFor(m_facts, m_paths));
}

void FileConversion::keyFramesFound() {
    const std::optional<QByteArray> answer = takeAnswer();
    if (endInterrupted())
        return;
    split(partStarts(m_facts, m_encoders, answer ? readKeyFrames(*answer) : QList<double>()));
}

void FileConversion::split(const QList<qint64>& starts) {
    m_stage = Stage::Split;
    m_split = new SplitConversion(
        splitPlanFor(m_facts, m_paths, starts, SplitConversion::freeStem(m_paths.output)),
        m_encoderProgram, m_facts, m_paths, this);
    connect(m_split, &SplitConversion::progressed, this, &FileConversion::progressed);
    connect(m_split, &SplitConversion::encodersChanged, this, &FileConversion::encodersChanged);
    connect(m_split, &SplitConversion::finished, this,
            [this](SplitConversion::End end, const FileOutcome& outcome) {
                // Called from the split's own signal, so it goes once that is done.
                m_progress = m_split->progress();
                m_split->disconnect(this);
                std::exchange(m_split, nullptr)->deleteLater();
                if (end == SplitConversion::End::Done) {
                    Q_EMIT finished(outcome);
                    return;
                }
                m_stage = Stage::Settled;
                keepOneEncoder();
                follow(planFor(m_facts, m_paths));
            });
    // Frames may fall so that fewer parts than planned are left.
    Q_EMIT encodersChanged();
}

void FileConversion::keepOneEncoder() {
    if (std::exchange(m_encoders, 1) != 1)
        Q_EMIT encodersChanged();
}

void FileConversion::encoderEnded(const FileOutcome& outcome) {
    // An encoder that had ended whole before the stop reached it keeps its output.
    const bool whole =
        outcome.converted() && m_stage != Stage::Stopping && m_nextRun >= m_plan.runs.size();
    if (!whole && endInterrupted())
        return;
    // An encoder that fails on a source it cannot take may end within its
    // listing, before telling what another plan mends.
    if (m_stage == Stage::Trying)
        m_stage = wantsRetake(m_encoder.record(), {}, m_paths) ? Stage::Stopping : Stage::Settled;
    if (m_stage == Stage::Stopping) {
        retake();
        return;
    }
    if (outcome.converted() && m_nextRun < m_plan.runs.size()) {
        startRun();
        return;
    }
    finish(outcome);
}

void FileConversion::finish(FileOutcome outcome) {
    if (outcome.verdict == FileOutcome::Verdict::Failed && !removeOwnOutput())
        outcome.outputLeft = true;
    // The reason must not blame a probe tool that is there.
    if (outcome.cause == FileOutcome::Cause::FirstStreamNotVideo)
        outcome.tool = m_probeTool;
    Q_EMIT finished(outcome);
}

bool FileConversion::removeOwnOutput() const {
    return removeRunOutput(m_paths.output, m_encoder.record());
}
