// SPDX-License-Identifier: MIT
#include "convert/encoderjob.h"

#include "convert/childprocess.h"

namespace {

// A line longer than this is cut to its end: an encoder that writes without
// line breaks must not make us hold all it wrote.
constexpr qsizetype LongestLine = 8192;

} // namespace

EncoderJob::~EncoderJob() {
    abandon();
}

void EncoderJob::start(const QString& program, const QStringList& arguments,
                       const PlanOptions& paths, const SourceFacts& facts) {
    if (m_process)
        return;
    m_partialLine.clear();
    m_abandoned = false;
    m_paths = paths;
    m_facts = facts;
    m_reader.emplace(paths.source, paths.output);
    m_record = {};
    m_record.encoder = program;
    m_record.end.kind = EncoderEnd::Kind::Running;
    m_record.before = OutputState::of(paths.output);
    // An encoder must finish the file it writes whatever happens to us.
    m_process = new ChildProcess(this);
    m_process->setStandardOutputFile(QProcess::nullDevice());
    connect(m_process, &QProcess::readyReadStandardError, this, &EncoderJob::readErrors);
    connect(m_process, &QProcess::finished, this, &EncoderJob::processFinished);
    // A start that fails is reported here alone, without a finish.
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            processFailed();
    });
    m_clock.start();
    m_process->start(program, arguments);
}

std::optional<double> EncoderJob::processorShare() const {
    const qint64 elapsed = m_clock.isValid() ? m_clock.elapsed() : 0;
    const std::optional<double> used = m_process ? m_process->processorSeconds() : std::nullopt;
    if (!used || elapsed < 1000)
        return std::nullopt;
    return *used / (double(elapsed) / 1000.0);
}

void EncoderJob::stop() {
    if (m_process)
        m_process->kill();
}

void EncoderJob::readErrors() {
    m_partialLine += m_process->readAllStandardError();
    // Progress lines end in a carriage return, messages in a line feed.
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_partialLine.size(); ++i) {
        const char c = m_partialLine.at(i);
        if (c != '\n' && c != '\r')
            continue;
        const QByteArray line = m_partialLine.sliced(start, i - start).trimmed();
        start = i + 1;
        if (!line.isEmpty())
            take(m_reader->read(QString::fromLocal8Bit(line)));
        if (!m_process) // abandoned by a handler of a signal
            return;
    }
    m_partialLine.remove(0, start);
    if (m_partialLine.size() > LongestLine)
        m_partialLine.remove(0, m_partialLine.size() - LongestLine);
}

void EncoderJob::take(const QList<EncoderEvent>& events) {
    for (const EncoderEvent& event : events) {
        m_record.findings.take(event);
        if (event.kind == EncoderEvent::Kind::Listed) {
            if (!m_facts.known)
                m_facts = factsOf(event.record);
            Q_EMIT listed(event.record);
        } else if (event.kind == EncoderEvent::Kind::Reached) {
            Q_EMIT progressed();
        }
        if (m_abandoned) // by a handler of a signal
            return;
    }
}

void EncoderJob::abandon() {
    m_abandoned = true;
    // Destroying it now closes our end of its pipes; it runs on regardless.
    delete std::exchange(m_process, nullptr);
}

void EncoderJob::processFinished() {
    if (!m_process)
        return;
    readErrors();
    if (!m_process)
        return;
    if (const QByteArray last = std::exchange(m_partialLine, {}).trimmed(); !last.isEmpty())
        take(m_reader->read(QString::fromLocal8Bit(last)));
    if (!m_process)
        return;
    EncoderEnd end;
    end.kind = m_process->exitStatus() == QProcess::NormalExit ? EncoderEnd::Kind::Exited
                                                               : EncoderEnd::Kind::Crashed;
    end.exitCode = m_process->exitCode();
    finish(end);
}

void EncoderJob::processFailed() {
    if (!m_process)
        return;
    EncoderEnd end;
    end.kind = EncoderEnd::Kind::FailedToStart;
    end.errorText = m_process->errorString();
    finish(end);
}

void EncoderJob::finish(EncoderEnd end) {
    // Called from the process's own signals, so it goes once they are done.
    ChildProcess* process = std::exchange(m_process, nullptr);
    process->disconnect(this);
    process->deleteLater();
    take(m_reader->end());
    if (m_abandoned)
        return;
    m_record.end = std::move(end);
    m_record.after = OutputState::of(m_paths.output);
    const FileOutcome outcome = verdictOf(m_paths.source, m_paths.output, m_facts, m_record);
    // From the event loop, so that encoders that all fail at once never nest.
    QMetaObject::invokeMethod(
        this,
        [this, outcome] {
            if (!m_abandoned)
                Q_EMIT ended(outcome);
        },
        Qt::QueuedConnection);
}
