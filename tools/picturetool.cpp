// SPDX-License-Identifier: MIT
// Turns one of our SVG pictures into a 32 x 32 Windows icon (.ico) or cursor
// (.cur) file, or into a square PNG icon of up to 1024 pixels, at build time, so
// no binary pictures live in the source tree.
//
//   picturetool ico IN.svg OUT.ico
//   picturetool cur IN.svg OUT.cur HOTX HOTY
//   picturetool png IN.svg OUT.png SIZE

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QString>
#include <QSvgRenderer>
#include <QtEndian>

#include <cstdio>
#include <optional>

namespace {

constexpr int side = 32;
constexpr int largestPng = 1024;
constexpr quint16 iconType = 1;
constexpr quint16 cursorType = 2;

void complain(const QString& message) {
    std::fprintf(stderr, "picturetool: %s\n", qPrintable(message));
}

int usage() {
    complain(QStringLiteral("usage: picturetool ico IN.svg OUT.ico\n"
                            "       picturetool cur IN.svg OUT.cur HOTX HOTY\n"
                            "       picturetool png IN.svg OUT.png SIZE"));
    return 2;
}

void put16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof bytes);
}

void put32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof bytes);
}

std::optional<quint16> coordinate(const char* text) {
    bool ok = false;
    const int value = QString::fromLocal8Bit(text).toInt(&ok);
    if (!ok || value < 0 || value >= side)
        return std::nullopt;
    return quint16(value);
}

std::optional<QImage> render(const QString& svgPath, int size) {
    QSvgRenderer renderer;
    if (!renderer.load(svgPath) || !renderer.isValid())
        return std::nullopt;
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, size, size));
    }
    // The file stores straight (not premultiplied) alpha.
    return image.convertToFormat(QImage::Format_ARGB32);
}

// One-image ICO/CUR: directory, one entry, then a BMP without its file header
// whose height counts the colour rows and the AND mask rows together.
QByteArray iconFile(const QImage& image, quint16 type, quint16 field1, quint16 field2) {
    constexpr quint32 dirSize = 6 + 16;
    constexpr quint32 infoSize = 40;
    constexpr quint32 colourSize = side * side * 4;
    constexpr quint32 maskStride = ((side + 31) / 32) * 4;
    constexpr quint32 maskSize = maskStride * side;

    QByteArray out;
    out.reserve(int(dirSize + infoSize + colourSize + maskSize));

    put16(out, 0);
    put16(out, type);
    put16(out, 1);

    out.append(char(side));
    out.append(char(side));
    out.append(char(0)); // no palette
    out.append(char(0));
    put16(out, field1); // planes, or hotspot x in a cursor
    put16(out, field2); // bit count, or hotspot y in a cursor
    put32(out, infoSize + colourSize + maskSize);
    put32(out, dirSize);

    put32(out, infoSize);
    put32(out, side);
    put32(out, side * 2);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0); // BI_RGB
    put32(out, colourSize + maskSize);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);

    for (int y = side - 1; y >= 0; --y) {
        for (int x = 0; x < side; ++x) {
            const QRgb pixel = image.pixel(x, y);
            out.append(char(qBlue(pixel)));
            out.append(char(qGreen(pixel)));
            out.append(char(qRed(pixel)));
            out.append(char(qAlpha(pixel)));
        }
    }

    // Old readers that ignore alpha still get see-through where nothing is drawn.
    for (int y = side - 1; y >= 0; --y) {
        QByteArray row(int(maskStride), '\0');
        for (int x = 0; x < side; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(uchar(row[x / 8]) | (0x80u >> (x % 8)));
        }
        out.append(row);
    }
    return out;
}

QByteArray pngFile(const QImage& image) {
    QByteArray out;
    QBuffer buffer(&out);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    return out;
}

bool save(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        complain(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    if (file.write(data) != data.size() || !file.commit()) {
        complain(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 4)
        return usage();
    const QByteArray kind(argv[1]);
    const QString svgPath = QString::fromLocal8Bit(argv[2]);
    const QString outPath = QString::fromLocal8Bit(argv[3]);

    int size = side;
    quint16 type = 0;
    quint16 field1 = 0;
    quint16 field2 = 0;
    if (kind == "ico" && argc == 4) {
        type = iconType;
        field1 = 1;
        field2 = 32;
    } else if (kind == "cur" && argc == 6) {
        const auto x = coordinate(argv[4]);
        const auto y = coordinate(argv[5]);
        if (!x || !y) {
            complain(
                QStringLiteral("hotspot must be two whole numbers from 0 to %1").arg(side - 1));
            return 2;
        }
        type = cursorType;
        field1 = *x;
        field2 = *y;
    } else if (kind == "png" && argc == 5) {
        bool ok = false;
        size = QString::fromLocal8Bit(argv[4]).toInt(&ok);
        if (!ok || size < 1 || size > largestPng) {
            complain(QStringLiteral("size must be a whole number from 1 to %1").arg(largestPng));
            return 2;
        }
    } else {
        return usage();
    }

    const auto image = render(svgPath, size);
    if (!image) {
        complain(QStringLiteral("cannot read SVG picture %1").arg(svgPath));
        return 1;
    }
    const QByteArray data =
        kind == "png" ? pngFile(*image) : iconFile(*image, type, field1, field2);
    if (data.isEmpty()) {
        complain(QStringLiteral("cannot encode %1").arg(outPath));
        return 1;
    }
    return save(outPath, data) ? 0 : 1;
}
