// SPDX-License-Identifier: MIT
#include "convert/sourceprobe.h"

#include "convert/childprocess.h"

namespace {

// A probe reads a few frames and answers in well under a second; one on a
// source that does not answer (a stalled network share) is given up, so that
// the run goes on with the command that needs no facts.
constexpr int ProbeTimeoutMs = 20000;
// Its answer for a source with a few dozen streams is a few kilobytes.
constexpr qint64 LongestAnswer = 4 * 1024 * 1024;

} // namespace

SourceProbe::SourceProbe(const QString& program, const QStringList& arguments, QObject* parent)
    : QObject(parent), m_process(new ChildProcess(this, ChildProcess::Priority::Background)) {
    m_process->setStandardErrorFile(QProcess::nullDevice());
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const QByteArray answer = m_process->readAllStandardOutput();
        finish(status == QProcess::NormalExit && code == 0 ? std::optional(answer) : std::nullopt);
    });
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        if (m_process->bytesAvailable() > LongestAnswer)
            m_process->kill();
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(std::nullopt);
    });
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, m_process, &QProcess::kill);
    m_deadline.start(ProbeTimeoutMs);
    m_process->start(program, arguments);
}

SourceProbe::~SourceProbe() = default;

void SourceProbe::finish(std::optional<QByteArray> answer) {
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    m_answer = std::move(answer);
    // Called from the process's own signals, so it goes once they are done.
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;
    Q_EMIT done();
}
