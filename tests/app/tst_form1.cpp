// SPDX-License-Identifier: MIT
#include "app/filelistview.h"
#include "app/form1.h"
#include "app/picturebutton.h"
#include "testservices.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

class Form1Test : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initialState();
    void tabOrderAndFocus();
    void captionsFit_data();
    void captionsFit();
    void centresWindowLargerThanScreen();
    void homePageOpensOnceOnSeven();
    void pointerCodes_data();
    void pointerCodes();
    void pointerRulesFollowTheMouse_data();
    void pointerRulesFollowTheMouse();
    void handPictureFromProgramFolder();
    void closingAnnouncesUnload();
    void screenReaderSeesEntriesAsItems();
    void readableOnDarkTheme_data();
    void readableOnDarkTheme();

  private:
    static void moveOver(QWidget* widget) {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    static FileListView* listView(const Form1& form) {
        return form.findChild<FileListView*>(QStringLiteral("ListView1"));
    }
    ScriptedDialogs m_dialogs;
};

void Form1Test::initialState() {
    QGuiApplication::setLayoutDirection(Qt::RightToLeft); // as a right-to-left catalogue does
    const auto restore = qScopeGuard([] { QGuiApplication::setLayoutDirection(Qt::LeftToRight); });
    QTemporaryDir folder;
    TestForm1 form(testServices(folder.path(), &m_dialogs));
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvane"));
    QCOMPARE(form.size(), QSize(441, 257));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
    const QImage icon = form.windowIcon().pixmap(32, 32).toImage();
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(icon.pixelColor(16, 16).alpha(), 0);

    struct Control {
        const char* name;
        QRect geometry;
        QString caption;
    };
    const Control controls[] = {
        {"Command1", QRect(-48, 176, 41, 33), QStringLiteral("Command1")},
        {"Check1", QRect(8, 136, 137, 81), QStringLiteral("Add MKV File(s)")},
        {"Check2", QRect(296, 136, 137, 81), QStringLiteral("Start")},
        {"Check3", QRect(152, 136, 137, 81), QStringLiteral("Add All MKV File(s) In Folder")},
    };
    for (const Control& control : controls) {
        auto* button = form.findChild<QPushButton*>(QLatin1String(control.name));
        QVERIFY2(button, control.name);
        QCOMPARE(button->geometry(), control.geometry);
        QCOMPARE(button->text(), control.caption);
        QCOMPARE(button->accessibleName().isEmpty() ? button->text() : button->accessibleName(),
                 control.caption);
    }
    for (const char* name : {"Check1", "Check2", "Check3"}) {
        auto* button = form.findChild<PictureButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QVERIFY(button->font().bold());
        QCOMPARE(button->palette().color(QPalette::Button), QColor(Qt::white));
    }

    auto* list = listView(form);
    QVERIFY(list);
    // The view shows the window's one batch, not a store of its own.
    QCOMPARE(list->model(), &fileList(form));
    QCOMPARE(list->geometry(), QRect(8, 8, 425, 121));
    QCOMPARE(list->model()->columnCount(), 1);
    QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("MKV File(s)"));
    QCOMPARE(list->columnWidth(0), 353);
    QCOMPARE(list->accessibleName(), QStringLiteral("MKV File(s)"));
    QVERIFY(!list->isHeaderHidden());
    QCOMPARE(list->header()->sectionResizeMode(0), QHeaderView::Interactive);
    QVERIFY(!list->isSortingEnabled());
    QCOMPARE(fileList(form).count(), 0);
    fileList(form).appendEntry(QStringLiteral("/v/a.mkv"));
    QCOMPARE(list->visualRect(fileList(form).index(0)).left(), 0); // paths start at the left
    QCOMPARE(list->toolTip(), QStringLiteral("Drag and drop files here. Double-click item to "
                                             "remove it. Move bar to right and out of window to "
                                             "reveal full names."));
    QCOMPARE(list->font().pointSizeF(), 9.0);
    QVERIFY(list->font().bold());

    auto* bar = form.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
    QVERIFY(bar);
    QCOMPARE(bar->geometry(), QRect(8, 225, 425, 25));
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
    QVERIFY(!bar->isRightToLeft());
    QCOMPARE(bar->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(int(pointerRules(form).code()), 0);
}

void Form1Test::tabOrderAndFocus() {
    QTemporaryDir folder;
    TestForm1 form(testServices(folder.path(), &m_dialogs));
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.findChild<QWidget*>(QStringLiteral("Command1")));

    // Space on the invisible button does nothing: no dialog, no message.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(m_dialogs.fileTitles.isEmpty() && m_dialogs.folderTitles.isEmpty());
    QVERIFY(m_dialogs.messages.isEmpty());

    const QStringList order = {QStringLiteral("Check1"), QStringLiteral("Check2"),
                               QStringLiteral("ListView1"), QStringLiteral("Check3")};
    for (const QString& name : order) {
        QTest::keyClick(&form, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
}

void Form1Test::captionsFit_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("lines");
    QTest::newRow("add files") << QStringLiteral("Check1") << 1;
    QTest::newRow("start") << QStringLiteral("Check2") << 1;
    QTest::newRow("add folder") << QStringLiteral("Check3") << 2;
}

