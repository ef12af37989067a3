// SPDX-License-Identifier: MIT
#include "convert/fileconversion.h"

#include "convert/outputnaming.h"
#include "convert/sourceprobe.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

QString withLine(QString reason, const QString& line) {
    if (!line.isEmpty())
        reason += QStringLiteral(": ") + line;
    return reason;
}

// "0:04", "1:02:03": a length as a player shows it, in whole seconds.
QString clockText(double seconds) {
    const qint64 whole = qint64(std::floor(std::max(seconds, 0.0)));
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2").arg(whole / 60 % 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    if (whole < 3600)
        return QString::number(whole / 60) + minutesAndSeconds.mid(minutesAndSeconds.indexOf(u':'));
    return QStringLiteral("%1:").arg(whole / 3600) +
           minutesAndSeconds.rightJustified(5, QLatin1Char('0'));
}

// A source whose encoder reached less than this short of its stated length
// holds all of it: the last frame's time, and the frame rate's rounding.
constexpr double ShortfallSeconds = 0.5;
constexpr double ShortfallShare = 0.02;

} // namespace

FileConversion::FileState FileConversion::FileState::of(const QString& path) {
    const QFileInfo info(path);
    // A link to nowhere is there too: writing through it would make its target.
    if (!info.exists() && !info.isSymLink())
        return {};
    return {true, info.lastModified(), info.size()};
}

QString FileConversion::refusal(const QString& source, const QString& output) {
    if (source.isEmpty())
        return tr("the list entry is empty, so there is nothing to convert");
    // A pipe or a device would hold the encoder forever; a folder has nothing to convert.
    if (const QFileInfo info(source); info.exists() && !info.isFile())
        return tr("%1 is not a regular file, so it was not converted").arg(source);
    if (isSameFile(source, output))
        return tr("its output %1 would be the source file itself, so it was left as it is")
            .arg(output);
    return {};
}

FileConversion::FileConversion(QString source, QString output, EncoderLookup encoder,
                               QString probeTool, QObject* parent)
    : QObject(parent), m_source(std::move(source)), m_output(std::move(output)),
      m_lookup(std::move(encoder)), m_probeTool(std::move(probeTool)), m_log(m_source, m_output) {
    // Queued, so that a row of encoders that all fail at once never nests.
    connect(&m_encoder, &EncoderJob::ended, this, &FileConversion::encoderEnded,
            Qt::QueuedConnection);
    connect(&m_encoder, &EncoderJob::errorLine, this, &FileConversion::encoderSaid);
    // Most sources need no other command: asking the probe tool first would
    // cost each of them a process start-up as long as a short file's encoder.
    m_stage = m_probeTool.isEmpty() ? Stage::Settled : Stage::Trying;
    startEncoder({});
}

void FileConversion::startEncoder(const SourceFacts& facts) {
    m_facts = facts;
    if (!m_facts.hasVideo()) {
        // Nothing is made: ffmpeg would write a file without a stream, or a
        // cover picture's single frame as a video.
        QMetaObject::invokeMethod(
            this,
            [this] {
                Q_EMIT finished(FileOutcome::failure(m_source, tr("it holds no video to convert")));
            },
            Qt::QueuedConnection);
        return;
    }
    m_log = EncoderLog(m_source, m_output);
    m_progress = EncoderProgress();
    if (m_facts.length)
        m_progress.setDuration(*m_facts.length);
    m_outputBefore = FileState::of(m_output);
    m_encoderStarted = QDateTime::currentDateTimeUtc();
    m_encoder.start(m_lookup.program, encoderArguments(m_source, m_output, m_facts));
}

void FileConversion::encoderSaid(const QString& line) {
    m_progress.read(line);
    m_log.read(line);
    if (m_stage == Stage::Trying) {
        m_listing.read(line);
        if (m_listing.isComplete())
            listingRead();
    }
    Q_EMIT progressed();
}

void FileConversion::listingRead() {
    m_stage = Stage::Settled;
    const SourceFacts listed = m_listing.facts();
    if (!listed.known)
        return;
    // An output that was there already is declined whatever the command, as
    // this encoder's end will tell.
    if (!m_outputBefore.exists &&
        (!listed.hasVideo() || encoderArguments(m_source, m_output, listed) !=
                                   encoderArguments(m_source, m_output, {}))) {
        // The listing comes before the output is opened, so this encoder
        // has written little or nothing when it stops.
        m_stage = Stage::Stopping;
        m_encoder.stop();
        return;
    }
    m_facts = listed;
    if (listed.length)
        m_progress.setDuration(*listed.length);
}

void FileConversion::retake() {
    if (!removeOwnOutput()) {
        Q_EMIT finished(FileOutcome::failure(
            m_source, tr("its output %1 from a first attempt could not be removed, so it was not "
                         "converted again")
                          .arg(m_output)));
        return;
    }
    m_stage = Stage::Probing;
    m_probe = new SourceProbe(m_probeTool, m_source, this);
    if (m_probe->isDone())
        probed();
    else
        connect(m_probe, &SourceProbe::done, this, &FileConversion::probed);
}

