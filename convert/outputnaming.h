// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The path without the extension of its file name: the text before the last
// "." of the file name. A dot in a folder name never counts, so the output
// stays in the source's folder; a file name without a "." is returned whole.
QString stripExtension(const QString& path);

// Where the encoder writes the conversion of a source: beside it, with the
// extension "wmv". Empty for an empty source, which has nothing to convert.
QString outputPathFor(const QString& source);

// True when the two paths name one file: the same text, another spelling of
// it ("./a.wmv" and "a.wmv"), a symbolic or hard link to it, or a name that
// differs only in letter case on a file system that ignores case.
bool isSameFile(const QString& first, const QString& second);