void Form1Test::captionsFit() {
    QFETCH(QString, name);
    QFETCH(int, lines);
    QTemporaryDir folder;
    TestForm1 form(testServices(folder.path(), &m_dialogs));
    auto* button = form.findChild<PictureButton*>(name);
    QVERIFY(button);
    const QRect area = button->captionRect();
    const QFontMetrics metrics(button->font());
    const QRect needed = metrics.boundingRect(
        area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, button->text());
    QVERIFY2(area.contains(needed), qPrintable(QStringLiteral("%1 needs %2x%3 in %4x%5")
                                                   .arg(name)
                                                   .arg(needed.width())
                                                   .arg(needed.height())
                                                   .arg(area.width())
                                                   .arg(area.height())));
    QCOMPARE(needed.height() / metrics.lineSpacing(), lines);
}

void Form1Test::centresWindowLargerThanScreen() {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QWidget big;
    big.setFixedSize(screen.width() + 200, screen.height() + 101);
    Form1::centerOnScreen(big);
    QCOMPARE(big.pos(), QPoint(-100, -51));

    QTemporaryDir folder;
    TestForm1 form(testServices(folder.path(), &m_dialogs));
    QCOMPARE(form.pos(), QPoint((screen.width() - 441) / 2, (screen.height() - 257) / 2));
}

void Form1Test::homePageOpensOnceOnSeven() {
    QTemporaryDir folder;
    for (int draw : {1, 6, 7, 8, 100}) {
        int openings = 0;
        TestForm1 form(testServices(folder.path(), &m_dialogs, draw, &openings));
        QCOMPARE(openings, draw == 7 ? 1 : 0);
    }
}

void Form1Test::pointerCodes_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("expected");
    QTest::newRow("arrow over button") << 0 << u"button"_qs << 99;
    QTest::newRow("hand over button") << 99 << u"button"_qs << 99;
    QTest::newRow("busy over button") << 11 << u"button"_qs << 11;
    QTest::newRow("hand over background") << 99 << u"background"_qs << 0;
    QTest::newRow("arrow over background") << 0 << u"background"_qs << 0;
    QTest::newRow("busy over background") << 11 << u"background"_qs << 11;
    QTest::newRow("work ends") << 11 << u"idle"_qs << 0;
    QTest::newRow("work begins over a button") << 99 << u"busy"_qs << 11;
}

void Form1Test::pointerCodes() {
    QFETCH(int, start);
    QFETCH(QString, event);
    QFETCH(int, expected);
    PointerRules rules;
    if (start == 99)
        rules.pointerOverButton();
    rules.setBusy(start == 11);
    QSignalSpy changes(&rules, &PointerRules::codeChanged);
    if (event == u"button"_qs)
        rules.pointerOverButton();
    else if (event == u"background"_qs)
        rules.pointerOverBackground();
    else
        rules.setBusy(event == u"busy"_qs);
    QCOMPARE(int(rules.code()), expected);
    QCOMPARE(changes.size(), start == expected ? 0 : 1);
}

void Form1Test::pointerRulesFollowTheMouse_data() {
    QTest::addColumn<bool>("busy");
    QTest::newRow("idle") << false;
    QTest::newRow("long work under way") << true;
}

void Form1Test::pointerRulesFollowTheMouse() {
    QFETCH(bool, busy);
    QTemporaryDir folder; // no HAND-M.CUR here
    TestForm1 form(testServices(folder.path(), &m_dialogs));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    if (busy)
        pointerRules(form).setBusy(true);
    const int expectedOverButton = busy ? 11 : 99;
    const int expectedElsewhere = busy ? 11 : 0;

    for (const char* name : {"Check1", "Check2", "Check3"}) {
        moveOver(form.findChild<QWidget*>(QLatin1String(name)));
        QCOMPARE(int(pointerRules(form).code()), expectedOverButton);
        QCOMPARE(form.cursor().shape(), busy ? Qt::WaitCursor : Qt::PointingHandCursor);
        moveOver(name == QByteArray("Check2") ? &progressBar(form) : static_cast<QWidget*>(&form));
        QCOMPARE(int(pointerRules(form).code()), expectedElsewhere);
    }
    moveOver(form.findChild<QWidget*>(QStringLiteral("Check1")));
    moveOver(listView(form)->viewport());
    QCOMPARE(int(pointerRules(form).code()), expectedElsewhere);
    QCOMPARE(form.cursor().shape(), busy ? Qt::WaitCursor : Qt::ArrowCursor);
}

