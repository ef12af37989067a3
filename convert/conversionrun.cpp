// SPDX-License-Identifier: MIT
#include "convert/conversionrun.h"

#include "common/pointerrules.h"
#include "convert/outputnaming.h"
#include "filelist/filelistmodel.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// Files that fail before any encoder starts are checked back to back, but
// never more of them nor for longer than this; then the window gets its turn.
constexpr int RefusalsPerTurn = 100;
constexpr qint64 RefusalTurnNs = 20'000'000;
// The status follows the encoder's progress lines no more often than this.
constexpr qint64 StatusInterval = 250;

QString withLastLine(QString reason, const QString& lastLine) {
    if (!lastLine.isEmpty())
        reason += QStringLiteral(": ") + lastLine;
    return reason;
}

// Rounded up, so that the estimate never promises too little.
QString timeLeftText(double seconds) {
    if (seconds < 60.0)
        return ConversionRun::tr("less than a minute left");
    const qint64 minutes = qint64(std::ceil(seconds / 60.0));
    if (minutes < 120)
        return ConversionRun::tr("about %1 min left").arg(minutes);
    return ConversionRun::tr("about %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

QString describeFailures(const QList<ConversionFailure>& failures) {
    QStringList blocks;
    blocks.reserve(failures.size());
    for (const ConversionFailure& failure : failures)
        blocks << failure.source + QStringLiteral("\n    ") + failure.reason;
    return blocks.join(QStringLiteral("\n\n"));
}

} // namespace

ConversionRun::FileState ConversionRun::FileState::of(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {true, info.lastModified(), info.size()};
}

ConversionRun::ConversionRun(FileListModel& list, PointerRules& pointer, QString programFolder,
                             QObject* parent)
    : QObject(parent), m_list(list), m_pointer(pointer), m_programFolder(std::move(programFolder)) {
    // Queued, so that a row of encoders that all fail at once never nests.
    connect(&m_encoder, &EncoderJob::ended, this, &ConversionRun::encoderEnded,
            Qt::QueuedConnection);
    connect(&m_encoder, &EncoderJob::errorLine, this, &ConversionRun::encoderSaid);
    connect(
        &m_list, &QAbstractItemModel::rowsRemoved, this,
        [this](const QModelIndex&, int first, int last) { entriesRemoved(first + 1, last + 1); });
    connect(
        &m_list, &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex&, int first, int last) { entriesInserted(first + 1, last + 1); });
}

void ConversionRun::entriesRemoved(int firstPosition, int lastPosition) {
    if (!m_running)
        return;
    const auto removedUpTo = [&](int position) {
        return std::max(0, std::min(lastPosition, position) - firstPosition + 1);
    };
    // The file under way counts as done even when its entry goes: the next one
    // is the entry that followed it.
    m_position -= removedUpTo(m_position);
    m_files -= removedUpTo(m_files);
}

void ConversionRun::entriesInserted(int firstPosition, int lastPosition) {
    if (!m_running)
        return;
    const int inserted = lastPosition - firstPosition + 1;
    if (firstPosition <= m_position)
        m_position += inserted;
    // Entries appended after the batch are not part of it.
    if (firstPosition <= m_files)
        m_files += inserted;
}

QString ConversionRun::endMessage(QString& details) const {
    details.clear();
    if (m_failed == 0)
        return doneMessage();
    const QString summary =
        ConversionRun::tr("%1 of %2 %3 failed.")
            .arg(m_failed)
            .arg(m_attempted)
            .arg(m_attempted == 1 ? QStringLiteral("file") : QStringLiteral("files"));
    if (m_failed <= FailuresInMessage)
        return summary + QStringLiteral("\n\n") + describeFailures(m_failures);
    details = describeFailures(m_failures);
    if (m_failed == m_failures.size())
        return summary + ConversionRun::tr(" The details list each one with its reason.");
    details += ConversionRun::tr("\n\n...and %1 more.").arg(m_failed - m_failures.size());
    return summary + ConversionRun::tr(" The details list the first %1 with their reasons.")
                         .arg(m_failures.size());
}

void ConversionRun::start() {
    // A second press during a run would start a second batch over the same
    // outputs; after an abandon the program is ending.
    if (m_running || m_abandoned)
        return;
    m_lookup = findEncoder(m_programFolder);
    if (m_list.count() <= 0) {
        Q_EMIT finished(noFilesMessage(), QString());
        return;
    }
    m_running = true;
    m_files = m_list.count();
    m_position = 0;
    m_attempted = 0;
    m_failed = 0;
    m_failures.clear();
    m_encodedBefore = 0.0;
    m_knownDurations = 0.0;
    m_filesWithDuration = 0;
    m_runClock.start();
    convertNext();
}

void ConversionRun::abandon() {
    m_abandoned = true;
    m_running = false;
    m_encoder.abandon();
}

void ConversionRun::convertNext() {
    QElapsedTimer turn;
    turn.start();
    int refusals = 0;
    while (m_running) {
        ++m_position;
        const int current = m_list.count();
        if (m_position > m_files || m_position > current) {
            finish();
            return;
        }
        // Set at every file: the folder command may have reset it meanwhile.
        m_pointer.setCode(PointerCode::Hourglass);
        Q_EMIT progressChanged(float(double(m_position) / double(current) * 100.0));
        m_source = m_list.textAt(m_position);
        Q_EMIT converting(m_position, m_source);
        if (!m_running) // abandoned by a handler of the signal above
            return;

        const QString refused = refusal(m_source);
        if (refused.isEmpty()) {
            m_output = outputPathFor(m_source);
            m_outputBefore = FileState::of(m_output);
            m_lastErrorLine.clear();
            m_outputErrorLine.clear();
            m_fileProgress = {};
            showStatus();
            m_encoder.start(m_lookup.program, encoderArguments(m_source, m_output));
            return; // encoderEnded() goes on
        }
        recordFailure(refused);
        if (++refusals >= RefusalsPerTurn || turn.nsecsElapsed() > RefusalTurnNs) {
            QTimer::singleShot(0, this, &ConversionRun::convertNext);
            return;
        }
    }
}

