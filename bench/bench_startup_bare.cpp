// SPDX-License-Identifier: MIT
// The yardstick of bench_startup: the least a Qt Widgets program does to put
// up a window of the program's size and title.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(441, 257);
    window.setWindowTitle(QStringLiteral("Quorvane"));
    window.show();
    return QApplication::exec();
}
