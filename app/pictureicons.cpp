// SPDX-License-Identifier: MIT
#include "app/pictureicons.h"

#include "app/picturebutton.h"

#include <QDir>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
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

// A button's picture that reads its sharper copy only when something asks
// for more pixels than the plain one has: most screens never do, and the
// window shows sooner without decoding it. All else is Qt's own icon.
class ButtonPictureEngine : public QIconEngine {
  public:
    explicit ButtonPictureEngine(const QString& name)
        : m_name(name), m_plainSize(PictureButton::PictureSize, PictureButton::PictureSize),
          m_icon(readPicture(name)) {}

    QIconEngine* clone() const override { return new ButtonPictureEngine(*this); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        takeSharperFor(rect.size() * painter->device()->devicePixelRatio());
        m_icon.paint(painter, rect, Qt::AlignCenter, mode, state);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        takeSharperFor(size);
        return m_icon.pixmap(size, 1.0, mode, state);
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        takeSharperFor(size);
        return m_icon.actualSize(size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        takeSharperFor(m_plainSize * 2);
        return m_icon.availableSizes(mode, state);
    }

    bool isNull() override { return m_icon.isNull(); }

  private:
    void takeSharperFor(const QSize& size) {
        if (m_hasSharper ||
            (size.width() <= m_plainSize.width() && size.height() <= m_plainSize.height()))
            return;
        m_hasSharper = true;
        m_icon.addPixmap(readPicture(m_name + QStringLiteral("@2x"), 2));
    }

    QString m_name;
    QSize m_plainSize;
    QIcon m_icon;
    bool m_hasSharper = false;
};

} // namespace

QIcon buttonPicture(const QString& name) {
    return QIcon(new ButtonPictureEngine(name));
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
