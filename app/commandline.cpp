// SPDX-License-Identifier: MIT
#include "app/commandline.h"
#include "common/systemmemory.h"
#include "convert/encoderslots.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <algorithm>

namespace {

// A whole number from 1 to MaxEncoders, in plain digits; "auto" is one per
// processor as far as memory goes.
std::optional<int> encodersFrom(const QString& text) {
    if (text == QLatin1String("auto"))
        return automaticEncoders(QThread::idealThreadCount(), availableMemory());
    // toInt() alone would also take "+4" and " 4".
    const bool digits =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    bool number = false;
    const int count = text.toInt(&number);
    if (!digits || !number || count < 1 || count > MaxEncoders)
        return std::nullopt;
    return count;
}

} // namespace

CommandLine parseCommandLine(const QByteArrayList& arguments, const QString& currentFolder) {
    // Bytes that are not UTF-8 read as U+FFFD, a text that names another
    // file; the texts that were read whole are kept to tell them apart.
    QStringList texts;
    QSet<QString> whole;
    for (const QByteArray& bytes : arguments) {
        const std::optional<QString> text = utf8Text(bytes);
        texts << text.value_or(QString::fromUtf8(bytes));
        if (text)
            whole.insert(*text);
    }
    const QString program = QFileInfo(texts.value(0)).fileName();

    QCommandLineParser parser;
    // "-x.mkv" is then one unknown option, not five.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "Converts Matroska videos (.mkv) to Windows Media videos (.wmv)."));
    parser.addPositionalArgument(
        QStringLiteral("paths"),
        QCoreApplication::translate("CommandLine", "Files to add to the list, in order. A folder "
                                                   "adds every .mkv file in it and below it."),
        QStringLiteral("[file-or-folder...]"));
    // Not the parser's own help option: that one also offers the toolkit's
    // options, which this program does not take.
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")},
        QCoreApplication::translate("CommandLine", "Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption jobs(
        {QStringLiteral("j"), QStringLiteral("jobs")},
        QCoreApplication::translate("CommandLine",
                                    "Converts N files at once, from 1 to %1; \"auto\" takes one "
                                    "per processor as far as the memory allows. Without it, one "
                                    "file at a time.")
            .arg(MaxEncoders),
        QStringLiteral("N"));
    parser.addOption(jobs);
    const QCommandLineOption convert(
        QStringLiteral("convert"),
        QCoreApplication::translate("CommandLine",
                                    "Converts the files without a window, then ends: with 0 when "
                                    "every file was converted, 1 when any was not."));
    parser.addOption(convert);
    const QCommandLineOption json(
        QStringLiteral("json"),
        QCoreApplication::translate("CommandLine", "With --convert: writes each file's outcome "
                                                   "as a line of JSON on standard output."));
    parser.addOption(json);

    CommandLine line;
    if (!parser.parse(texts)) {
        line.exitCode = 2;
        line.errors = QCoreApplication::translate(
                          "CommandLine", "%1: %2\nPut \"--\" before a file whose name begins with "
                                         "\"-\"; \"%1 --help\" lists the options.\n")
                          .arg(program, parser.errorText());
        return line;
    }
    if (parser.isSet(version)) {
        line.exitCode = 0;
        line.output = QCoreApplication::applicationName() + u' ' +
                      QCoreApplication::applicationVersion() + u'\n';
        return line;
    }
    if (parser.isSet(help)) {
        line.exitCode = 0;
        // Read before the toolkit starts, the parser does not know the program's name.
        line.output = parser.helpText().replace(QStringLiteral("<executable_name>"), program);
        return line;
    }
    if (parser.isSet(jobs)) {
        const QString text = parser.value(jobs);
        const std::optional<int> encoders = encodersFrom(text);
        if (!encoders) {
            line.exitCode = 2;
            line.errors = QCoreApplication::translate(
                              "CommandLine", "%1: --jobs takes a whole number from 1 to %2 or "
                                             "\"auto\", not \"%3\".\n\"%1 --help\" lists the "
                                             "options.\n")
                              .arg(program, QString::number(MaxEncoders), text);
            return line;
        }
        line.encoders = *encoders;
    }
    line.convert = parser.isSet(convert);
    line.json = parser.isSet(json);
    if ((line.json && !line.convert) || (line.convert && parser.positionalArguments().isEmpty())) {
        line.exitCode = 2;
        line.errors = QCoreApplication::translate(
                          "CommandLine", "%1: --convert needs a file or folder to convert, and "
                                         "--json goes with --convert.\n\"%1 --help\" lists the "
                                         "options.\n")
                          .arg(program);
        return line;
    }
    const QDir folder(currentFolder);
    for (const QString& path : parser.positionalArguments()) {
        if (!whole.contains(path))
            line.leftOut.files << path;
        else // an empty text names no file, and must not become the current folder
            line.paths << (path.isEmpty() ? path : folder.absoluteFilePath(path));
    }
    return line;
}
