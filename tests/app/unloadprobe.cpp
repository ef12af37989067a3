// SPDX-License-Identifier: MIT
// The program's own ending, watched from outside by tst_unload: the real main
// window, wired to quit as the program is, starts long work and is closed as
// soon as that work is under way. Says "closing" just before the close, and at
// the end how many messages it was shown. Arguments:
//   run <program folder> <encoder log> <encoders> <entries...>  a conversion
//       with that many encoders at once, closed once they have all started
//   walk <folder>  a folder walk that hangs, deaf to the stop flag, as a read
//                  in a dead network mount does
//   hold <program folder> <encoder log> <encoders> <entries...>  a conversion
//       that goes on until something outside closes the window, or a signal
//       ends the program as it ends the real one; says "window <X window id>"
//       as soon as Start is pressed

#include "app/form1.h"
#include "app/terminationsignals.h"
#include "testservices.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Encoders started; the encoder log names the probe tool's runs too.
int encodersStarted(const QString& log) {
    QFile file(log);
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count("start ")) : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const bool walk = arguments.value(1) == u"walk"_qs;
    const bool hold = arguments.value(1) == u"hold"_qs;
    if (arguments.size() < (walk ? 3 : 6))
        return 2;
    const int encoders = walk ? 0 : arguments[4].toInt();

    std::atomic<bool> walking{false};
    ScriptedDialogs dialogs;
    dialogs.folderAnswers << arguments[2];
    FolderWalkJob::Walk folderWalk = walkFolder;
    if (walk)
        folderWalk = [&walking](const QString&, const std::atomic<bool>*) {
            walking = true;
            std::this_thread::sleep_for(std::chrono::minutes(2));
            return FolderWalkResult{};
        };
    TestForm1 window(testServices(arguments[2], &dialogs), folderWalk);
    QObject::connect(&window, &Form1::unloading, &app, &QCoreApplication::quit);
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &window, &QWidget::close);
    if (!walk) {
        window.session.run().setEncoders(encoders);
        for (const QString& entry : arguments.mid(5))
            fileList(window).appendEntry(entry);
    }
    window.show();

    QTimer underWay;
    QObject::connect(&underWay, &QTimer::timeout, &window, [&] {
        if (walk ? walking.load() : encodersStarted(arguments[3]) >= encoders) {
            underWay.stop();
            QTextStream(stdout) << "closing" << Qt::endl;
            window.close();
        }
    });
    QTimer::singleShot(0, &window, [&] {
        if (hold)
            QTextStream(stdout) << "window " << window.winId() << Qt::endl;
        else
            underWay.start(10);
        window.findChild<QPushButton*>(walk ? u"Check3"_qs : u"Check2"_qs)->click();
    });
    // Never hang a test run when the work does not start.
    QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(3); });

    const int code = QApplication::exec();
    QTextStream(stdout) << "messages " << dialogs.messages.size() << Qt::endl;
    return code;
}
