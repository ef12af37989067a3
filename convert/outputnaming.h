#pragma once

#include <QString>

// The text before the last "." of the path, folder part included, so a dot in
// a folder name counts when the file name has none ("C:\Old.Videos\clip" gives
// "C:\Old"). A path without any "." is returned whole.
QString stripExtension(const QString& path);

// Where the encoder writes the conversion of a source: beside it, with the
// extension "wmv". Empty for an empty source, which has nothing to convert.
QString outputPathFor(const QString& source);

// True when the two paths name one file: the same text, another spelling of
// it ("./a.wmv" and "a.wmv"), a symbolic or hard link to it, or a name that
// differs only in letter case on a file system that ignores case.
bool isSameFile(const QString& first, const QString& second);
