// SPDX-License-Identifier: MIT
#include "convert/fileconversion.h"

#include "convert/outputnaming.h"

#include <QFileInfo>

namespace {

QString withLastLine(QString reason, const QString& lastLine) {
    if (!lastLine.isEmpty())
        reason += QStringLiteral(": ") + lastLine;
    return reason;
}

} // namespace

FileConversion::FileState FileConversion::FileState::of(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
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
                               QObject* parent)
    : QObject(parent), m_source(std::move(source)), m_output(std::move(output)),
      m_lookup(std::move(encoder)), m_outputBefore(FileState::of(m_output)) {
    // Queued, so that a row of encoders that all fail at once never nests.
    connect(&m_encoder, &EncoderJob::ended, this, &FileConversion::encoderEnded,
            Qt::QueuedConnection);
    connect(&m_encoder, &EncoderJob::errorLine, this, &FileConversion::encoderSaid);
    m_encoder.start(m_lookup.program, encoderArguments(m_source, m_output));
}

void FileConversion::encoderSaid(const QString& line) {
    m_progress.read(line);
    m_lastErrorLine = line;
    if (m_outputErrorLine.isEmpty() && isOutputError(line, m_output))
        m_outputErrorLine = line;
    Q_EMIT progressed();
}

void FileConversion::encoderEnded(const EncoderEnd& end) {
    Q_EMIT finished({m_source, failureOf(end)});
}

QString FileConversion::failureOf(const EncoderEnd& end) const {
    switch (end.kind) {
    case EncoderEnd::Kind::FailedToStart:
        return tr("the encoder %1 could not be started (%2)").arg(m_lookup.program, end.errorText);
    case EncoderEnd::Kind::Crashed:
        return withLastLine(tr("the encoder was killed or crashed"), m_lastErrorLine);
    case EncoderEnd::Kind::Exited:
        break;
    }
    if (end.exitCode != 0)
        return withLastLine(tr("the encoder ended with exit code %1").arg(end.exitCode),
                            m_lastErrorLine);
    if (const FileState after = FileState::of(m_output); !after.exists || after == m_outputBefore)
        return withLastLine(
            tr("the encoder ended with exit code 0 but wrote no output %1").arg(m_output),
            m_outputErrorLine.isEmpty() ? m_lastErrorLine : m_outputErrorLine);
    if (!m_outputErrorLine.isEmpty())
        // Left where it is: what was written may still be of use, and it is the user's.
        return withLastLine(
            tr("the encoder could not finish writing, so its output %1 is incomplete")
                .arg(m_output),
            m_outputErrorLine);
    return {};
}
