// SPDX-License-Identifier: MIT
#include "filelist/folderwalk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#else
#include <QDirIterator>
#endif

namespace {

// Letter case only breaks ties, so "b.mkv" sorts between "A.mkv" and "C.mkv".
bool nameBefore(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

bool stopped(const std::atomic<bool>* stop) {
    return stop && stop->load(std::memory_order_relaxed);
}

// The names of one folder that the walk keeps, unsorted.
struct FolderNames {
    QStringList files;
    QStringList subfolders;
    QStringList badFiles; // names that are not valid UTF-8, as shown
    QStringList badSubfolders;
};

enum class ReadOutcome { Read, Unreadable, Stopped };

#ifdef Q_OS_UNIX

enum class Kind { Other, File, Folder };

// ".mkv" in any letter case, looked at in the name's own bytes: in UTF-8 no
// byte of a longer character is an ASCII letter or dot.
bool endsWithMkv(QByteArrayView name) {
    if (name.size() < 4)
        return false;
    const QByteArrayView tail = name.last(4);
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return tail[0] == '.' && lower(tail[1]) == 'm' && lower(tail[2]) == 'k' &&
           lower(tail[3]) == 'v';
}

// Links count as what they point at; pipes, sockets, devices and dangling
// links are neither files nor folders. Only links and file systems that do
// not say cost a look at the entry itself.
Kind kindOf(int folder, const dirent& entry) {
    switch (entry.d_type) {
    case DT_DIR:
        return Kind::Folder;
    case DT_REG:
        return Kind::File;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return Kind::Other;
    }
    struct stat target;
    if (::fstatat(folder, entry.d_name, &target, 0) != 0)
        return Kind::Other;
    if (S_ISDIR(target.st_mode))
        return Kind::Folder;
    return S_ISREG(target.st_mode) ? Kind::File : Kind::Other;
}

struct FolderCloser {
    void operator()(DIR* folder) const { ::closedir(folder); }
};

// Read by bytes, as the system stores names: Qt's own listing drops names it
// cannot decode without a word.
ReadOutcome readFolder(const QString& folder, FolderNames& names, const std::atomic<bool>* stop) {
    const std::unique_ptr<DIR, FolderCloser> listing(
        ::opendir(QFile::encodeName(folder).constData()));
    if (!listing)
        return ReadOutcome::Unreadable;
    const int folderHandle = ::dirfd(listing.get());
    while (const dirent* entry = ::readdir(listing.get())) {
        if (stopped(stop))
            return ReadOutcome::Stopped;
        const QByteArrayView name(entry->d_name);
        // Hidden folders (and so "." and "..") are not walked; "~" marks
        // temporary and partial files. A name that can be neither a folder to
        // walk nor a video ends here, with no look at the entry.
        const bool mayBeFolder = !name.startsWith('.');
        const bool mayBeVideo = !name.startsWith('~') && endsWithMkv(name);
        if (!mayBeFolder && !mayBeVideo)
            continue;
        const Kind kind = kindOf(folderHandle, *entry);
        const bool isFolder = kind == Kind::Folder && mayBeFolder;
        if (!isFolder && !(kind == Kind::File && mayBeVideo))
            continue;
        if (std::optional<QString> text = utf8Text(name))
            (isFolder ? names.subfolders : names.files) << std::move(*text);
        else
            (isFolder ? names.badSubfolders : names.badFiles) << QFile::decodeName(entry->d_name);
    }
    return ReadOutcome::Read;
}

// Removed since it was queued: no loss to tell. A path too long to open
// still names a folder, one that cannot be read.
bool gone(const QString& folder) {
    struct stat info;
    return ::stat(QFile::encodeName(folder).constData(), &info) != 0 &&
           (errno == ENOENT || errno == ENOTDIR);
}

#else

// Names here are UTF-16 text, which always reaches the encoder whole.
ReadOutcome readFolder(const QString& folder, FolderNames& names, const std::atomic<bool>* stop) {
    if (!QFileInfo(folder).isReadable())
        return ReadOutcome::Unreadable;
    QDirIterator listing(folder, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    while (listing.hasNext()) {
        if (stopped(stop))
            return ReadOutcome::Stopped;
        listing.next();
        const QFileInfo entry = listing.fileInfo();
        const QString name = entry.fileName();
        if (entry.isDir()) {
            if (!entry.isHidden()) // hidden folders are not walked
                names.subfolders << name;
        } else if (name.endsWith(QLatin1String(".mkv"), Qt::CaseInsensitive) &&
                   !name.startsWith(QLatin1Char('~'))) { // "~" marks temporary and partial files
            names.files << name;
        }
    }
    return ReadOutcome::Read;
}

bool gone(const QString& folder) {
    return !QFileInfo::exists(folder);
}

#endif

void appendSorted(QStringList& to, QStringList& names, const QString& prefix,
                  const QString& suffix = QString()) {
    std::sort(names.begin(), names.end(), nameBefore);
    for (const QString& name : std::as_const(names))
        to << prefix + name + suffix;
}

} // namespace

FolderWalk::FolderWalk(const QString& chosenFolder) {
    m_collection << chosenFolder + QDir::separator();
}

bool FolderWalk::listNext(QStringList& entries, const std::atomic<bool>* stop) {
    const QString separator = QString(QDir::separator());
    while (m_next < m_collection.size()) {
        if (stopped(stop))
            return false;
        const QString folder = m_collection.at(m_next++);
        // The real folder behind any links: met before means a link cycle or
        // a second way into a folder already listed.
        const QString realFolder = QFileInfo(folder).canonicalFilePath();
        if (realFolder.isEmpty()) {
            if (!gone(folder))
                m_leftOut.unreadable << folder;
            continue;
        }
        if (m_seen.contains(realFolder))
            continue;
        FolderNames names;
        const ReadOutcome outcome = readFolder(folder, names, stop);
        if (outcome == ReadOutcome::Stopped)
            return false;
        if (outcome == ReadOutcome::Unreadable) {
            m_leftOut.unreadable << folder;
            continue;
        }
        m_seen.insert(realFolder);

        appendSorted(entries, names.files, folder);
        appendSorted(m_collection, names.subfolders, folder, separator);
        appendSorted(m_leftOut.files, names.badFiles, folder);
        appendSorted(m_leftOut.folders, names.badSubfolders, folder, separator);
        return true;
    }
    return false;
}

FolderWalkResult walkFolder(const QString& chosenFolder, const std::atomic<bool>* stop) {
    FolderWalk walk(chosenFolder);
    FolderWalkResult result;
    while (walk.listNext(result.entries, stop)) {
    }
    result.leftOut = walk.leftOut();
    return result;
}
