// SPDX-License-Identifier: MIT
#include "app/messages.h"

#include "convert/conversionreport.h"
#include "filelist/leftoutnames.h"

#include <QFileInfo>
#include <QStringList>
#include <QTranslator>

#include <cmath>

namespace {

// How one kind of list is split between a message and its details.
struct ListRule {
    int inMessage; // entries the message names itself, at most
    int inDetails; // entries the details name, at most
    QStringView separator;
    const char* allListed;   // when the details name every entry
    const char* firstListed; // %n: when they name only the first entries
};

constexpr ListRule FailureList{
    Messages::FailuresInMessage, ConversionReport::FailuresKept, u"\n\n",
    QT_TRANSLATE_NOOP("Messages", " The details list each one with its reason."),
    QT_TRANSLATE_N_NOOP("Messages", " The details list the first %n with their reasons.")};

constexpr ListRule NameList{Messages::NamesInMessage, Messages::NamesInDetails, u"\n",
                            QT_TRANSLATE_NOOP("Messages", " The details list them."),
                            QT_TRANSLATE_N_NOOP("Messages", " The details list the first %n.")};

// The summary with its entries: all in the message when there are few,
// otherwise the first ones in the details and how many more there are.
UserMessage listed(const QString& summary, const QStringList& entries, qsizetype total,
                   const ListRule& rule) {
    const QStringList named = entries.mid(0, rule.inDetails);
    if (total <= rule.inMessage)
        return {summary + QStringLiteral("\n\n") + named.join(rule.separator), QString()};
    QString details = named.join(rule.separator);
    if (total == named.size())
        return {summary + Messages::tr(rule.allListed), details};
    details += Messages::tr("\n\n...and %1 more.").arg(total - named.size());
    return {summary + Messages::tr(rule.firstListed, nullptr, int(named.size())), details};
}

// "0:04", "1:02:03": a length as a player shows it, in whole seconds.
QString clockText(double seconds) {
    const qint64 whole = qint64(std::floor(std::max(seconds, 0.0)));
    if (whole < 3600)
        return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// The cause alone, in plain words.
QString causeText(const FileOutcome& outcome) {
    using Cause = FileOutcome::Cause;
    switch (outcome.cause) {
    case Cause::None:
        return {};
    case Cause::EmptyEntry:
        return Messages::tr("the list entry is empty, so there is nothing to convert");
    case Cause::NotRegularFile:
        return Messages::tr("%1 is not a regular file, so it was not converted")
            .arg(outcome.source);
    case Cause::SourceUnreadable:
        return Messages::tr("you may not read it, so it was not converted");
    case Cause::OutputIsSource:
        return Messages::tr(
                   "its output %1 would be the source file itself, so it was left as it is")
            .arg(outcome.output);
    case Cause::EncoderMissing:
        if (outcome.tool.isEmpty())
            return Messages::tr("the encoder was not found (looked for %1 on PATH)")
                .arg(outcome.toolName);
        return Messages::tr("the encoder was not found (looked for %1 and for %2 on PATH)")
            .arg(outcome.tool, outcome.toolName);
    case Cause::EncoderNotStarted:
        return Messages::tr("the encoder %1 could not be started").arg(outcome.tool);
    case Cause::EncoderCrashed:
        return Messages::tr("the encoder was killed or crashed");
    case Cause::Interrupted:
        return Messages::tr("stopped before it was converted; nothing of it was kept");
    case Cause::ExitCode:
        return Messages::tr("the encoder ended with exit code %1").arg(outcome.exitCode);
    case Cause::NoOutputWritten:
        return Messages::tr("the encoder ended with exit code 0 but wrote no output %1")
            .arg(outcome.output);
    case Cause::OutputExists:
        return Messages::tr("its output %1 already exists, so it was left as it is")
            .arg(outcome.output);
    case Cause::OutputUnwritable:
        return Messages::tr("you may not write its output %1 in that folder").arg(outcome.output);
    case Cause::ReadOnlyFolder:
        return Messages::tr("its output %1 cannot be written: that folder is on a read-only file "
                            "system")
            .arg(outcome.output);
    case Cause::WriteFailed:
        return Messages::tr("writing its output %1 failed").arg(outcome.output);
    case Cause::DiskFull:
        return Messages::tr("the disk is full, so its output could not be written");
    case Cause::NoVideo:
        return Messages::tr("it holds no video to convert");
    case Cause::FirstStreamNotVideo:
        if (!outcome.tool.isEmpty())
            return Messages::tr("its first stream is not a video, and %1 could not find the video")
                .arg(outcome.tool);
        return Messages::tr("its first stream is not a video, and the encoder takes only that one "
                            "without ffprobe to find the video");
    case Cause::PictureSize:
        if (outcome.width > 0 && outcome.height > 0)
            return Messages::tr("the encoder cannot take its picture size of %1\u00d7%2")
                .arg(outcome.width)
                .arg(outcome.height);
        return Messages::tr("the encoder cannot take its picture size");
    case Cause::NoPictures:
        return Messages::tr("its video holds no picture the encoder could read");
    case Cause::SourceMissing:
        return Messages::tr("it was not found");
    case Cause::UnreadableData:
        return Messages::tr("the encoder cannot read it: it is damaged, or not a video");
    case Cause::NoDecoder:
        return Messages::tr("this ffmpeg cannot decode its video");
    case Cause::Unsupported:
        return Messages::tr("the encoder cannot read it: it is encrypted, or stored in a way it "
                            "does not support");
    case Cause::RetakeBlocked:
        return Messages::tr("its output %1 from a first attempt could not be removed, so it was "
                            "not converted again")
            .arg(outcome.output);
    case Cause::EndsEarly:
        return Messages::tr("converted only %1 of %2: the source ends early; it may be damaged or "
                            "incompletely downloaded")
            .arg(clockText(outcome.secondsConverted), clockText(outcome.secondsStated));
    }
    return {};
}

// Rounded up, so that the estimate never promises too little.
QString timeLeft(double seconds) {
    if (seconds < 60.0)
        return Messages::tr("less than a minute left");
    const qint64 minutes = qint64(std::ceil(seconds / 60.0));
    if (minutes < 120)
        return Messages::tr("about %1 min left").arg(minutes);
    return Messages::tr("about %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
}

} // namespace

UserMessage Messages::endOfRun(const ConversionReport& report) {
    if (report.batch <= 0)
        return {tr("No files added."), QString()};
    if (report.failed <= 0 && report.partial <= 0)
        return {tr("Done."), QString()};
    QString summary =
        report.failed > 0
            ? tr("%1 of %n file(s) failed.", nullptr, report.attempted).arg(report.failed)
            : tr("Done.");
    if (report.partial > 0)
        summary +=
            u' ' + tr("%n file(s) could be converted only in part.", nullptr, report.partial);
    QStringList blocks;
    blocks.reserve(report.failures.size());
    for (const FileOutcome& outcome : report.failures)
        blocks << outcome.source + QStringLiteral("\n    ") + reason(outcome);
    return listed(summary, blocks, report.failed + report.partial, FailureList);
}

QString Messages::reason(const FileOutcome& outcome) {
    QString text = causeText(outcome);
    if (!outcome.detail.isEmpty())
        text += outcome.cause == FileOutcome::Cause::EncoderNotStarted
                    ? QStringLiteral(" (%1)").arg(outcome.detail)
                    : QStringLiteral(": ") + outcome.detail;
    if (outcome.outputLeft)
        text += tr("; its incomplete output %1 could not be removed").arg(outcome.output);
    return text;
}

UserMessage Messages::leftOut(const LeftOutNames& names) {
    if (names.isEmpty())
        return {};
    QStringList said;
    if (!names.files.isEmpty())
        said << tr("%n file(s) were left out: their names are not valid UTF-8 text, so they "
                   "cannot be passed to the encoder.",
                   nullptr, int(names.files.size()));
    if (!names.folders.isEmpty())
        said << tr("%n folder(s) could not be entered: their names are not valid UTF-8 text, so "
                   "the files below them are not listed.",
                   nullptr, int(names.folders.size()));
    if (!names.unreadable.isEmpty())
        said << tr("%n folder(s) could not be read: the files below them are not listed.", nullptr,
                   int(names.unreadable.size()));
    // In the order the sentences name them.
    const QStringList all = names.files + names.folders + names.unreadable;
    return listed(said.join(u' '), all, all.size(), NameList);
}

QString Messages::runStatus(const RunProgress& progress) {
    QStringList numbers, names;
    for (const FileProgress& file : progress.files) {
        numbers << QString::number(file.number);
        QString name = QFileInfo(file.source).fileName();
        if (file.share) {
            const int percent = int(*file.share * 100.0);
            name += progress.files.size() == 1 ? tr(" \u2014 %1 %").arg(percent)
                                               : tr(" (%1 %)").arg(percent);
        }
        names << name;
    }
    // "3", "3 and 4", "3, 4 and 5".
    QString under = numbers.value(0);
    if (numbers.size() > 1)
        under = tr("%1 and %2")
                    .arg(numbers.mid(0, numbers.size() - 1).join(QStringLiteral(", ")),
                         numbers.constLast());
    QString status = tr("Converting %1 of %2: %3")
                         .arg(under)
                         .arg(progress.batchSize)
                         .arg(names.join(QStringLiteral(", ")));
    if (progress.secondsLeft)
        status += QStringLiteral(", ") + timeLeft(*progress.secondsLeft);
    return status;
}

QString Messages::runTitle() {
    return tr("Converting videos");
}

QString Messages::fileUnderWayLabel() {
    return tr("File");
}

QString Messages::runEndHeadline() {
    return tr("Conversion finished");
}

QString Messages::runCounts(const ConversionReport& report) {
    if (report.batch <= 0)
        return tr("No files added.");
    const int converted = report.attempted - report.failed - report.partial;
    QStringList counts{tr("%n file(s) converted", nullptr, converted)};
    if (report.failed > 0)
        counts << tr("%n failed", nullptr, report.failed);
    if (report.partial > 0)
        counts << tr("%n converted only in part", nullptr, report.partial);
    return counts.join(QStringLiteral(", "));
}

bool installProgramTexts(QCoreApplication& app) {
    // Owned by the application, so it stays installed as long as texts are asked for.
    auto* catalogue = new QTranslator(&app);
    if (!catalogue->load(QStringLiteral(":/translations/quorvane_en.qm"))) {
        delete catalogue;
        return false;
    }
    return QCoreApplication::installTranslator(catalogue);
}
