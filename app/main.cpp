// SPDX-License-Identifier: MIT
#include "app/appidentity.h"
#include "app/commandline.h"
#include "app/form1.h"
#include "app/messages.h"
#include "app/pictureicons.h"
#include "app/terminalrun.h"
#include "app/terminationsignals.h"
#include "app/userdialogs.h"
#include "convert/batchsession.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace {

// No window, no display, no desktop: the core of the toolkit alone, which
// loads no platform plugin.
int convertWithoutWindow(const CommandLine& commandLine, int& toolkitArgc, char* argv[]) {
    QCoreApplication app(toolkitArgc, argv);
    installProgramTexts(app);
    BatchSession session(QCoreApplication::applicationDirPath());
    session.run().setEncoders(commandLine.encoders);
    TerminalRun run(session, commandLine.json);
    QObject::connect(&run, &TerminalRun::ended, &app, &QCoreApplication::exit);
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &run, &TerminalRun::interrupt);
    // From the event loop: a batch that ends before any encoder starts must
    // find the loop there to end it.
    QMetaObject::invokeMethod(
        &run, [&run, &commandLine] { run.start(commandLine.paths, commandLine.leftOut); },
        Qt::QueuedConnection);
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication::setApplicationName(AppIdentity::name());
    QApplication::setApplicationVersion(AppIdentity::version());
    // Read before the toolkit starts, so that help, version and mistakes need no display.
    const CommandLine commandLine =
        parseCommandLine(QByteArrayList(argv, argv + argc), QDir::currentPath());
    if (commandLine.exitCode) {
        std::fputs(commandLine.output.toLocal8Bit().constData(), stdout);
        std::fputs(commandLine.errors.toLocal8Bit().constData(), stderr);
        return *commandLine.exitCode;
    }

    // The toolkit gets none of the arguments: a path must never be taken for one of its options.
    int toolkitArgc = 1;
    if (commandLine.convert)
        return convertWithoutWindow(commandLine, toolkitArgc, argv);
    QApplication app(toolkitArgc, argv);
    QGuiApplication::setDesktopFileName(AppIdentity::id());
    // Qt's own texts, in the file dialogs above all, follow the user's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    installProgramTexts(app);

    const QString programFolder = QCoreApplication::applicationDirPath();
    BatchSession session(programFolder);
    session.run().setEncoders(commandLine.encoders);
    QtUserDialogs dialogs;
    Form1 window(session, {programFolder, &dialogs, &HomePageVisit::drawFromClock,
                           [](const QUrl& address) { QDesktopServices::openUrl(address); }});
    // Closing the window ends the program at once, even in the middle of long work.
    QObject::connect(&window, &Form1::unloading, &app, &QCoreApplication::quit);
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &window, &QWidget::close);
    window.openPaths(commandLine.paths, commandLine.leftOut);
    window.show();
    // For the dialogs and message boxes; the window itself shows none. Set
    // any earlier, it would be converted for the window in vain as it is made.
    QApplication::setWindowIcon(programIcon());
    return app.exec();
}
