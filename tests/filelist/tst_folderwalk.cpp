// SPDX-License-Identifier: MIT
// The folder walk over real trees in a temporary folder: what is found, in
// which order, and what is passed over.

#include "filelist/filelistmodel.h"
#include "filelist/folderwalk.h"
#include "filelist/folderwalkjob.h"
#include "foldertree.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Long folder names reach the limit in few levels.
const QByteArray LevelName(200, 'd');

// Makes a chain of folders named LevelName below root whose full path grows past
// what the system opens by path (PATH_MAX), with a video at its bottom. Built
// and removed one level at a time through folder handles, which works for
// any user, root included. Returns the depth made, 0 on failure.
int makeDeepChain(const QString& root, int depth) {
    int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY);
    int made = 0;
    for (; fd >= 0 && made < depth; ++made) {
        if (::mkdirat(fd, LevelName.constData(), 0755) != 0)
            break;
        const int next = ::openat(fd, LevelName.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    if (fd >= 0) {
        const int file = ::openat(fd, "bottom.mkv", O_WRONLY | O_CREAT, 0644);
        if (file >= 0)
            ::close(file);
        ::close(fd);
    }
    return made;
}

void removeDeepChain(int fd, int levels) {
    if (levels == 0) {
        ::unlinkat(fd, "bottom.mkv", 0);
        return;
    }
    const int next = ::openat(fd, LevelName.constData(), O_RDONLY | O_DIRECTORY);
    if (next >= 0) {
        removeDeepChain(next, levels - 1);
        ::close(next);
    }
    ::unlinkat(fd, LevelName.constData(), AT_REMOVEDIR);
}

} // namespace

class FolderWalkTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void entries_data();
    void entries();
    void namesNotUtf8_data();
    void namesNotUtf8();
    void pipesAreNoVideos();
    void chosenFolderEndingInSeparator();
    void rootKeepsDoubledSeparator();
    void linksNeverLoop_data();
    void linksNeverLoop();
    void unreadableFolderIsSkipped();
    void pathTooLongIsSkipped();
    void folderVanishingMidWalk();
    void stopEndsWalk();
    void jobAppendsInChunks_data();
    void jobAppendsInChunks();
};

void FolderWalkTest::entries_data() {
    QTest::addColumn<QStringList>("layout");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("own level only, names sorted")
        << QStringList{"c.mkv", "A.mkv", "b.mkv"} << QStringList{"A.mkv", "b.mkv", "c.mkv"};
    QTest::newRow("breadth first, level by level")
        << QStringList{"B/B1/b1.mkv", "B/b.mkv", "A/A1/A2/a2.mkv",
                       "A/A1/a1.mkv", "A/a.mkv", "top.mkv"}
        << QStringList{"top.mkv",     "A/a.mkv",     "B/b.mkv",
                       "A/A1/a1.mkv", "B/B1/b1.mkv", "A/A1/A2/a2.mkv"};
    QTest::newRow("sub-folders grouped by parent, in order")
        << QStringList{"b/y/2.mkv", "a/z/1.mkv", "a/x/3.mkv"}
        << QStringList{"a/x/3.mkv", "a/z/1.mkv", "b/y/2.mkv"};
    QTest::newRow("tilde files skipped, tilde folders walked")
        << QStringList{"~a.mkv", "~B.MKV", "a~.mkv", "~f/in.mkv"}
        << QStringList{"a~.mkv", "~f/in.mkv"};
    QTest::newRow("any letter case of the extension")
        << QStringList{"a.MKV", "b.Mkv", "c.mKv", "d.mkv"}
        << QStringList{"a.MKV", "b.Mkv", "c.mKv", "d.mkv"};
    QTest::newRow("near misses") << QStringList{"a.mkv.txt", "b.mkvx", "c.mk",
                                                "d.mp4",     "emkv",   "f.mkv "}
                                 << QStringList{};
    QTest::newRow("hidden file found, hidden folder not walked")
        << QStringList{".h.mkv", ".mkv", ".hidden/x.mkv", "seen/.y.mkv", ".hidden/deep/z.mkv"}
        << QStringList{".h.mkv", ".mkv", "seen/.y.mkv"};
    QTest::newRow("folder named like a video is walked, not added")
        << QStringList{"x.mkv/inner.mkv", "x.mkv/sub/"} << QStringList{"x.mkv/inner.mkv"};
    QTest::newRow("links to files count, dangling links do not")
        << QStringList{"real.mkv", "alias.mkv -> real.mkv", "gone.mkv -> nowhere.mkv"}
        << QStringList{"alias.mkv", "real.mkv"};
    QTest::newRow("names with spaces and other scripts")
        << QStringList{"my film.mkv", "Ünïcødé/фильм.mkv", "a'b\"c.mkv"}
        << QStringList{"a'b\"c.mkv", "my film.mkv", "Ünïcødé/фильм.mkv"};
    QTest::newRow("nothing to find")
        << QStringList{"a.txt", "sub/b.avi", "empty/"} << QStringList{};
}

