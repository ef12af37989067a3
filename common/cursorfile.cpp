// SPDX-License-Identifier: MIT
#include "common/cursorfile.h"

#include <QtEndian>

std::optional<QPoint> cursorHotspot(const QByteArray& curFile) {
    // ICONDIR (6 bytes) followed by the first ICONDIRENTRY (16 bytes); in a
    // cursor file the entry's planes and bit-count fields hold the hotspot.
    constexpr qsizetype headerSize = 6 + 16;
    if (curFile.size() < headerSize)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const uchar*>(curFile.constData());
    const quint16 reserved = qFromLittleEndian<quint16>(bytes);
    const quint16 type = qFromLittleEndian<quint16>(bytes + 2);
    const quint16 count = qFromLittleEndian<quint16>(bytes + 4);
    if (reserved != 0 || type != 2 || count == 0)
        return std::nullopt;
    const quint16 x = qFromLittleEndian<quint16>(bytes + 6 + 4);
    const quint16 y = qFromLittleEndian<quint16>(bytes + 6 + 6);
    return QPoint(x, y);
}