void Form1Test::handPictureFromProgramFolder() {
    QTemporaryDir folder;
    QVERIFY(QFile::copy(QStringLiteral(QUORVANE_BIN_DIR "/HAND-M.CUR"),
                        folder.filePath(QStringLiteral("HAND-M.CUR"))));
    TestForm1 withHand(testServices(folder.path(), &m_dialogs));
    moveOver(withHand.findChild<QWidget*>(QStringLiteral("Check2")));
    QCOMPARE(withHand.cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(withHand.cursor().pixmap().size(), QSize(32, 32));

    // A file of that name that is no picture leaves the toolkit's hand in place.
    QTemporaryDir brokenFolder;
    QFile broken(brokenFolder.filePath(QStringLiteral("HAND-M.CUR")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a cursor");
    broken.close();
    TestForm1 withBroken(testServices(brokenFolder.path(), &m_dialogs));
    moveOver(withBroken.findChild<QWidget*>(QStringLiteral("Check2")));
    QCOMPARE(withBroken.cursor().shape(), Qt::PointingHandCursor);
}

void Form1Test::closingAnnouncesUnload() {
    QTemporaryDir folder;
    TestForm1 form(testServices(folder.path(), &m_dialogs));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy unloading(&form, &Form1::unloading);
    QVERIFY(form.close());
    QCOMPARE(unloading.size(), 1);
    QVERIFY(m_dialogs.messages.isEmpty());
}

void Form1Test::screenReaderSeesEntriesAsItems() {
    QTemporaryDir folder;
    TestForm1 form(testServices(folder.path(), &m_dialogs));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    fileList(form).appendEntry(QStringLiteral("/v/first.mkv"));
    fileList(form).appendEntry(QStringLiteral("/v/second.mkv"));

    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(listView(form));
    QVERIFY(list);
    // The header plus one row per entry, once the view has laid the rows out.
    QTRY_COMPARE(list->childCount(), 3);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("MKV File(s)"));
    QStringList items;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* child = list->child(i);
        if (child && child->role() != QAccessible::ColumnHeader)
            items << child->text(QAccessible::Name);
    }
    QCOMPARE(items, QStringList({QStringLiteral("/v/first.mkv"), QStringLiteral("/v/second.mkv")}));

    for (const char* name : {"Check1", "Check2", "Check3"}) {
        auto* button = form.findChild<QPushButton*>(QLatin1String(name));
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(button);
        QCOMPARE(control->role(), QAccessible::Button);
        QCOMPARE(control->text(QAccessible::Name), button->text());
    }
}

namespace {

// The contrast ratio of two colours, from 1 to 21, as accessibility
// guidelines define it.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](double c) {
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

void Form1Test::readableOnDarkTheme_data() {
    // Each control that sits on a pinned white background, and its text.
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("background");
    QTest::addColumn<int>("text");
    QTest::newRow("window") << "Form1" << int(QPalette::Window) << int(QPalette::WindowText);
    QTest::newRow("button") << "Check2" << int(QPalette::Button) << int(QPalette::ButtonText);
    QTest::newRow("column header")
        << "header" << int(QPalette::Button) << int(QPalette::ButtonText);
    QTest::newRow("progress bar") << "ProgressBar1" << int(QPalette::Base) << int(QPalette::Text);
    // The list keeps the system's colours, dark ones included.
    QTest::newRow("list") << "ListView1" << int(QPalette::Base) << int(QPalette::Text);
}

void Form1Test::readableOnDarkTheme() {
    QFETCH(QString, control);
    QFETCH(int, background);
    QFETCH(int, text);
    const QPalette before = QApplication::palette();
    const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });
    QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2a, 0x2a, 0x2a));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(role, QColor(0xee, 0xee, 0xee));
    QApplication::setPalette(dark);
    QTemporaryDir folder;
    TestForm1 form(testServices(folder.path(), nullptr));
    QWidget* widget = control == u"header"_qs  ? form.findChild<FileListView*>()->header()
                      : control == u"Form1"_qs ? &form
                                               : form.findChild<QWidget*>(control);
    QVERIFY(widget);
    const QPalette& colours = widget->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor back = colours.color(group, QPalette::ColorRole(background));
        const QColor fore = colours.color(group, QPalette::ColorRole(text));
        QVERIFY2(contrast(back, fore) >= 4.5,
                 qPrintable(back.name() + u" behind "_qs + fore.name()));
    }
    if (control == u"ListView1"_qs)
        QCOMPARE(colours.color(QPalette::Base), dark.color(QPalette::Base));
}

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
