// SPDX-License-Identifier: MIT
#include "app/cursorpicture.h"

#include "common/cursorfile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

std::optional<QCursor> loadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // Qt's ico plugin reads cursor files as well; name the format so the
    // reader does not go by the file name.
    QImageReader reader(&buffer, cursorHotspot(bytes) ? "cur" : "ico");
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;

    const QPoint hotspot = cursorHotspot(bytes).value_or(QPoint(-1, -1));
    return QCursor(QPixmap::fromImage(image), hotspot.x(), hotspot.y());
}
