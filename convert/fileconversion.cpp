// SPDX-License-Identifier: MIT
#include "convert/fileconversion.h"

#include "convert/encoderjob.h"
#include "convert/outputnaming.h"
#include "convert/sourceprobe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

namespace {

using Role = CourseRun::Role;
using State = CourseRun::State;

// A stem beside the output that no file's name begins with.
QString freeStem(const QString& output) {
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

} // namespace

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

FileConversion::FileConversion(const PlanOptions& paths, Tools tools, int encoders, bool probeFirst,
                               PartsRule partsFor, QObject* parent)
    : QObject(parent), m_encoder(std::move(tools.encoder)), m_partsFor(std::move(partsFor)) {
    m_course.paths = paths;
    m_course.probeTool = std::move(tools.probe);
    m_course.encoders = encoders;
    m_course.probeFirst = probeFirst;
}

FileConversion::~FileConversion() {
    if (m_over || !m_course.split)
        return;
    // Gone before its parts were seen to end: they are stopped, and what
    // they wrote goes now.
    for (EncoderJob* job : std::as_const(m_jobs))
        job->stop();
    removeSplitFiles();
}

void FileConversion::begin() {
    advance();
}

int FileConversion::encoders() const {
    const auto running =
        int(std::count_if(m_course.runs.begin(), m_course.runs.end(),
                          [](const CourseRun& run) { return run.state == State::Running; }));
    return running > 0 ? running : int(m_course.asking);
}

bool FileConversion::hasWaitingRun() const {
    return !m_over && !m_course.interrupted &&
           std::any_of(m_course.runs.begin(), m_course.runs.end(),
                       [](const CourseRun& run) { return run.state == State::Waiting; });
}

void FileConversion::startWaitingRun() {
    const auto waiting =
        std::find_if(m_course.runs.begin(), m_course.runs.end(),
                     [](const CourseRun& run) { return run.state == State::Waiting; });
    if (waiting != m_course.runs.end())
        start(waiting - m_course.runs.begin());
}

std::optional<double> FileConversion::wholeShare() const {
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        const CourseRun& run = m_course.runs[i];
        if (run.state == State::Running && (run.role == Role::Plain || run.role == Role::Whole))
            return m_jobs[i]->processorShare();
    }
    return std::nullopt;
}

bool FileConversion::anyRunning() const {
    return std::any_of(m_jobs.begin(), m_jobs.end(),
                       [](const EncoderJob* job) { return job->running(); });
}

void FileConversion::stopRuns() {
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        if (m_course.runs[i].state == State::Running) {
            m_course.runs[i].stopped = true;
            m_jobs[i]->stop();
        }
    }
}

bool FileConversion::abandon() {
    m_abandoned = true;
    if (!m_course.split || !anyRunning()) {
        if (m_course.split)
            removeSplitFiles();
        m_over = true;
        for (EncoderJob* job : std::as_const(m_jobs))
            job->abandon();
        return true;
    }
    stopRuns();
    return false;
}

void FileConversion::interrupt() {
    m_course.interrupted = true;
    advance();
}

void FileConversion::advance() {
    if (m_over)
        return;
    // What each run has told so far: its job holds it, the course reads it.
    for (qsizetype i = 0; i < m_jobs.size(); ++i)
        m_course.runs[i].record = m_jobs[i]->record();
    m_course.outputThere = OutputState::of(m_course.paths.output).exists;
    const Step step = nextStep(m_course);
    switch (step.kind) {
    case Step::Kind::Wait:
        return;
    case Step::Kind::StartPlain:
        startRun(Role::Plain, step.run);
        return;
    case Step::Kind::Retake: {
        const CourseRun& plain = m_course.runs.last();
        if (!removeRunOutput(m_course.paths.output, plain.record)) {
            m_course.retakeBlocked = true;
            advance();
            return;
        }
        [[fallthrough]];
    }
    case Step::Kind::Probe:
        ask(probeArguments(m_course.paths.source), &FileConversion::probed);
        return;
    case Step::Kind::Stop:
        stopRuns();
        return;
    case Step::Kind::FindKeyFrames:
        ask(keyFrameProbeArguments(m_course.paths.source, *m_course.probed, step.seeks,
                                   KeyFrameWindow),
            &FileConversion::keyFramesFound);
        return;
    case Step::Kind::Cut:
        cut(step.starts);
        return;
    case Step::Kind::Join:
        join();
        return;
    case Step::Kind::StartWhole:
        // Parts that gave way to the whole run go before it begins.
        removeSplitFiles();
        startRun(Role::Whole, step.run);
        return;
    case Step::Kind::Rename:
        rename();
        return;
    case Step::Kind::Finish:
        finish(step.outcome);
        return;
    }
}

void FileConversion::addRun(Role role, Launch launch) {
    CourseRun added;
    added.role = role;
    m_course.runs.append(added);
    auto* job = new EncoderJob(this);
    const qsizetype index = m_jobs.size();
    m_jobs.append(job);
    m_launches.append(std::move(launch));
    connect(job, &EncoderJob::ended, this,
            [this, index](const FileOutcome& outcome) { runEnded(index, outcome); });
    connect(job, &EncoderJob::listed, this,
            [this, index](const SourceRecord& record) { listed(index, record); });
    connect(job, &EncoderJob::progressed, this, &FileConversion::updateProgress);
}

void FileConversion::startRun(Role role, const EncoderRun& run) {
    const SourceFacts facts = m_course.probed.value_or(SourceFacts());
    addRun(role, {run.arguments, m_course.paths, facts});
    m_progress = EncoderProgress();
    if (facts.length)
        m_progress.setDuration(*facts.length);
    start(m_jobs.size() - 1);
}

