// SPDX-License-Identifier: MIT
#include "filelist/droppedfiles.h"

#include <QDir>
#include <QMimeData>
#include <QSysInfo>
#include <QUrl>

namespace {

bool isThisMachine(const QString& host, const QString& machine) {
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           host.compare(machine, Qt::CaseInsensitive) == 0;
}

} // namespace

std::optional<DroppedFiles> droppedFiles(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty())
        return std::nullopt;
    const QString machine = QSysInfo::machineHostName();
    DroppedFiles dropped;
    dropped.paths.reserve(urls.size());
    for (const QUrl& url : urls) {
        if (!url.isLocalFile() || !isThisMachine(url.host(), machine))
            return std::nullopt;
        QUrl local = url;
        local.setHost(QString()); // else the host would become part of the path
        const QString path = QDir::toNativeSeparators(local.toLocalFile());
        if (path.isEmpty())
            return std::nullopt;
        // The text form shows bytes that are not UTF-8 as U+FFFD, and so
        // names a file that is not there: those are told, not added.
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        (utf8Text(bytes) ? dropped.paths : dropped.leftOut.files) << path;
    }
    return dropped;
}

Qt::DropAction dropActionFor(Qt::DropActions possible) {
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    if (possible & Qt::LinkAction)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}
