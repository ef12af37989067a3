// SPDX-License-Identifier: MIT
// The yardsticks of bench_startup: the least a Qt Widgets program does to put
// up a window of the program's size and title; with "--button", the least
// that also draws text, with one push button where Start sits; with
// "--window", the program's own controls written plainly, with nothing behind
// them: what the program's first paint cannot do without.

#include <QApplication>
#include <QHeaderView>
#include <QImageReader>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>
#include <QWidget>

namespace {

void addPlainControls(QWidget& window) {
    QPalette white = window.palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Button, Qt::white);
    window.setPalette(white);
    window.setAutoFillBackground(true);

    QFont captionFont(QStringLiteral("Arial"));
    captionFont.setPointSizeF(11.25);
    captionFont.setBold(true);
    const struct {
        const char* picture;
        QString caption;
        int left;
    } buttons[] = {{"film", QStringLiteral("Add MKV File(s)"), 8},
                   {"folder", QStringLiteral("Add All MKV File(s) In Folder"), 152},
                   {"start", QStringLiteral("Start"), 296}};
    for (const auto& button : buttons) {
        // PNG only: else every image plugin is loaded to be asked about the file.
        QImageReader reader(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(button.picture)),
                            "png");
        reader.setAutoDetectImageFormat(false);
        auto* push =
            new QPushButton(QIcon(QPixmap::fromImage(reader.read())), button.caption, &window);
        push->setIconSize(QSize(32, 32));
        push->setFont(captionFont);
        push->setGeometry(button.left, 136, 137, 81);
    }

    auto* model = new QStandardItemModel(0, 1, &window);
    model->setHorizontalHeaderLabels({QStringLiteral("MKV File(s)")});
    auto* list = new QTreeView(&window);
    QFont listFont(QStringLiteral("Arial"));
    listFont.setPointSizeF(9);
    listFont.setBold(true);
    list->setFont(listFont);
    list->setModel(model);
    list->setRootIsDecorated(false);
    list->header()->setStretchLastSection(false);
    list->setColumnWidth(0, 353);
    list->setGeometry(8, 8, 425, 121);

    auto* bar = new QProgressBar(&window);
    bar->setTextVisible(false);
    bar->setGeometry(8, 225, 425, 25);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(441, 257);
    window.setWindowTitle(QStringLiteral("Quorvane"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.contains(QStringLiteral("--button")))
        (new QPushButton(QStringLiteral("Start"), &window))->setGeometry(296, 136, 137, 81);
    else if (arguments.contains(QStringLiteral("--window")))
        addPlainControls(window);
    window.show();
    return QApplication::exec();
}
