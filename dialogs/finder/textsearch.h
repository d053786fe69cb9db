#pragma once

// The search rules of the find / replace dialog, over plain text. Matching is exact: character
// by character, letter case and width significant. Positions count UTF-16 units from 0, as the
// editing box counts its cursor positions.

#include <QString>
#include <QStringView>

namespace finder {

// The first occurrence of word that begins at index from or later; -1 when there is none or the
// word is empty. Never wraps around the end.
qsizetype FindDown(QStringView text, QStringView word, qsizetype from);

// The last occurrence of word that ends at or before index end, that is, lies wholly before it;
// -1 when there is none or the word is empty. Never wraps around the start.
qsizetype FindUp(QStringView text, QStringView word, qsizetype end);

// What one Replace all changes: the characters from start, removed of them, give way to
// inserted. Only the span between the first and the last occurrence is named, so the editing
// box rewrites no more than it has to.
struct ReplaceSpan {
    qsizetype start = 0;
    qsizetype removed = 0;
    QString inserted;
    qsizetype count = 0; // occurrences replaced
};

// Replaces every occurrence of word by replacement in one pass from the start to the end:
// occurrences do not overlap and inserted text is not searched again. An empty word replaces
// nothing.
ReplaceSpan ReplaceAllSpan(QStringView text, QStringView word, QStringView replacement);

// The whole text after Replace all.
QString ReplaceAll(QStringView text, QStringView word, QStringView replacement);

// The question asked before Replace all.
QString ReplaceAllQuestion(const QString &word, const QString &replacement);

} // namespace finder
