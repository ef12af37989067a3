// SPDX-License-Identifier: MIT
// "Add MKV File(s)" and "Add All MKV File(s) In Folder" through the real
// window: the buttons, the dialog seam, the list and the pointer together.

#include "app/filelistview.h"
#include "app/form1.h"
#include "app/messages.h"
#include "filelist/dialogselection.h"
#include "filelist/folderwalkjob.h"
#include "foldertree.h"
#include "testservices.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "listtexts.h"

namespace {

QPushButton* button(Form1& form, const char* name) {
    return form.findChild<QPushButton*>(QLatin1String(name));
}

constexpr int ScanTimeout = 20000;

// Answers the toolkit's next file dialog from a timer once it is on screen.
// Should the answer leave it open, it is rejected a second later and the
// trouble recorded, so a test never hangs on a modal window.
class DialogAnswer : public QObject {
  public:
    explicit DialogAnswer(std::function<void(QFileDialog&)> answer) : m_answer(std::move(answer)) {
        connect(&m_timer, &QTimer::timeout, this, &DialogAnswer::poll);
        m_timer.start(20);
    }

    QString trouble; // empty when the dialog came up and the answer closed it

  private:
    static QFileDialog* openDialog() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            if (dialog && dialog->isVisible())
                return dialog;
        }
        return nullptr;
    }

    void poll() {
        ++m_polls;
        QFileDialog* dialog = openDialog();
        if (!dialog) {
            if (m_answeredAt > 0 || m_polls > 500) {
                if (m_answeredAt == 0)
                    trouble = QStringLiteral("no dialog came up");
                m_timer.stop();
            }
            return;
        }
        if (m_answeredAt == 0) {
            m_answeredAt = m_polls;
            m_answer(*dialog);
            return;
        }
        if (m_polls - m_answeredAt < 50)
            return;
        const auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        trouble = QStringLiteral("still open after the answer; name box \"%1\", selected %2")
                      .arg(name ? name->text() : QString(), dialog->selectedFiles().join(u','));
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) {
                trouble += QStringLiteral("; message \"%1\"").arg(box->text());
                box->reject();
            }
        }
        dialog->reject();
        m_timer.stop();
    }

    std::function<void(QFileDialog&)> m_answer;
    QTimer m_timer;
    int m_polls = 0;
    int m_answeredAt = 0;
};

} // namespace

class AddCommandsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void addFiles_data();
    void addFiles();
    void folderCancelChangesNothing();
    void folderScanShowsHourglassThenAppends();
    void secondFolderCommandIgnoredDuringScan();
    void entriesAddedDuringScanStayAhead();
    void closingMidScan_data();
    void closingMidScan();
    void dropTellsLeftOutAfterwards();
    void realOpenDialog_data();
    void realOpenDialog();
    void realFolderDialog();
    void firstDialogsOpenInVideos_data();
    void firstDialogsOpenInVideos();

  private:
    QTemporaryDir m_programFolder;
    QTemporaryDir m_settings;
};

void AddCommandsTest::initTestCase() {
    // The toolkit's own dialogs are widgets a test can find and answer.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    // Their history is written to the settings folder found first, which would
    // be a temporary home made by a test, written again after it is gone.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    QVERIFY(m_programFolder.isValid());
    QVERIFY(installProgramTexts(*qApp));
}

void AddCommandsTest::addFiles_data() {
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<QStringList>("added");

    QTest::newRow("cancel") << QStringList{} << QStringList{};
    QTest::newRow("one file, doubled separators kept")
        << QStringList{"/v//films/a.mkv"} << QStringList{"/v//films/a.mkv"};
    QTest::newRow("several, dialog order")
        << QStringList{"/v/films/c.mkv", "/v/films/a.mkv", "/v/films/b.mkv"}
        << QStringList{"/v/films/c.mkv", "/v/films/a.mkv", "/v/films/b.mkv"};
    QTest::newRow("several in the root")
        << QStringList{"/a.mkv", "/b.mkv"} << QStringList{"/a.mkv", "/b.mkv"};
    QTest::newRow("already listed, added again")
        << QStringList{"/old/x.mkv"} << QStringList{"/old/x.mkv"};
    QTest::newRow("typed names: other type, missing file")
        << QStringList{"/v/notes.txt", "/v/not-there.mkv"}
        << QStringList{"/v/notes.txt", "/v/not-there.mkv"};
}

