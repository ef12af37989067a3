// SPDX-License-Identifier: MIT
#include "filelist/leftoutnames.h"

#include <QStringDecoder>

std::optional<QString> utf8Text(QByteArrayView bytes) {
    // One decode both checks the bytes and gives the text; a name may well
    // begin with what reads as a byte order mark, and keeps it.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
