#pragma once

// The file browser's rules over plain values: sizes, listing lines, folder paths, measures.

#include <QString>
#include <QStringList>
#include <optional>

namespace filer {

// Asked before a save replaces a file that already has the chosen name.
inline const QString kReplaceQuestion = QStringLiteral("同じ名前のファイルが既にあります。上書きしますか？");

// The size column's text: "NKB" (whole kilobytes, truncated) from 1024 bytes on, otherwise the
// byte count as received followed by "ﾊﾞｲﾄ". A text that is not a whole decimal number is
// shown exactly as it came.
QString FormatFileSize(const QString &sizeText);

// One line of a file listing: name, TAB, last-modified text, TAB, size.
struct FileEntry {
    QString name;
    QString modified;
    QString size;
};

// Empty lines, lines with fewer than three fields and lines without a name give nothing;
// fields after the third are ignored.
std::optional<FileEntry> ParseFileLine(const QString &line);

// "data/letters/2008" -> "data/letters"; the root "data" has no parent and gives "data".
QString ParentFolderPath(const QString &folderPath);

// "data/a/b" -> "data", "data/a", "data/a/b": every folder a rebuild opens on its way down.
QStringList AccumulatedPaths(const QString &folderPath);

} // namespace filer
