#include "convert/conversionrun.h"

#include "convert/outputnaming.h"
#include "filelist/filelist.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPointer>

namespace {

// What an output path held before the encoder ran, to tell whether the
// encoder wrote it: an encoder may refuse to overwrite and still end with 0.
struct FileState {
    bool exists = false;
    QDateTime modified;
    qint64 size = -1;

    static FileState of(const QString& path) {
        const QFileInfo info(path);
        if (!info.exists())
            return {};
        return {true, info.lastModified(), info.size()};
    }
    bool operator==(const FileState&) const = default;
};

QString withLastLine(QString reason, const QString& lastLine) {
    if (!lastLine.isEmpty())
        reason += QStringLiteral(": ") + lastLine;
    return reason;
}

QString describeFailures(const QList<ConversionFailure>& failures) {
    QStringList blocks;
    for (const ConversionFailure& failure : failures)
        blocks << failure.source + QStringLiteral("\n    ") + failure.reason;
    return blocks.join(QStringLiteral("\n\n"));
}

} // namespace

int FileListEntries::count() const {
    return m_list.count();
}

QString FileListEntries::textAt(int position) const {
    return m_list.textAt(position);
}

ConversionRun::ConversionRun(BatchEntries& entries, QString programFolder, QObject* parent)
    : QObject(parent), m_entries(entries), m_programFolder(std::move(programFolder)) {}

QString ConversionRun::endMessage(int files, const QList<ConversionFailure>& failures,
                                  QString* details) {
    if (details)
        details->clear();
    if (failures.isEmpty())
        return doneMessage();
    QString summary = QStringLiteral("%1 of %2 %3 failed.")
                          .arg(failures.size())
                          .arg(files)
                          .arg(files == 1 ? QStringLiteral("file") : QStringLiteral("files"));
    if (failures.size() > FailuresInMessage && details) {
        *details = describeFailures(failures);
        return summary + QStringLiteral(" The details list each one with its reason.");
    }
    return summary + QStringLiteral("\n\n") + describeFailures(failures);
}

void ConversionRun::setProgress(float value) {
    m_progress = value;
    Q_EMIT progressChanged(value);
}

void ConversionRun::start() {
    // A second press during a run would start a second batch over the same
    // outputs; after an abandon the program is ending.
    if (m_running || m_abandoned)
        return;
    const EncoderLookup encoder = findEncoder(m_programFolder, m_searchPaths);
    if (m_entries.count() <= 0) {
        Q_EMIT finished(noFilesMessage(), QString());
        return;
    }

    m_running = true;
    const QPointer<ConversionRun> self(this);
    const int files = m_entries.count();
    int attempted = 0;
    QList<ConversionFailure> failures;
    for (int position = 1; position <= files; ++position) {
        Q_EMIT busyChanged(true);
        const int current = m_entries.count();
        // Entries removed during the run: what is left beyond them is gone.
        if (position > current)
            break;
        setProgress(float(double(position) / double(current) * 100.0));
        const QString source = m_entries.textAt(position);
        Q_EMIT converting(position, source);
        const QString failure = (!self || m_abandoned) ? QString() : convert(source, encoder);
        // Abandoned, or destroyed with the window: nothing more may happen.
        if (!self || m_abandoned) {
            if (self)
                m_running = false;
            return;
        }
        ++attempted;
        if (!failure.isEmpty())
            failures.append({source, failure});
    }

    Q_EMIT busyChanged(false);
    setProgress(0.0f);
    QString details;
    const QString message = endMessage(attempted, failures, &details);
    Q_EMIT finished(message, details);
    if (self)
        m_running = false;
}

void ConversionRun::abandon() {
    m_abandoned = true;
    m_waiter.abandon();
}

QString ConversionRun::convert(const QString& source, const EncoderLookup& encoder) {
    if (source.isEmpty())
        return QStringLiteral("the list entry is empty, so there is nothing to convert");
    const QString output = outputPathFor(source);
    if (isSameFile(source, output))
        return QStringLiteral("its output %1 would be the source file itself, "
                              "so it was left as it is")
            .arg(output);
    if (!encoder.found())
        return QStringLiteral("the encoder was not found (%1)").arg(encoder.whereLooked());

    const FileState before = FileState::of(output);
    const ChildEnd end = m_waiter.runAndWait(encoder.program, encoderArguments(source, output));
    switch (end.kind) {
    case ChildEnd::Kind::Abandoned:
        m_abandoned = true;
        return {};
    case ChildEnd::Kind::FailedToStart:
        return QStringLiteral("the encoder %1 could not be started (%2)")
            .arg(encoder.program, end.errorText);
    case ChildEnd::Kind::Crashed:
        return withLastLine(QStringLiteral("the encoder was killed or crashed"), end.lastErrorLine);
    case ChildEnd::Kind::Exited:
        break;
    }
    if (end.exitCode != 0)
        return withLastLine(QStringLiteral("the encoder ended with exit code %1").arg(end.exitCode),
                            end.lastErrorLine);
    const FileState after = FileState::of(output);
    if (!after.exists || after == before)
        return withLastLine(
            QStringLiteral("the encoder ended with exit code 0 but wrote no output %1").arg(output),
            end.lastErrorLine);
    return {};
}