QString ConversionRun::refusal(const QString& source) const {
    if (source.isEmpty())
        return ConversionRun::tr("the list entry is empty, so there is nothing to convert");
    // A pipe or a device would hold the encoder forever; a folder has nothing to convert.
    if (const QFileInfo info(source); info.exists() && !info.isFile())
        return ConversionRun::tr("%1 is not a regular file, so it was not converted").arg(source);
    const QString output = outputPathFor(source);
    if (isSameFile(source, output))
        return ConversionRun::tr("its output %1 would be the source file itself, "
                                 "so it was left as it is")
            .arg(output);
    if (!m_lookup.found())
        return ConversionRun::tr("the encoder was not found (%1)").arg(m_lookup.whereLooked());
    return {};
}

void ConversionRun::showStatus() {
    m_sinceStatus.start();
    // The file under way was removed from the list: nothing to tell of it,
    // and no share of an empty batch.
    if (m_position < 1 || m_files < 1)
        return;
    QString status = ConversionRun::tr("Converting %1 of %2: %3")
                         .arg(m_position)
                         .arg(m_files)
                         .arg(QFileInfo(m_source).fileName());
    if (const std::optional<double> share = m_fileProgress.share()) {
        status += ConversionRun::tr(" \u2014 %1 %").arg(int(*share * 100.0));
        if (const std::optional<double> left = secondsLeft())
            status += QStringLiteral(", ") + timeLeftText(*left);
    }
    Q_EMIT statusChanged(status);
    const double fileShare = m_fileProgress.share().value_or(0.0);
    Q_EMIT batchShareChanged(std::clamp((m_position - 1 + fileShare) / m_files, 0.0, 1.0));
}

std::optional<double> ConversionRun::secondsLeft() const {
    const std::optional<double> duration = m_fileProgress.duration();
    const double encoded = m_encodedBefore + m_fileProgress.encoded();
    const double wallSeconds = double(m_runClock.elapsed()) / 1000.0;
    if (!duration || encoded <= 0.0 || wallSeconds <= 0.0)
        return std::nullopt;
    // Files yet to start are taken to be as long as the known ones on average.
    const double averageLength = (m_knownDurations + *duration) / double(m_filesWithDuration + 1);
    const double inputLeft = *duration - m_fileProgress.encoded() +
                             averageLength * double(std::max(0, m_files - m_position));
    return std::max(inputLeft, 0.0) / (encoded / wallSeconds);
}

void ConversionRun::encoderSaid(const QString& line) {
    m_fileProgress.read(line);
    if (m_sinceStatus.elapsed() >= StatusInterval)
        showStatus();
    m_lastErrorLine = line;
    if (m_outputErrorLine.isEmpty() && isOutputError(line, m_output))
        m_outputErrorLine = line;
}

void ConversionRun::encoderEnded(const EncoderEnd& end) {
    if (!m_running)
        return;
    m_encodedBefore += m_fileProgress.encoded();
    if (const std::optional<double> duration = m_fileProgress.duration()) {
        m_knownDurations += *duration;
        ++m_filesWithDuration;
    }
    QString failure;
    switch (end.kind) {
    case EncoderEnd::Kind::FailedToStart:
        failure = ConversionRun::tr("the encoder %1 could not be started (%2)")
                      .arg(m_lookup.program, end.errorText);
        break;
    case EncoderEnd::Kind::Crashed:
        failure =
            withLastLine(ConversionRun::tr("the encoder was killed or crashed"), m_lastErrorLine);
        break;
    case EncoderEnd::Kind::Exited:
        if (end.exitCode != 0) {
            failure = withLastLine(
                ConversionRun::tr("the encoder ended with exit code %1").arg(end.exitCode),
                m_lastErrorLine);
            break;
        }
        if (const FileState after = FileState::of(m_output);
            !after.exists || after == m_outputBefore)
            failure = withLastLine(
                ConversionRun::tr("the encoder ended with exit code 0 but wrote no output %1")
                    .arg(m_output),
                m_outputErrorLine.isEmpty() ? m_lastErrorLine : m_outputErrorLine);
        else if (!m_outputErrorLine.isEmpty())
            // Left where it is: what was written may still be of use, and it is the user's.
            failure = withLastLine(ConversionRun::tr("the encoder could not finish writing, so "
                                                     "its output %1 is incomplete")
                                       .arg(m_output),
                                   m_outputErrorLine);
        break;
    }
    if (failure.isEmpty())
        ++m_attempted;
    else
        recordFailure(failure);
    convertNext();
}

void ConversionRun::recordFailure(const QString& reason) {
    ++m_attempted;
    ++m_failed;
    if (m_failures.size() < FailuresInDetails)
        m_failures.append({m_source, reason});
}

void ConversionRun::finish() {
    m_pointer.setCode(PointerCode::Default);
    Q_EMIT progressChanged(0.0f);
    Q_EMIT statusChanged(QString());
    QString details;
    const QString message = endMessage(details);
    m_failures.clear();
    // The run counts as ended once its message is dismissed.
    Q_EMIT finished(message, details);
    m_running = false;
}
