// SPDX-License-Identifier: MIT
#include "convert/splitconversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

namespace {

using Cause = FileOutcome::Cause;

// A part's own length is its frames; only the whole source states one.
SourceFacts withoutLength(SourceFacts facts) {
    facts.length.reset();
    return facts;
}

} // namespace

QString SplitConversion::freeStem(const QString& output) {
    const QDir folder = QFileInfo(output).dir();
    for (;;) {
        const QString stem = folder.filePath(
            QStringLiteral(".quorvane-%1")
                .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
        // A name of 64 random bits is all but never taken; should it be, the
        // encoder declines to overwrite it and the list is made new.
        if (!QFileInfo::exists(stem + QStringLiteral(".wmv")) &&
            !QFileInfo::exists(stem + QStringLiteral(".ffconcat")) &&
            !QFileInfo::exists(stem + QStringLiteral(".part1.mkv")))
            return stem;
    }
}

SplitConversion::SplitConversion(SplitPlan plan, const QString& encoder, const SourceFacts& facts,
                                 const PlanOptions& paths, QObject* parent)
    : QObject(parent), m_plan(std::move(plan)), m_encoder(encoder), m_facts(facts), m_paths(paths) {
    if (m_facts.length)
        m_progress.setDuration(*m_facts.length);
    for (const SplitPlan::Part& part : m_plan.parts) {
        m_parts.push_back(std::make_unique<Run>());
        start(*m_parts.back(), {m_paths.source, part.file}, part.run.arguments,
              withoutLength(m_facts));
    }
}

SplitConversion::~SplitConversion() {
    if (m_stage == Stage::Over)
        return;
    // Gone before its encoders were seen to end: they are stopped, and what
    // they wrote goes now.
    stopRuns();
    removeFiles();
}

std::vector<SplitConversion::Run*> SplitConversion::runs() const {
    std::vector<Run*> all;
    for (const std::unique_ptr<Run>& part : m_parts)
        all.push_back(part.get());
    if (m_join)
        all.push_back(m_join.get());
    return all;
}

int SplitConversion::encodersRunning() const {
    const std::vector<Run*> all = runs();
    return int(std::count_if(all.begin(), all.end(), [](const Run* run) { return run->running; }));
}

void SplitConversion::stopRuns() {
    for (Run* run : runs()) {
        if (run->running)
            run->job.stop();
    }
}

void SplitConversion::start(Run& run, const PlanOptions& paths, const QStringList& arguments,
                            const SourceFacts& facts) {
    if (&run != m_join.get()) {
        connect(&run.job, &EncoderJob::progressed, this, [this] {
            // A part's lead is the next part's too: counted once, by the part before.
            double encoded = 0.0;
            for (qsizetype i = 0; i < m_plan.parts.size(); ++i)
                encoded += std::max(0.0, m_parts[std::size_t(i)]->job.record().findings.reached -
                                             double(m_plan.parts[i].lead) / OutputFrameRate);
            m_progress.setEncoded(encoded);
            Q_EMIT progressed();
        });
    }
    connect(&run.job, &EncoderJob::ended, this, [this, &run](const FileOutcome& outcome) {
        run.verdict = outcome;
        run.verdict.output = m_paths.output;
        run.running = false;
        Q_EMIT encodersChanged();
        runEnded(run);
    });
    run.running = true;
    run.job.start(m_encoder, arguments, paths, facts);
}

void SplitConversion::runEnded(const Run& run) {
    if (m_stage == Stage::Joining) {
        joinEnded();
        return;
    }
    // A part that wrote nothing begins past the source's real end: the
    // frames will not add up, and the whole run tells how far it goes.
    if (m_stage == Stage::Parts) {
        if (!run.verdict.converted() && run.verdict.cause != Cause::NoOutputWritten) {
            m_failure = run.verdict;
            m_stage = Stage::Stopping;
            stopRuns();
        }
    }
    if (encodersRunning() > 0)
        return;
    if (m_stage == Stage::Parts) {
        partsEnded();
        return;
    }
    removeFiles();
    if (m_abandoned) {
        m_stage = Stage::Over;
        Q_EMIT released();
        return;
    }
    end(End::Done, m_failure);
}

QList<int> SplitConversion::partFrames() const {
    QList<int> frames;
    for (const std::unique_ptr<Run>& part : m_parts)
        frames << part->job.record().findings.frames;
    return frames;
}

void SplitConversion::partsEnded() {
    // A part that failed has stopped the others, and the file with it.
    if (!partsExact(m_plan, partFrames())) {
        removeFiles();
        end(End::Inexact, {});
        return;
    }
    QFile list(m_plan.listFile);
    m_listWritten = list.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    if (!m_listWritten || list.write(m_plan.list) != m_plan.list.size() || !list.flush()) {
        FileOutcome outcome = FileOutcome::failure(m_paths.source, Cause::WriteFailed);
        outcome.output = m_paths.output;
        outcome.detail = list.errorString();
        list.close();
        removeFiles();
        end(End::Done, outcome);
        return;
    }
    list.close();
    m_stage = Stage::Joining;
    // The join reads the list; a complaint that names it is about the parts.
    m_join = std::make_unique<Run>();
    start(*m_join, {m_plan.listFile, m_plan.joined}, m_plan.join.arguments, m_facts);
    Q_EMIT encodersChanged();
}

void SplitConversion::joinEnded() {
    FileOutcome outcome = m_join->verdict;
    if (outcome.verdict != FileOutcome::Verdict::Failed &&
        m_join->job.record().findings.frames != joinedFrames(m_plan, partFrames())) {
        removeFiles();
        end(End::Inexact, {});
        return;
    }
    if (outcome.verdict != FileOutcome::Verdict::Failed) {
        // Never over a file that came meanwhile, a link to nowhere included:
        // the rename would write through it.
        if (OutputState::of(m_paths.output).exists) {
            outcome = FileOutcome::failure(m_paths.source, Cause::OutputExists);
            outcome.output = m_paths.output;
        } else if (QFile joined(m_plan.joined); !joined.rename(m_paths.output)) {
            outcome = FileOutcome::failure(m_paths.source, Cause::WriteFailed);
            outcome.output = m_paths.output;
            outcome.detail = joined.errorString();
        }
    }
    removeFiles();
    end(End::Done, outcome);
}

void SplitConversion::end(End end, FileOutcome outcome) {
    m_stage = Stage::Over;
    Q_EMIT finished(end, outcome);
}

void SplitConversion::abandon() {
    m_abandoned = true;
    if (encodersRunning() == 0) {
        if (m_stage != Stage::Over)
            removeFiles();
        m_stage = Stage::Over;
        Q_EMIT released();
        return;
    }
    m_stage = Stage::Stopping;
    stopRuns();
}

void SplitConversion::removeFiles() {
    for (qsizetype i = 0; i < m_plan.parts.size(); ++i)
        removeRunOutput(m_plan.parts[i].file, m_parts[std::size_t(i)]->job.record());
    if (std::exchange(m_listWritten, false))
        QFile::remove(m_plan.listFile);
    if (m_join)
        removeRunOutput(m_plan.joined, m_join->job.record());
}
