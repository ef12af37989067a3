// SPDX-License-Identifier: MIT
#pragma once

// A temporary program folder whose "ffmpeg" is the fake encoder, a folder for
// source files, and the log the fake keeps of its runs.

#include "convert/conversionreport.h"
#include "convert/encodercommand.h"
#include "convert/encoderoutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

// The whole of a regular file, or nothing: opening a pipe would block.
inline QString fileText(const QString& path) {
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(file.readAll())
               : QString();
}

// An outcome's cause by its name, the whole seconds converted and stated of
// a file that ends early, and the encoder's line where there is one.
inline QString causeText(const FileOutcome& outcome) {
    QString text = QString::fromLatin1(
        QMetaEnum::fromType<FileOutcome::Cause>().valueToKey(int(outcome.cause)));
    if (outcome.cause == FileOutcome::Cause::EndsEarly)
        text += QStringLiteral(" %1 of %2")
                    .arg(int(outcome.secondsConverted))
                    .arg(int(outcome.secondsStated));
    if (!outcome.detail.isEmpty())
        text += u": "_qs + outcome.detail;
    return text;
}

// What the encoder's reader makes of a whole standard error, lines ended by
// line feeds or carriage returns: its findings, and the facts of its listing
// of the source where one ended.
struct ReadOutput {
    EncoderFindings findings;
    std::optional<SourceFacts> listed;
};
inline ReadOutput readOutput(const QString& text) {
    EncoderOutputReader reader(QStringLiteral("/v/a b.mkv"), QStringLiteral("/v/a b.wmv"));
    ReadOutput read;
    QList<EncoderEvent> events;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\r\n]"))))
        events << reader.read(line.trimmed());
    for (const EncoderEvent& event : events + reader.end()) {
        read.findings.take(event);
        if (event.kind == EncoderEvent::Kind::Listed)
            read.listed = factsOf(event.record);
    }
    return read;
}

inline bool makeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// PATH set to one folder for the life of the object, so that only the
// encoders a test puts there are found.
class PathSwap {
  public:
    explicit PathSwap(const QString& path) : m_saved(qgetenv("PATH")) {
        qputenv("PATH", QFile::encodeName(path));
    }
    ~PathSwap() { qputenv("PATH", m_saved); }
    PathSwap(const PathSwap&) = delete;
    PathSwap& operator=(const PathSwap&) = delete;

  private:
    QByteArray m_saved;
};

struct FakeRun {
    qint64 pid = 0;
    QStringList arguments; // argument 0 included
    bool ended = false;
    int code = -1;
    bool epipe = false;
};

class FakeEncoder {
  public:
    FakeEncoder() {
        QDir(m_root.path()).mkpath(QStringLiteral("program"));
        QDir(m_root.path()).mkpath(QStringLiteral("videos"));
        QFile::link(QStringLiteral(FAKE_ENCODER), encoder());
        QFile::link(QStringLiteral(FAKE_ENCODER), probeTool());
        qputenv("FAKEENC_LOG", QFile::encodeName(logPath()));
    }
    ~FakeEncoder() { qunsetenv("FAKEENC_LOG"); }
    FakeEncoder(const FakeEncoder&) = delete;
    FakeEncoder& operator=(const FakeEncoder&) = delete;

    QString programFolder() const { return m_root.filePath(QStringLiteral("program")); }
    QString encoder() const { return programFolder() + QLatin1Char('/') + encoderFileName(); }
    QString probeTool() const { return programFolder() + QLatin1Char('/') + probeFileName(); }
    QString videos() const { return m_root.filePath(QStringLiteral("videos")); }
    QString logPath() const { return m_root.filePath(QStringLiteral("encoder.log")); }
    QString path(const QString& name) const { return m_root.filePath(name); }

    // A source in the videos folder whose lines tell the fake what to do.
    QString source(const QString& name, const QStringList& directives = {}) const {
        const QString file = videos() + QLatin1Char('/') + name;
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write(directives.join(QLatin1Char('\n')).toUtf8());
        return file;
    }

    QList<FakeRun> runs() const {
        QList<FakeRun> all;
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return all;
        for (const QByteArray& line : log.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() >= 3 && fields[0] == "start") {
                FakeRun run;
                run.pid = fields[1].toLongLong();
                for (qsizetype i = 2; i < fields.size(); ++i)
                    run.arguments << QFile::decodeName(
                        fields[i] == "-" ? QByteArray() : QByteArray::fromHex(fields[i]));
                all << run;
            } else if (fields.size() == 4 && fields[0] == "end") {
                for (FakeRun& run : all) {
                    if (run.pid == fields[1].toLongLong() && !run.ended) {
                        run.ended = true;
                        run.code = fields[2].toInt();
                        run.epipe = fields[3] == "epipe=1";
                    }
                }
            }
        }
        return all;
    }

    // A source that the fake probe tool answers for as a 30 s video, long
    // enough to be converted in parts by two encoders.
    QString longSource(const QString& name, QStringList directives) const {
        const QString answer = path(name + u".probe.json"_qs);
        makeFile(answer, R"({"streams": [{"index": 0, "codec_type": "video", "width": 320,
            "height": 240, "avg_frame_rate": "25/1", "start_time": "0.000000",
            "duration": "30.000000"}],
            "format": {"start_time": "0.000000", "duration": "30.000000"}})");
        return source(name, directives << u"probe="_qs + answer);
    }

    // The names in the videos folder, hidden ones included.
    QStringList videoFiles() const {
        return QDir(videos()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // The sources the fake probe tool was asked to read, in order.
    QStringList probed() const {
        QStringList all;
        QFile log(logPath());
        if (log.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : log.readAll().split('\n')) {
                if (const QList<QByteArray> fields = line.split(' ');
                    fields.size() == 3 && fields[0] == "probe")
                    all << QFile::decodeName(QByteArray::fromHex(fields[2]));
            }
        }
        return all;
    }

    // The sources the fake was asked to convert, in order.
    QStringList inputs() const {
        QStringList all;
        for (const FakeRun& run : runs())
            all << run.arguments.value(2);
        return all;
    }

  private:
    QTemporaryDir m_root;
};
