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

void EncoderJob::start(const QString& program, const QStringList& arguments) {
    if (m_process)
        return;
    m_partialLine.clear();
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
    m_process->start(program, arguments);
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
            Q_EMIT errorLine(QString::fromLocal8Bit(line));
        if (!m_process) // abandoned by a handler of the signal
            return;
    }
    m_partialLine.remove(0, start);
    if (m_partialLine.size() > LongestLine)
        m_partialLine.remove(0, m_partialLine.size() - LongestLine);
}

void EncoderJob::release() {
    // Called from the process's own signals, so it goes once they are done.
    if (QProcess* process = std::exchange(m_process, nullptr)) {
        process->disconnect(this);
        process->deleteLater();
    }
}

void EncoderJob::abandon() {
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
        Q_EMIT errorLine(QString::fromLocal8Bit(last));
    if (!m_process)
        return;
    EncoderEnd end;
    end.kind = m_process->exitStatus() == QProcess::NormalExit ? EncoderEnd::Kind::Exited
                                                               : EncoderEnd::Kind::Crashed;
    end.exitCode = m_process->exitCode();
    release();
    Q_EMIT ended(end);
}

void EncoderJob::processFailed() {
    if (!m_process)
        return;
    EncoderEnd end;
    end.kind = EncoderEnd::Kind::FailedToStart;
    end.errorText = m_process->errorString();
    release();
    Q_EMIT ended(end);
}