void FolderWalkTest::entries() {
    QFETCH(QStringList, layout);
    QFETCH(QStringList, expected);
    QTemporaryDir root;
    QVERIFY(makeTree(root.path(), layout));
    QCOMPARE(walkFolder(root.path()).entries, underRoot(root.path(), expected));
}

void FolderWalkTest::namesNotUtf8_data() {
    // Names as bytes; folders end in "/". What is left out is told, shown as
    // the system's decoding shows it.
    QTest::addColumn<QByteArrayList>("layout");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QByteArrayList>("leftOut");

    QTest::newRow("file left out, the rest found")
        << QByteArrayList{"caf\xe9.mkv", "ok.mkv"} << QStringList{"ok.mkv"}
        << QByteArrayList{"caf\xe9.mkv"};
    QTest::newRow("folder not entered, so nothing below it")
        << QByteArrayList{"dir\xe9/in.mkv", "dir\xe9/sub/deep.mkv", "b/x.mkv"}
        << QStringList{"b/x.mkv"} << QByteArrayList{"dir\xe9/"};
    QTest::newRow("only what would have been listed is told")
        << QByteArrayList{"caf\xe9.txt", "~caf\xe9.mkv", ".hid\xe9/x.mkv", "p\xe9.mkv -> nowhere"}
        << QStringList{} << QByteArrayList{};
    QTest::newRow("links count as what they point at")
        << QByteArrayList{"real.mkv", "l\xe9.mkv -> real.mkv", "f\xe9 -> sub", "sub/"}
        << QStringList{"real.mkv"} << QByteArrayList{"l\xe9.mkv", "f\xe9/"};
    // A leading byte order mark is part of the name, and must stay in the entry.
    QTest::newRow("valid UTF-8 kept byte for byte")
        << QByteArrayList{"\xef\xbb\xbf"
                          "bom.mkv",
                          "\xef\xbf\xbd.mkv", "caf\xc3\xa9.mkv"}
        << QStringList{u"caf\u00e9.mkv"_qs, u"\ufeffbom.mkv"_qs, u"\ufffd.mkv"_qs}
        << QByteArrayList{};
}

void FolderWalkTest::namesNotUtf8() {
    QFETCH(QByteArrayList, layout);
    QFETCH(QStringList, expected);
    QFETCH(QByteArrayList, leftOut);
    QTemporaryDir root;
    const auto removal = qScopeGuard([&] { removeByteTree(root.path()); });
    QVERIFY(makeByteTree(root.path(), layout));
    const auto shown = [&](bool folders) {
        QStringList texts;
        for (const QByteArray& name : std::as_const(leftOut)) {
            if (name.endsWith('/') == folders)
                texts << root.path() + u'/' + QFile::decodeName(name);
        }
        return texts;
    };

    const FolderWalkResult result = walkFolder(root.path());
    QCOMPARE(result.entries, underRoot(root.path(), expected));
    QCOMPARE(result.leftOut.files, shown(false));
    QCOMPARE(result.leftOut.folders, shown(true));
    // Each entry names its file exactly.
    for (const QString& entry : result.entries)
        QVERIFY2(QFileInfo::exists(entry), qPrintable(entry));
}

void FolderWalkTest::pipesAreNoVideos() {
    // Reading a named pipe would block the encoder for ever.
    QTemporaryDir root;
    QVERIFY(makeTree(root.path(), {"real.mkv", "sub/"}));
    for (const char* pipe : {"pipe.mkv", "sub/pipe.MKV"}) {
        const QByteArray path = QFile::encodeName(root.filePath(QLatin1String(pipe)));
        QCOMPARE(::mkfifo(path.constData(), 0644), 0);
    }
    QCOMPARE(walkFolder(root.path()).entries, underRoot(root.path(), {"real.mkv"}));
}

void FolderWalkTest::chosenFolderEndingInSeparator() {
    // The separator is appended whatever the folder ends in, and every entry
    // below keeps the doubled one, as the chosen root does.
    QTemporaryDir root;
    QVERIFY(makeTree(root.path(), {"a.mkv", "sub/b.mkv"}));
    const QString chosen = root.path() + QLatin1Char('/');
    QCOMPARE(walkFolder(chosen).entries, QStringList({chosen + "/a.mkv", chosen + "/sub/b.mkv"}));
}

