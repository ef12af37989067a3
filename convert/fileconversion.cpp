// SPDX-License-Identifier: MIT
#include "convert/fileconversion.h"

#include "convert/outputnaming.h"
#include "convert/sourceprobe.h"

#include <QFile>
#include <QFileInfo>

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
                               QObject* parent)
    : QObject(parent), m_paths{std::move(source), std::move(output)},
      m_encoderProgram(std::move(encoder)), m_probeTool(std::move(probeTool)),
      m_reader(m_paths.source, m_paths.output) {
    // Queued, so that a row of encoders that all fail at once never nests.
    connect(&m_encoder, &EncoderJob::ended, this, &FileConversion::encoderEnded,
            Qt::QueuedConnection);
    connect(&m_encoder, &EncoderJob::errorLine, this, &FileConversion::encoderSaid);
    // Most sources need no other plan: asking the probe tool first would
    // cost each of them a process start-up as long as a short file's encoder.
    m_stage = m_probeTool.isEmpty() ? Stage::Settled : Stage::Trying;
    follow(planFor({}, m_paths));
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
    m_reader = EncoderOutputReader(m_paths.source, m_paths.output);
    m_run = {};
    m_run.encoder = m_encoderProgram;
    m_run.before = OutputState::of(m_paths.output);
    m_progress = EncoderProgress();
    if (m_plan.length)
        m_progress.setDuration(*m_plan.length);
    m_encoder.start(m_encoderProgram, m_plan.runs.at(m_nextRun++).arguments);
}

void FileConversion::encoderSaid(const QString& line) {
    take(m_reader.read(line));
    Q_EMIT progressed();
}

void FileConversion::take(const QList<EncoderEvent>& events) {
    for (const EncoderEvent& event : events) {
        m_run.findings.take(event);
        if (event.kind == EncoderEvent::Kind::Reached)
            m_progress.setEncoded(event.seconds);
        else if (event.kind == EncoderEvent::Kind::Listed)
            listed(event.record);
    }
}

void FileConversion::listed(const SourceRecord& record) {
    const SourceFacts facts = factsOf(record);
    if (m_stage == Stage::Trying && !m_run.before.exists &&
        planFor(facts, m_paths).runs != m_plan.runs) {
        // The listing comes before the output is opened, so this encoder
        // has written little or nothing when it stops. An output that was
        // there already is declined whatever the plan, as this encoder's end
        // will tell.
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
    m_stage = Stage::Probing;
    m_probe = new SourceProbe(m_probeTool, m_paths.source, this);
    if (m_probe->isDone())
        probed();
    else
        connect(m_probe, &SourceProbe::done, this, &FileConversion::probed);
}

void FileConversion::probed() {
    m_facts = m_probe->facts();
    // Called from the probe's own signal, so it goes once that is done.
    m_probe->disconnect(this);
    std::exchange(m_probe, nullptr)->deleteLater();
    m_stage = Stage::Settled;
    follow(planFor(m_facts, m_paths));
}

void FileConversion::encoderEnded(const EncoderEnd& end) {
    take(m_reader.end());
    m_run.end = end;
    m_run.after = OutputState::of(m_paths.output);
    // An encoder that fails on a source it cannot take may end within its
    // listing. One whose listing did not tell what another plan mends is
    // given the plan the probe tool's facts call for.
    if (m_stage == Stage::Trying) {
        const FileOutcome::Cause told = m_run.findings.cause;
        m_stage = (told == FileOutcome::Cause::FirstStreamNotVideo ||
                   told == FileOutcome::Cause::PictureSize) &&
                          !m_run.before.exists
                      ? Stage::Stopping
                      : Stage::Settled;
    }
    if (m_stage == Stage::Stopping) {
        retake();
        return;
    }
    FileOutcome outcome = verdictOf(m_paths.source, m_paths.output, m_facts, m_run);
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
    // Only a file the last encoder made: it ran, none was there when it
    // started, and it did not decline one that appeared meanwhile. The
    // encoder never overwrites, so what it did not decline is its own.
    const QFileInfo output(m_paths.output);
    if (m_run.end.kind == EncoderEnd::Kind::FailedToStart || m_run.before.exists ||
        m_run.findings.cause == FileOutcome::Cause::OutputExists || output.isSymLink() ||
        !output.isFile())
        return true;
    return QFile::remove(m_paths.output);
}