void AddCommandsTest::addFiles() {
    QFETCH(QStringList, answer);
    QFETCH(QStringList, added);
    ScriptedDialogs dialogs;
    dialogs.fileAnswers << answer;
    TestForm1 form(testServices(m_programFolder.path(), &dialogs));
    fileList(form).appendEntry(QStringLiteral("/old/x.mkv"));
    QSignalSpy pointer(&pointerRules(form), &PointerRules::codeChanged);

    button(form, "Check1")->click();

    QCOMPARE(texts(fileList(form)), QStringList{"/old/x.mkv"} + added);
    QCOMPARE(dialogs.fileTitles,
             QStringList{"Add File(s) - Hold Ctrl or Shift to select multiple files"});
    QCOMPARE(dialogs.fileFilters, QStringList{"Matroska Video (*.mkv)"});
    QVERIFY(dialogs.folderTitles.isEmpty());
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(pointer.count(), 0);
}

void AddCommandsTest::folderCancelChangesNothing() {
    ScriptedDialogs dialogs; // no answer: cancel
    TestForm1 form(testServices(m_programFolder.path(), &dialogs));
    fileList(form).appendEntry(QStringLiteral("/old/x.mkv"));
    QSignalSpy pointer(&pointerRules(form), &PointerRules::codeChanged);

    button(form, "Check3")->click();

    QCOMPARE(dialogs.folderTitles, QStringList{"Please select folder to add:"});
    QVERIFY(!form.session.folderWalk().running());
    QCOMPARE(pointer.count(), 0);
    QCOMPARE(texts(fileList(form)), QStringList{"/old/x.mkv"});
    QVERIFY(dialogs.messages.isEmpty());
}

void AddCommandsTest::folderScanShowsHourglassThenAppends() {
    QTemporaryDir tree;
    QVERIFY(makeTree(tree.path(), {"top.mkv", "A/a.MKV", "A/A1/deep.mkv", "B/~b.mkv", "B/b.mkv",
                                   ".hidden/h.mkv", "other.txt"}));
    ScriptedDialogs dialogs;
    dialogs.folderAnswers << tree.path();
    TestForm1 form(testServices(m_programFolder.path(), &dialogs));
    fileList(form).appendEntry(QStringLiteral("/old/x.mkv"));
    QSignalSpy pointer(&pointerRules(form), &PointerRules::codeChanged);
    auto* walk = &form.session.folderWalk();
    QSignalSpy finished(walk, &FolderWalkJob::finished);

    button(form, "Check3")->click();
    QCOMPARE(int(pointerRules(form).code()), 11);
    QVERIFY(walk->running());
    QCOMPARE(fileList(form).count(), 1); // the entries come at the end
    // Hovering a button during the walk leaves the hourglass alone.
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(button(form, "Check1"), &move);
    QCOMPARE(int(pointerRules(form).code()), 11);

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, ScanTimeout);
    QCOMPARE(finished.at(0).at(0).toInt(), 4);
    QCOMPARE(texts(fileList(form)),
             QStringList{"/old/x.mkv"} +
                 underRoot(tree.path(), {"top.mkv", "A/a.MKV", "B/b.mkv", "A/A1/deep.mkv"}));
    QCOMPARE(int(pointerRules(form).code()), 0);
    QCOMPARE(pointer.count(), 2);
    QCOMPARE(int(pointer.at(0).at(0).value<PointerCode>()), 11);
    QCOMPARE(int(pointer.at(1).at(0).value<PointerCode>()), 0);
    QVERIFY(!walk->running());
    QVERIFY(dialogs.messages.isEmpty());
}

