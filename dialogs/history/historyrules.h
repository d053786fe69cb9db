#pragma once

// The history dialog's rules over plain values: the lines of the server's history listings.

#include <QString>
#include <optional>

namespace history {

// One kept version, or one deleted file or folder (kind and name empty for a version).
struct Item {
    QString id;
    QString kind; // "file" or "folder"
    QString name;
    QString time;
    QString size;
};

// "id TAB time TAB size": nothing for a line without an id or with fewer fields.
std::optional<Item> ParseVersionLine(const QString &line);
// "id TAB kind TAB name TAB time TAB size": nothing also for a nameless line or an unknown kind.
std::optional<Item> ParseDeletedLine(const QString &line);

// The kind column's text: "ファイル" or "フォルダ".
QString KindText(const QString &kind);

// Every byte counted, in groups of three ("12,345ﾊﾞｲﾄ"): versions of one file often differ by a
// few bytes only. A text that is not a whole decimal number is shown exactly as it came.
QString FormatExactSize(const QString &sizeText);

} // namespace history
