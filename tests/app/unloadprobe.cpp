// The program's own ending, watched from outside by tst_conversionunload: the
// real main window, wired to quit as the program is, starts a conversion and
// is closed as soon as the encoder has started. Prints how many messages it
// was shown. Arguments: program folder, the encoder's log, then the entries.

#include "app/form1.h"
#include "testservices.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4)
        return 2;
    const QString log = arguments[2];

    ScriptedDialogs dialogs;
    Form1 window(testServices(arguments[1], &dialogs));
    QObject::connect(&window, &Form1::unloading, &app, &QCoreApplication::quit);
    for (const QString& entry : arguments.mid(3))
        fileList(window).appendEntry(entry);
    window.show();

    QTimer encoderStarted;
    QObject::connect(&encoderStarted, &QTimer::timeout, &window, [&] {
        if (QFileInfo(log).size() > 0) {
            encoderStarted.stop();
            window.close();
        }
    });
    QTimer::singleShot(0, &window, [&] {
        encoderStarted.start(10);
        window.findChild<QPushButton*>(QStringLiteral("Check2"))->click();
    });
    // Never hang a test run when the encoder does not start.
    QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(3); });

    const int code = QApplication::exec();
    QTextStream(stdout) << "messages " << dialogs.messages.size() << Qt::endl;
    return code;
}