void AddCommandsTest::secondFolderCommandIgnoredDuringScan() {
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(makeTree(first.path(), {"a.mkv", "sub/b.mkv"}));
    QVERIFY(makeTree(second.path(), {"c.mkv"}));
    ScriptedDialogs dialogs;
    dialogs.folderAnswers << first.path() << second.path();
    TestForm1 form(testServices(m_programFolder.path(), &dialogs));
    auto* walk = &form.session.folderWalk();
    QSignalSpy finished(walk, &FolderWalkJob::finished);

    button(form, "Check3")->click();
    button(form, "Check3")->click(); // ignored: no dialog, no second walk
    QCOMPARE(dialogs.folderTitles.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, ScanTimeout);
    const QStringList firstEntries = underRoot(first.path(), {"a.mkv", "sub/b.mkv"});
    QCOMPARE(texts(fileList(form)), firstEntries);

    // Once the walk is over the command works again.
    button(form, "Check3")->click();
    QCOMPARE(dialogs.folderTitles.size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, ScanTimeout);
    QCOMPARE(texts(fileList(form)), firstEntries + underRoot(second.path(), {"c.mkv"}));
    QCOMPARE(int(pointerRules(form).code()), 0);
}

void AddCommandsTest::entriesAddedDuringScanStayAhead() {
    // The walk's entries go in only once it has ended, so files added by other
    // means while it walks come before them, never between them.
    QTemporaryDir tree;
    QVERIFY(makeTree(tree.path(), {"a.mkv", "b.mkv", "sub/c.mkv"}));
    ScriptedDialogs dialogs;
    dialogs.folderAnswers << tree.path();
    dialogs.fileAnswers << QStringList{"/v/picked.mkv"};
    TestForm1 form(testServices(m_programFolder.path(), &dialogs));
    QSignalSpy finished(&form.session.folderWalk(), &FolderWalkJob::finished);

    button(form, "Check3")->click();
    button(form, "Check1")->click(); // the open dialog still works during a walk
    QCOMPARE(texts(fileList(form)), QStringList{"/v/picked.mkv"});
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, ScanTimeout);
    QCOMPARE(texts(fileList(form)), QStringList{"/v/picked.mkv"} +
                                        underRoot(tree.path(), {"a.mkv", "b.mkv", "sub/c.mkv"}));
}

void AddCommandsTest::closingMidScan_data() {
    QTest::addColumn<bool>("whileAppending");
    QTest::newRow("while walking") << false;
    QTest::newRow("between chunks of the find") << true;
}

void AddCommandsTest::closingMidScan() {
    QFETCH(bool, whileAppending);
    QTemporaryDir tree;
    QStringList layout;
    if (whileAppending) {
        // More than one chunk, so the window can close with only part of it in.
        for (int file = 0; file <= FolderWalkJob::ChunkSize; ++file)
            layout << QStringLiteral("v%1.mkv").arg(file);
    } else {
        // A tree large enough that the walk is still under way when the window closes.
        for (int folder = 0; folder < 400; ++folder)
            layout << QStringLiteral("f%1/g/v.mkv").arg(folder);
    }
    QVERIFY(makeTree(tree.path(), layout));
    ScriptedDialogs dialogs;
    dialogs.folderAnswers << tree.path();
    auto form = std::make_unique<TestForm1>(testServices(m_programFolder.path(), &dialogs));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    auto* walk = &form->session.folderWalk();
    QSignalSpy finished(walk, &FolderWalkJob::finished);
    QSignalSpy unloading(form.get(), &Form1::unloading);

    button(*form, "Check3")->click();
    QVERIFY(walk->running());
    if (whileAppending) {
        // Closed as the first chunk goes in; the loop then ends, as the program's
        // does on unloading, with the rest of the find still to come.
        QEventLoop program;
        connect(form.get(), &Form1::unloading, &program, &QEventLoop::quit);
        int inAtClose = -1;
        connect(&fileList(*form), &QAbstractItemModel::rowsInserted, form.get(), [&] {
            if (inAtClose < 0) {
                inAtClose = fileList(*form).count();
                form->close();
            }
        });
        QTimer::singleShot(ScanTimeout, &program, [&program] { program.exit(1); });
        QCOMPARE(program.exec(), 0);
        QVERIFY2(inAtClose > 0 && inAtClose < layout.size(),
                 qPrintable(QString::number(inAtClose)));
    } else {
        QVERIFY(form->close());
    }
    QCOMPARE(unloading.count(), 1);
    // What the program does next: the window goes, with the walk unfinished.
    form.reset();
    // Anything still queued for the walk runs now, and must not reach the window.
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 0);
}