void FolderWalkTest::rootKeepsDoubledSeparator() {
    // Only the root's own level is read: enough to see the collection's form.
    FolderWalk walk(QStringLiteral("/"));
    QStringList entries;
    QVERIFY(walk.listNext(entries));
    QCOMPARE(walk.collection().constFirst(), QStringLiteral("//"));
    QVERIFY(walk.collection().size() > 1);
    for (const QString& folder : walk.collection().mid(1)) {
        QVERIFY2(folder.startsWith(QLatin1String("//")) && folder.at(2) != QLatin1Char('/'),
                 qPrintable(folder));
        QVERIFY(folder.endsWith(QLatin1Char('/')));
    }
    for (const QString& entry : entries)
        QVERIFY2(entry.startsWith(QLatin1String("//")), qPrintable(entry));
}

void FolderWalkTest::linksNeverLoop_data() {
    QTest::addColumn<QStringList>("layout");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("link to the parent")
        << QStringList{"a/x.mkv", "a/up -> .."} << QStringList{"a/x.mkv"};
    QTest::newRow("link to itself")
        << QStringList{"a/x.mkv", "a/self -> ."} << QStringList{"a/x.mkv"};
    QTest::newRow("two folders linking to each other")
        << QStringList{"a/x.mkv", "b/y.mkv", "a/tob -> ../b", "b/toa -> ../a"}
        << QStringList{"a/x.mkv", "b/y.mkv"};
    // The first way the walk meets a folder is the one it lists.
    QTest::newRow("link met before the folder itself")
        << QStringList{"real/x.mkv", "alias -> real"} << QStringList{"alias/x.mkv"};
    QTest::newRow("link to the chosen folder from deep down")
        << QStringList{"a/b/c/x.mkv", "a/b/c/home -> ../../.."} << QStringList{"a/b/c/x.mkv"};
}

void FolderWalkTest::linksNeverLoop() {
    QFETCH(QStringList, layout);
    QFETCH(QStringList, expected);
    QTemporaryDir root;
    QVERIFY(makeTree(root.path(), layout));

    FolderWalk walk(root.path());
    QStringList entries;
    int steps = 0;
    while (steps < 1000 && walk.listNext(entries))
        ++steps;
    QVERIFY2(steps < 1000, "the walk did not end");
    QCOMPARE(entries, underRoot(root.path(), expected));
}

void FolderWalkTest::unreadableFolderIsSkipped() {
    QTemporaryDir root;
    QVERIFY(makeTree(root.path(), {"a/x.mkv", "locked/y.mkv", "locked/deeper/z.mkv", "m.mkv"}));
    const QString locked = root.filePath(QStringLiteral("locked"));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    });
    if (QDir(locked).entryList(QDir::Files).contains(QStringLiteral("y.mkv")))
        QSKIP(
            "this user reads folders whatever their permissions (root); see pathTooLongIsSkipped");

    const FolderWalkResult result = walkFolder(root.path());
    QCOMPARE(result.entries, underRoot(root.path(), {"m.mkv", "a/x.mkv"}));
    QCOMPARE(result.leftOut.unreadable, underRoot(root.path(), {"locked/"}));
}

