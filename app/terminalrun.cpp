// SPDX-License-Identifier: MIT
#include "app/terminalrun.h"

#include "app/messages.h"
#include "convert/batchsession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

bool isTerminal([[maybe_unused]] std::FILE* file) {
#ifdef Q_OS_UNIX
    return ::isatty(::fileno(file)) != 0;
#else
    return false;
#endif
}

// Columns of the terminal, so the status line never wraps; 80 where it does not tell.
int terminalWidth([[maybe_unused]] std::FILE* file) {
#ifdef Q_OS_UNIX
    winsize size{};
    if (::ioctl(::fileno(file), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    return 80;
}

// "OutputExists" as "output-exists": the names scripts match on.
QString causeName(FileOutcome::Cause cause) {
    const QString name =
        QString::fromLatin1(QMetaEnum::fromType<FileOutcome::Cause>().valueToKey(int(cause)));
    QString words;
    for (const QChar c : name) {
        if (c.isUpper() && !words.isEmpty())
            words += u'-';
        words += c.toLower();
    }
    return words;
}

QLatin1String verdictName(FileOutcome::Verdict verdict) {
    switch (verdict) {
    case FileOutcome::Verdict::Converted:
        break;
    case FileOutcome::Verdict::Partial:
        return QLatin1String("partial");
    case FileOutcome::Verdict::Failed:
        return QLatin1String("failed");
    }
    return QLatin1String("converted");
}

QByteArray jsonLine(const FileOutcome& outcome) {
    QJsonObject line{
        {QStringLiteral("source"), outcome.source},
        {QStringLiteral("output"), outcome.output},
        {QStringLiteral("outcome"), verdictName(outcome.verdict)},
        {QStringLiteral("cause"),
         outcome.converted() ? QJsonValue(QJsonValue::Null) : QJsonValue(causeName(outcome.cause))},
        {QStringLiteral("detail"),
         outcome.detail.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(outcome.detail)},
        {QStringLiteral("seconds"), qRound(outcome.seconds * 1000.0) / 1000.0}};
    return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

TerminalRun::TerminalRun(BatchSession& session, bool json, std::FILE* out, std::FILE* err,
                         QObject* parent)
    : QObject(parent), m_session(session), m_json(json), m_out(out), m_err(err),
      m_terminal(isTerminal(err)) {
    ConversionRun& run = m_session.run();
    connect(&run, &ConversionRun::fileFinished, this, &TerminalRun::fileFinished);
    connect(&run, &ConversionRun::finished, this, &TerminalRun::finished);
    if (m_terminal)
        connect(&run, &ConversionRun::progressed, this, &TerminalRun::showStatus);
    connect(&m_session.folderWalk(), &FolderWalkJob::finished, this,
            [this](int, const LeftOutNames& leftOut) {
                if (!leftOut.isEmpty())
                    say(Messages::leftOut(leftOut).text);
            });
}

void TerminalRun::start(const QStringList& paths, const LeftOutNames& leftOut) {
    if (!leftOut.isEmpty())
        say(Messages::leftOut(leftOut).text);
    connect(&m_session.openQueue(), &OpenQueue::opened, this, &TerminalRun::listed,
            Qt::SingleShotConnection);
    m_session.openQueue().open(paths);
}

void TerminalRun::listed() {
    if (m_signal != 0)
        return;
    m_converting = true;
    // An empty list ends at once, with a report of nothing.
    m_session.run().start();
}

void TerminalRun::interrupt(int signal) {
    if (m_signal != 0)
        return;
    m_signal = signal;
    if (m_converting) {
        m_session.run().interrupt();
        return;
    }
    // Still listing: a folder walk holds nothing that needs removing.
    Q_EMIT ended(128 + m_signal);
}

int TerminalRun::exitStatus(const ConversionReport& report, int signal) {
    if (signal != 0)
        return 128 + signal;
    if (report.batch <= 0)
        return 2;
    return report.attempted == report.batch && report.failed == 0 && report.partial == 0 ? 0 : 1;
}

void TerminalRun::fileFinished(const FileOutcome& outcome) {
    if (m_json) {
        const QByteArray line = jsonLine(outcome);
        std::fwrite(line.constData(), 1, std::size_t(line.size()), m_out);
        std::fflush(m_out);
    }
    if (!outcome.converted())
        m_notConverted << outcome;
    if (!m_terminal)
        say((outcome.converted() ? Messages::tr("converted: %1").arg(outcome.source)
                                 : Messages::tr("not converted: %1: %2")
                                       .arg(outcome.source, Messages::reason(outcome))));
}

void TerminalRun::showStatus(const RunProgress& progress) {
    // As the window's tool tip says it, on one line that fits.
    QString status = Messages::runStatus(progress).simplified();
    const int width = terminalWidth(m_err) - 1;
    if (status.size() > width)
        status = status.left(std::max(width - 1, 0)) + QChar(0x2026);
    const QByteArray line = "\r" + status.toLocal8Bit() + "\x1b[K";
    std::fwrite(line.constData(), 1, std::size_t(line.size()), m_err);
    std::fflush(m_err);
    m_statusShown = true;
}

void TerminalRun::clearStatus() {
    if (std::exchange(m_statusShown, false))
        std::fputs("\r\x1b[K", m_err);
}

void TerminalRun::say(const QString& text) {
    clearStatus();
    std::fputs((text + u'\n').toLocal8Bit().constData(), m_err);
    std::fflush(m_err);
}

void TerminalRun::finished(const ConversionReport& report) {
    m_converting = false;
    QStringList lines{Messages::runCounts(report) + u'.'};
    if (const int notBegun = report.batch - report.attempted; notBegun > 0 && m_signal != 0)
        lines << Messages::tr("Stopped: %n file(s) not begun.", nullptr, notBegun);
    for (const FileOutcome& outcome : std::as_const(m_notConverted))
        lines << outcome.source + QStringLiteral(": ") + Messages::reason(outcome);
    say(lines.join(u'\n'));
    Q_EMIT ended(exitStatus(report, m_signal));
}
