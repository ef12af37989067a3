// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QString>

struct ConversionReport;
struct FileOutcome;
struct LeftOutNames;
struct RunProgress;

// A message box's text, and what goes in its expandable details (empty for none).
struct UserMessage {
    QString text;
    QString details;
};

// Words what the run and the adding commands report. A long list stays out of
// the message: a few entries are named in it, more go to the details, and the
// details name only their first entries, then say how many are left.
class Messages {
    Q_DECLARE_TR_FUNCTIONS(Messages)

  public:
    // Failures named in the message itself.
    static constexpr int FailuresInMessage = 3;
    // Left-out names shown in the message itself.
    static constexpr int NamesInMessage = 5;
    // The details name this many left-out names at most: a longer text would
    // only hold up the window that shows it.
    static constexpr int NamesInDetails = 1000;

    Messages() = delete;

    // How the run ended.
    static UserMessage endOfRun(const ConversionReport& report);
    // Why a file failed or was converted only in part: the cause in plain
    // words, then the encoder's own line where there is one.
    static QString reason(const FileOutcome& outcome);
    // What a walk or a drop could not add and why; an empty text when nothing was left out.
    static UserMessage leftOut(const LeftOutNames& names);
    // The status beside the bar: the file under way, how far it has got and
    // the time left for the batch, each once known.
    static QString runStatus(const RunProgress& progress);

    // What the desktop is told of a run: its name while it goes on, and at
    // its end a headline and the counts ("12 files converted, 1 failed").
    static QString runTitle();
    static QString fileUnderWayLabel();
    static QString runEndHeadline();
    static QString runCounts(const ConversionReport& report);
};

// Installs the program's own texts. They are written in English and the
// catalogue only supplies English plurals, so it is loaded whatever the
// language. Returns whether the catalogue could be loaded.
bool installProgramTexts(QCoreApplication& app);
