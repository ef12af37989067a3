#include "filelist/folderwalk.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// Letter case only breaks ties, so "b.mkv" sorts between "A.mkv" and "C.mkv".
bool nameBefore(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

// A name that does not survive the trip into the system's encoding and back
// cannot be reached through a path the list holds.
bool reachableName(const QString& name) {
    return QFile::decodeName(QFile::encodeName(name)) == name;
}

bool stopped(const std::atomic<bool>* stop) {
    return stop && stop->load(std::memory_order_relaxed);
}

} // namespace

FolderWalk::FolderWalk(const QString& chosenFolder) {
    m_collection << chosenFolder + QDir::separator();
}

bool FolderWalk::listNext(QStringList& entries, const std::atomic<bool>* stop) {
    const QChar separator = QDir::separator();
    while (m_next < m_collection.size()) {
        if (stopped(stop))
            return false;
        const QString folder = m_collection.at(m_next++);
        // The real folder behind any links: met before means a link cycle or
        // a second way into a folder already listed.
        const QFileInfo folderInfo(folder);
        const QString realFolder = folderInfo.canonicalFilePath();
        if (realFolder.isEmpty() || !folderInfo.isReadable() || m_seen.contains(realFolder))
            continue;
        m_seen.insert(realFolder);
        m_listed << folder;

        // One pass over the folder, hidden names included; links count as
        // what they point at, and pipes, devices and dangling links are
        // neither files nor folders.
        QStringList files;
        QStringList subfolders;
        QDirIterator names(folder, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
        while (names.hasNext()) {
            if (stopped(stop))
                return false;
            names.next();
            const QFileInfo entry = names.fileInfo();
            const QString name = entry.fileName();
            if (entry.isDir()) {
                if (!entry.isHidden()) // hidden folders are not walked
                    subfolders << name;
            } else if (name.endsWith(QLatin1String(".mkv"), Qt::CaseInsensitive)) {
                files << name;
            }
        }

        files.removeIf([](const QString& name) {
            // "~" marks temporary and partial files.
            return name.startsWith(QLatin1Char('~')) || !reachableName(name);
        });
        subfolders.removeIf([](const QString& name) { return !reachableName(name); });
        std::sort(files.begin(), files.end(), nameBefore);
        std::sort(subfolders.begin(), subfolders.end(), nameBefore);

        const QString base = folder.chopped(1) + separator;
        for (const QString& file : std::as_const(files))
            entries << base + file;
        for (const QString& subfolder : std::as_const(subfolders))
            m_collection << folder + subfolder + separator;
        return true;
    }
    return false;
}

QStringList walkFolder(const QString& chosenFolder, const std::atomic<bool>* stop) {
    FolderWalk walk(chosenFolder);
    QStringList entries;
    while (walk.listNext(entries, stop)) {
    }
    return entries;
}
