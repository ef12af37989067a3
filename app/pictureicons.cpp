// SPDX-License-Identifier: MIT
#include "app/pictureicons.h"

#include <QDir>
#include <QImageReader>
#include <QPixmap>

namespace {

QPixmap readPicture(const QString& name, qreal scale = 1) {
    QImageReader reader(QStringLiteral(":/pictures/%1.png").arg(name), "png");
    // Else every image plugin is loaded, to be asked whether it reads PNG better.
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    image.setDevicePixelRatio(scale);
    return QPixmap::fromImage(std::move(image));
}

} // namespace

QIcon buttonPicture(const QString& name) {
    QIcon picture(readPicture(name));
    picture.addPixmap(readPicture(name + QStringLiteral("@2x"), 2));
    return picture;
}

QIcon programIcon() {
    // The build decides which sizes go in. Picked by hand: a wildcard filter
    // would bring in the regular expression engine, half a megabyte resident.
    QIcon icon;
    const QStringList files =
        QDir(QStringLiteral(":/pictures")).entryList(QDir::Files, QDir::NoSort);
    for (const QString& file : files) {
        if (file.startsWith(QLatin1String("icon-")) && file.endsWith(QLatin1String(".png")))
            icon.addPixmap(readPicture(file.chopped(4)));
    }
    return icon;
}