void AddCommandsTest::dropTellsLeftOutAfterwards() {
    // The message waits until the drop has returned to the file manager.
    ScriptedDialogs dialogs;
    TestForm1 form(testServices(m_programFolder.path(), &dialogs));
    QWidget* surface = form.findChild<FileListView*>()->viewport();
    QMimeData data;
    data.setUrls({QUrl(u"file:///v/a.mkv"_qs), QUrl(u"file:///v/caf%E9.mkv"_qs)});
    const QPoint point = surface->rect().center();
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &enter);
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &drop);

    QVERIFY(drop.isAccepted());
    QCOMPARE(texts(fileList(form)), QStringList{"/v/a.mkv"});
    QVERIFY(dialogs.messages.isEmpty());
    QTRY_COMPARE(dialogs.messages.size(), 1);
    QVERIFY2(dialogs.messages.first().text.contains(u"/v/caf\ufffd.mkv"_qs),
             qPrintable(dialogs.messages.first().text));
    QTest::qWait(50);
    QCOMPARE(dialogs.messages.size(), 1);
}

void AddCommandsTest::realOpenDialog_data() {
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("added");
    QTest::newRow("typed names, other type too") << true << "\"b.mkv\" \"notes.txt\" \"a.mkv\""
                                                 << QStringList{"b.mkv", "notes.txt", "a.mkv"};
    QTest::newRow("missing file typed")
        << true << "\"a.mkv\" \"missing.mkv\"" << QStringList{"a.mkv", "missing.mkv"};
    QTest::newRow("one missing name") << true << "new.mkv" << QStringList{"new.mkv"};
    QTest::newRow("home folder") << true << "~/Videos/x.mkv" << QStringList{"~/Videos/x.mkv"};
    QTest::newRow("home folder, missing file")
        << true << "\"~/y.mkv\" \"a~/b.mkv\"" << QStringList{"~/y.mkv", "a~/b.mkv"};
    QTest::newRow("cancel") << false << QString() << QStringList{};
    QTest::newRow("chosen in the view") << true << "" << QStringList{"say \"hi\".mkv", "-x.mkv"};
}

void AddCommandsTest::realOpenDialog() {
    // The toolkit's dialog behind the seam, answered from a timer once it is up.
    QFETCH(bool, accept);
    QFETCH(QString, typed);
    QFETCH(QStringList, added);
    QTemporaryDir folder;
    QVERIFY(makeTree(folder.path(), {"a.mkv", "b.mkv", "notes.txt", "say \"hi\".mkv", "-x.mkv"}));
    QTemporaryDir home;
    QVERIFY(makeTree(home.path(), {"Videos/x.mkv"}));
    const QByteArray oldHome = qgetenv("HOME");
    const auto restore = qScopeGuard([&oldHome] { qputenv("HOME", oldHome); });
    qputenv("HOME", QFile::encodeName(home.path()));
    QtUserDialogs dialogs;
    TestForm1 form(testServices(m_programFolder.path(), &dialogs));
    fileList(form).appendEntry(QStringLiteral("/old/x.mkv"));

    QString title;
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QStringList returned;
    DialogAnswer answer([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        filters = dialog.nameFilters();
        mode = dialog.fileMode();
        if (!accept) {
            dialog.reject();
            return;
        }
        dialog.setDirectory(folder.path());
        connect(&dialog, &QFileDialog::filesSelected, this,
                [&](const QStringList& files) { returned = files; });
        // Typed into the name box, as a user would; the Open button then takes it.
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name) {
            // With the focus in the box, as while typing, the toolkit leaves the text alone.
            QApplication::setActiveWindow(&dialog);
            name->setFocus();
            name->setText(typed);
        }
        auto* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("treeView"));
        for (const QString& file : typed.isEmpty() ? added : QStringList()) {
            view->setFocus(); // as a click does; the toolkit then names the files in the box
            view->selectionModel()->select(
                dialog.findChild<QFileSystemModel*>()->index(folder.filePath(file)),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        // Clicked once the toolkit has judged the name, as a user would.
        QTimer::singleShot(20, &dialog, [&dialog] {
            auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
        });
    });

    button(form, "Check1")->click(); // returns once the dialog has closed

    QVERIFY2(answer.trouble.isEmpty(), qPrintable(answer.trouble));
    QCOMPARE(title, QStringLiteral("Add File(s) - Hold Ctrl or Shift to select multiple files"));
    QCOMPARE(filters, QStringList{"Matroska Video (*.mkv)"});
    QCOMPARE(mode, QFileDialog::ExistingFiles);
    // The names typed, whatever their type and whether they exist, come back
    // as paths in the folder, in the order typed...
    // ("~" at the start of a name is the home folder)...
    QStringList paths;
    for (const QString& name : std::as_const(added))
        paths << (name.startsWith(u'~') ? home.path() + name.mid(1) : folder.filePath(name));
    QCOMPARE(returned.join(u'|'), paths.join(u'|'));
    // ...and the entries are what the text form of that answer splits into:
    // the folder, then each name in the dialog's order; one path stays whole.
    QStringList expected = returned;
    if (returned.size() > 1 && !typed.contains(u'~')) {
        expected.clear();
        QString resultText = folder.path();
        for (const QString& path : std::as_const(returned))
            resultText += QChar(u'\0') + QFileInfo(path).fileName();
        expected = splitDialogSelection(resultText);
    }
    QCOMPARE(texts(fileList(form)), QStringList{"/old/x.mkv"} + expected);
}

