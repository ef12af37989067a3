#include "filelist/droppedfiles.h"

#include <QDir>
#include <QMimeData>
#include <QUrl>

std::optional<QStringList> droppedFiles(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty())
        return std::nullopt;
    QStringList paths;
    paths.reserve(urls.size());
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        if (!url.isLocalFile() || path.isEmpty())
            return std::nullopt;
        paths << QDir::toNativeSeparators(path);
    }
    return paths;
}

Qt::DropAction dropActionFor(Qt::DropActions possible) {
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    if (possible & Qt::LinkAction)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}