void FileConversion::probed() {
    const SourceFacts facts = m_probe->facts();
    // Called from the probe's own signal, so it goes once that is done.
    m_probe->disconnect(this);
    std::exchange(m_probe, nullptr)->deleteLater();
    m_stage = Stage::Settled;
    startEncoder(facts);
}

void FileConversion::encoderEnded(const EncoderEnd& end) {
    // An encoder that fails on a source it cannot take ends within its listing.
    if (m_stage == Stage::Trying)
        listingRead();
    if (m_stage == Stage::Stopping) {
        retake();
        return;
    }
    Q_EMIT finished(outcomeOf(end));
}

FileOutcome FileConversion::outcomeOf(const EncoderEnd& end) const {
    if (const QString failure = failureOf(end); !failure.isEmpty())
        return FileOutcome::failure(m_source, removeFailedOutput(failure));
    // What the source held is all converted, unless the encoder stopped short
    // of the length the source states: its data ends early or breaks off.
    // Without the probe's length, the container's counts only when the
    // encoder saw damage, since sound may run on after the video.
    const std::optional<double> length =
        m_facts.length ? m_facts.length
                       : (m_log.sourceDamaged() ? m_progress.duration() : std::nullopt);
    if (length &&
        m_progress.encoded() + std::max(ShortfallSeconds, *length * ShortfallShare) < *length)
        return FileOutcome::partial(
            m_source, tr("converted only %1 of %2: the source ends early; it may be damaged or "
                         "incompletely downloaded")
                          .arg(clockText(m_progress.encoded()), clockText(*length)));
    return FileOutcome::success(m_source);
}

QString FileConversion::plainCause() const {
    switch (m_log.cause()) {
    case EncoderLog::Cause::Unknown:
    case EncoderLog::Cause::WriteFailed:
        return {};
    case EncoderLog::Cause::OutputExists:
        return tr("its output %1 already exists, so it was left as it is").arg(m_output);
    case EncoderLog::Cause::PictureSize:
        if (m_facts.known)
            return tr("the encoder cannot take its picture size of %1\u00d7%2")
                .arg(m_facts.width)
                .arg(m_facts.height);
        return withLine(tr("the encoder cannot take its picture size"), m_log.causeLine());
    case EncoderLog::Cause::DiskFull:
        return tr("the disk is full, so its output could not be written");
    case EncoderLog::Cause::NoStream:
        return tr("its first stream is not a video, and the encoder takes only that one without "
                  "%1 to find the video")
            .arg(probeFileName());
    case EncoderLog::Cause::NoPictures:
        return tr("its video holds no picture the encoder could read");
    case EncoderLog::Cause::SourceMissing:
        return tr("it was not found");
    case EncoderLog::Cause::UnreadableData:
        return tr("the encoder cannot read it: it is damaged, or not a video");
    }
    return {};
}

QString FileConversion::failureOf(const EncoderEnd& end) const {
    switch (end.kind) {
    case EncoderEnd::Kind::FailedToStart:
        return tr("the encoder %1 could not be started (%2)").arg(m_lookup.program, end.errorText);
    case EncoderEnd::Kind::Crashed:
        return withLine(tr("the encoder was killed or crashed"), m_log.lastComplaint());
    case EncoderEnd::Kind::Exited:
        break;
    }
    const QString plain = plainCause();
    if (end.exitCode != 0)
        return !plain.isEmpty()
                   ? plain
                   : withLine(tr("the encoder ended with exit code %1").arg(end.exitCode),
                              m_log.lastComplaint());
    if (const FileState after = FileState::of(m_output); !after.exists || after == m_outputBefore)
        return !plain.isEmpty()
                   ? plain
                   : withLine(tr("the encoder ended with exit code 0 but wrote no output %1")
                                  .arg(m_output),
                              m_log.lastComplaint());
    // The encoder may end with 0 after a failed write, but it always says so.
    if (m_log.cause() == EncoderLog::Cause::DiskFull)
        return plain;
    if (m_log.cause() == EncoderLog::Cause::WriteFailed)
        return withLine(tr("writing its output %1 failed").arg(m_output), m_log.causeLine());
    return {};
}

bool FileConversion::removeOwnOutput() const {
    // Only a file this encoder made: none was there when it started, it did
    // not decline one that appeared meanwhile, and it was written since.
    const QFileInfo output(m_output);
    if (m_outputBefore.exists || !m_encoderStarted.isValid() ||
        m_log.cause() == EncoderLog::Cause::OutputExists || output.isSymLink() ||
        !output.isFile() || output.lastModified() < m_encoderStarted.addSecs(-2))
        return true;
    return QFile::remove(m_output);
}

QString FileConversion::removeFailedOutput(QString reason) const {
    if (!removeOwnOutput())
        reason += tr("; its incomplete output %1 could not be removed").arg(m_output);
    return reason;
}
