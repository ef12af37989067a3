// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Where the encoder writes the conversion of a source: beside it, the source
// up to the last "." of its file name, then ".wmv". A dot in a folder name
// never counts, so the output stays in the source's folder; a file name
// without a "." is kept whole. Empty for an empty source, which has nothing
// to convert.
QString outputPathFor(const QString& source);

// True when the two paths name one file: the same text, another spelling of
// it ("./a.wmv" and "a.wmv"), a symbolic or hard link to it, or a name that
// differs only in letter case on a file system that ignores case.
bool isSameFile(const QString& first, const QString& second);
