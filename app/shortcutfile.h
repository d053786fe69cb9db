#pragma once

// The local shortcut file (.lmk): one line in code page 932 that names a remote file, its
// folder path, a TAB and its file name, ended by CR LF. Only the first line is read; the text
// before its first TAB is the folder, everything after it (further TABs too) the file name.

#include "app/history.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace app {

// More than any folder path and file name the server accepts; the rest of a file is not read.
inline constexpr qint64 SHORTCUT_READ_LIMIT = 64 * 1024;

// The last four characters are ".lmk", in any case.
bool HasShortcutExtension(const QString &path);
// The name chosen in the save dialog, with ".lmk" appended unless it already ends so.
QString ShortcutFilePath(const QString &chosen);

QByteArray ShortcutBytes(const HistoryItem &target);
// The remote file the bytes name; std::nullopt when their first line holds no TAB.
std::optional<HistoryItem> ParseShortcut(QByteArrayView bytes);

// std::nullopt for a name without ".lmk", a file that cannot be read, or one without a TAB.
std::optional<HistoryItem> ReadShortcut(const QString &path);
// Replaces the file whole, or leaves what was there; false when it could not be written.
bool WriteShortcut(const QString &path, const HistoryItem &target);

} // namespace app