void FolderWalkTest::pathTooLongIsSkipped() {
    // A folder the system will not open by its path: the walk passes over it
    // and keeps what it found elsewhere.
    QTemporaryDir root;
    QVERIFY(makeTree(root.path(), {"first.mkv", "z/last.mkv"}));
    const int depth = 25; // 25 levels of 201 bytes are well past 4096
    const int made = makeDeepChain(root.path(), depth);
    const auto cleanup = qScopeGuard([&] {
        const int fd = ::open(QFile::encodeName(root.path()).constData(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            removeDeepChain(fd, made);
            ::close(fd);
        }
    });
    QCOMPARE(made, depth);

    const FolderWalkResult result = walkFolder(root.path());
    QCOMPARE(result.entries, underRoot(root.path(), {"first.mkv", "z/last.mkv"}));
    QCOMPARE(result.leftOut.unreadable.size(), 1); // the first level past the limit, once
}

void FolderWalkTest::folderVanishingMidWalk() {
    QTemporaryDir root;
    QVERIFY(makeTree(root.path(), {"a/x.mkv", "b/y.mkv", "top.mkv"}));
    FolderWalk walk(root.path());
    QStringList entries;
    QVERIFY(walk.listNext(entries)); // the chosen folder; a and b are queued
    QVERIFY(QDir(root.filePath(QStringLiteral("a"))).removeRecursively());
    while (walk.listNext(entries)) {
    }
    QCOMPARE(entries, underRoot(root.path(), {"top.mkv", "b/y.mkv"}));
    QCOMPARE(walk.collection().size(), 3);
}

void FolderWalkTest::stopEndsWalk() {
    QTemporaryDir root;
    QVERIFY(makeTree(root.path(), {"a/x.mkv", "top.mkv"}));
    std::atomic<bool> stop{true};
    FolderWalk walk(root.path());
    QStringList entries;
    QVERIFY(!walk.listNext(entries, &stop));
    QVERIFY(entries.isEmpty());
}

void FolderWalkTest::jobAppendsInChunks_data() {
    QTest::addColumn<int>("videos");
    QTest::addColumn<int>("insertions");
    QTest::addColumn<QString>("betweenChunks");
    const int overChunk = FolderWalkJob::ChunkSize + 1;
    QTest::newRow("none") << 0 << 0 << QString();
    QTest::newRow("one chunk") << 3 << 1 << QString();
    QTest::newRow("one more than a chunk") << overChunk << 2 << QString();
    QTest::newRow("a drop between chunks comes after the find") << overChunk << 3 << u"append"_qs;
    QTest::newRow("a removal ahead of the find between chunks") << overChunk << 2 << u"remove"_qs;
    // The next chunk goes where the removed one was, not a row further down.
    QTest::newRow("the find's last entry removed between chunks")
        << overChunk << 2 << u"remove last"_qs;
    QTest::newRow("everything removed between chunks") << overChunk << 2 << u"remove all"_qs;
}

void FolderWalkTest::jobAppendsInChunks() {
    // The list gets exactly what the walk found, after what it held, in walk
    // order and in one piece, a chunk per turn of the event loop; the job
    // runs until the last entry is in.
    QFETCH(int, videos);
    QFETCH(int, insertions);
    QFETCH(QString, betweenChunks);
    QTemporaryDir root;
    QStringList layout;
    for (int i = 0; i < videos; ++i)
        layout << QStringLiteral("%1/v%2.mkv").arg(i % 7).arg(i);
    QVERIFY(makeTree(root.path(), layout));
    FileListModel list;
    list.appendEntry(QStringLiteral("/old.mkv"));
    FolderWalkJob job(list);
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy finished(&job, &FolderWalkJob::finished);
    QSignalSpy running(&job, &FolderWalkJob::runningChanged);
    bool runningWhenLast = false;
    connect(&list, &QAbstractItemModel::rowsInserted, this, [&] {
        runningWhenLast = job.running();
        if (inserted.count() == 1 && job.running()) {
            QTimer::singleShot(0, this, [&] {
                if (betweenChunks == u"append"_qs)
                    list.appendEntry(QStringLiteral("/late.mkv"));
                else if (betweenChunks == u"remove"_qs)
                    list.removeEntry(list.index(0));
                else if (betweenChunks == u"remove last"_qs)
                    list.removeEntry(list.index(list.count() - 1));
                else if (betweenChunks == u"remove all"_qs)
                    while (list.count() > 0)
                        list.removeEntry(list.index(0));
            });
        }
    });

    QVERIFY(job.start(root.path()));
    QVERIFY(!job.start(root.path())); // one walk at a time
    QVERIFY(job.running());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
    QCOMPARE(finished.at(0).at(0).toInt(), videos);
    QCOMPARE(inserted.count(), insertions);
    if (insertions > 0)
        QVERIFY(runningWhenLast);
    QVERIFY(!job.running());
    QCOMPARE(running.count(), 2);
    QCOMPARE(running.at(1).at(0).toBool(), false);
    QStringList texts;
    for (int position = 1; position <= list.count(); ++position)
        texts << list.textAt(list.index(position - 1));
    QStringList expected = QStringList{u"/old.mkv"_qs} + walkFolder(root.path()).entries;
    if (betweenChunks == u"append"_qs)
        expected << u"/late.mkv"_qs;
    else if (betweenChunks == u"remove"_qs)
        expected.removeFirst();
    else if (betweenChunks == u"remove last"_qs)
        expected.removeAt(FolderWalkJob::ChunkSize);
    else if (betweenChunks == u"remove all"_qs)
        expected = expected.mid(FolderWalkJob::ChunkSize + 1);
    QCOMPARE(texts, expected);
}

QTEST_GUILESS_MAIN(FolderWalkTest)
#include "tst_folderwalk.moc"