void FileConversion::start(qsizetype index) {
    const Launch& launch = m_launches[index];
    m_course.runs[index].state = State::Running;
    m_jobs[index]->start(m_encoder, launch.arguments, launch.paths, launch.facts);
    Q_EMIT encodersChanged();
}

void FileConversion::listed(qsizetype index, const SourceRecord& record) {
    const SourceFacts facts = factsOf(record);
    if (m_course.runs[index].role == Role::Plain)
        m_course.listed = facts;
    if (!m_course.split && !m_progress.duration() && facts.length)
        m_progress.setDuration(*facts.length);
    advance();
}

void FileConversion::updateProgress() {
    if (const Role last = m_course.runs.last().role; last == Role::Plain || last == Role::Whole) {
        m_progress.setEncoded(m_jobs.last()->record().findings.reached);
        Q_EMIT progressed();
        return;
    }
    // A part's lead is the next part's too: counted once, by the part before.
    double encoded = 0.0;
    qsizetype part = 0;
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        if (m_course.runs[i].role != Role::Part)
            continue;
        encoded += std::max(0.0, m_jobs[i]->record().findings.reached -
                                     double(m_course.split->parts[part++].lead) / OutputFrameRate);
    }
    m_progress.setEncoded(encoded);
    Q_EMIT progressed();
}

void FileConversion::runEnded(qsizetype index, const FileOutcome& outcome) {
    CourseRun& run = m_course.runs[index];
    run.state = State::Ended;
    run.outcome = outcome;
    Q_EMIT encodersChanged();
    if (m_abandoned) {
        if (!anyRunning()) {
            removeSplitFiles();
            m_over = true;
            Q_EMIT released();
        }
        return;
    }
    advance();
}

void FileConversion::ask(const QStringList& arguments, void (FileConversion::*answered)()) {
    m_course.asking = true;
    m_probe = new SourceProbe(m_course.probeTool, arguments, this);
    if (m_probe->isDone())
        (this->*answered)();
    else
        connect(m_probe, &SourceProbe::done, this, answered);
}

std::optional<QByteArray> FileConversion::takeAnswer() {
    m_course.asking = false;
    std::optional<QByteArray> answer = m_probe->answer();
    // Called from the probe's own signal, so it goes once that is done.
    m_probe->disconnect(this);
    std::exchange(m_probe, nullptr)->deleteLater();
    return answer;
}

void FileConversion::probed() {
    const std::optional<QByteArray> answer = takeAnswer();
    const std::optional<SourceRecord> record = answer ? readProbeOutput(*answer) : std::nullopt;
    m_course.probed = record ? factsOf(*record) : SourceFacts();
    m_course.parts = m_partsFor(*m_course.probed);
    advance();
}

void FileConversion::keyFramesFound() {
    const std::optional<QByteArray> answer = takeAnswer();
    m_course.keyFrames = answer ? readKeyFrames(*answer) : QList<double>();
    advance();
}

void FileConversion::cut(const QList<qint64>& starts) {
    const SourceFacts& facts = *m_course.probed;
    m_course.split = splitPlanFor(facts, m_course.paths, starts, freeStem(m_course.paths.output));
    if (facts.length)
        m_progress.setDuration(*facts.length);
    // A part's own length is its frames; only the whole source states one.
    SourceFacts partFacts = facts;
    partFacts.length.reset();
    for (const SplitPlan::Part& part : std::as_const(m_course.split->parts))
        addRun(Role::Part, {part.run.arguments, {m_course.paths.source, part.file}, partFacts});
    // The encoder that found the facts takes the first part; the others wait for theirs.
    startWaitingRun();
}

void FileConversion::join() {
    const SplitPlan& plan = *m_course.split;
    QFile list(plan.listFile);
    m_listWritten = list.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    if (!m_listWritten || list.write(plan.list) != plan.list.size() || !list.flush()) {
        m_course.listFailed = list.errorString();
        advance();
        return;
    }
    list.close();
    // The join reads the list; a complaint that names it is about the parts.
    addRun(Role::Join, {plan.join.arguments,
                        {plan.listFile, plan.joined},
                        m_course.probed.value_or(SourceFacts())});
    start(m_jobs.size() - 1);
}

void FileConversion::rename() {
    if (QFile joined(m_course.split->joined); joined.rename(m_course.paths.output))
        m_course.renamed = true;
    else
        m_course.renameFailed = joined.errorString();
    advance();
}

void FileConversion::removeSplitFiles() {
    if (!m_course.split)
        return;
    const SplitPlan& plan = *m_course.split;
    for (qsizetype i = 0; i < m_jobs.size(); ++i) {
        if (m_course.runs[i].role == Role::Part || m_course.runs[i].role == Role::Join)
            removeRunOutput(m_launches[i].paths.output, m_jobs[i]->record());
    }
    if (std::exchange(m_listWritten, false))
        QFile::remove(plan.listFile);
}

void FileConversion::finish(FileOutcome outcome) {
    m_over = true;
    removeSplitFiles();
    if (outcome.verdict == FileOutcome::Verdict::Failed) {
        for (qsizetype i = m_jobs.size() - 1; i >= 0; --i) {
            const Role role = m_course.runs[i].role;
            if (role != Role::Plain && role != Role::Whole)
                continue;
            if (!removeRunOutput(m_course.paths.output, m_jobs[i]->record()))
                outcome.outputLeft = true;
            break;
        }
    }
    Q_EMIT finished(outcome);
}