void AddCommandsTest::realFolderDialog() {
    QTemporaryDir folder;
    QVERIFY(makeTree(folder.path(), {"a.mkv", "sub/b.mkv"}));
    QtUserDialogs dialogs;
    TestForm1 form(testServices(m_programFolder.path(), &dialogs));
    QSignalSpy finished(&form.session.folderWalk(), &FolderWalkJob::finished);

    QString title;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    DialogAnswer answer([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        mode = dialog.fileMode();
        dialog.setDirectory(folder.path());
        QMetaObject::invokeMethod(&dialog, "accept"); // as the Choose button would
    });

    button(form, "Check3")->click();

    QVERIFY2(answer.trouble.isEmpty(), qPrintable(answer.trouble));
    QCOMPARE(title, QStringLiteral("Please select folder to add:"));
    QCOMPARE(mode, QFileDialog::Directory);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, ScanTimeout);
    QCOMPARE(texts(fileList(form)), underRoot(folder.path(), {"a.mkv", "sub/b.mkv"}));
}

void AddCommandsTest::firstDialogsOpenInVideos_data() {
    QTest::addColumn<bool>("videosFolder");
    QTest::newRow("Videos folder") << true;
    QTest::newRow("none: home folder") << false;
}

void AddCommandsTest::firstDialogsOpenInVideos() {
    QFETCH(bool, videosFolder);
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const auto restore = qScopeGuard([&oldHome] { qputenv("HOME", oldHome); });
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    if (videosFolder)
        QVERIFY(QDir(home.path()).mkdir(u"Videos"_qs));
    const QString expected = videosFolder ? home.filePath(u"Videos"_qs) : home.path();

    QtUserDialogs dialogs;
    QStringList opened;
    const auto openedIn = [&opened](QFileDialog& dialog) {
        opened << dialog.directory().absolutePath();
        dialog.reject();
    };
    DialogAnswer files(openedIn);
    dialogs.chooseFiles(nullptr, u"files"_qs, u"Matroska Video (*.mkv)"_qs);
    DialogAnswer folder(openedIn);
    dialogs.chooseFolder(nullptr, u"folder"_qs);
    QVERIFY2(files.trouble.isEmpty() && folder.trouble.isEmpty(), qPrintable(files.trouble));
    QCOMPARE(opened, QStringList({expected, expected}));
}

QTEST_MAIN(AddCommandsTest)
#include "tst_addcommands.moc"
