#include "textsearch.h"

namespace finder {

qsizetype FindDown(QStringView text, QStringView word, qsizetype from)
{
    if (word.isEmpty() || from < 0 || from > text.size())
        return -1;
    return text.indexOf(word, from, Qt::CaseSensitive);
}

qsizetype FindUp(QStringView text, QStringView word, qsizetype end)
{
    end = qMin(end, text.size());
    const qsizetype lastStart = end - word.size();
    // lastIndexOf counts a negative start from the end of the text: stop before it can.
    if (word.isEmpty() || lastStart < 0)
        return -1;
    return text.lastIndexOf(word, lastStart, Qt::CaseSensitive);
}

ReplaceSpan ReplaceAllSpan(QStringView text, QStringView word, QStringView replacement)
{
    ReplaceSpan span;
    if (word.isEmpty())
        return span;
    qsizetype p = text.indexOf(word, 0, Qt::CaseSensitive);
    if (p < 0)
        return span;
    span.start = p;
    span.inserted.reserve(text.size() - p);
    qsizetype copied = p; // text before this index is already in the result
    while (p >= 0) {
        span.inserted.append(text.sliced(copied, p - copied));
        span.inserted.append(replacement);
        ++span.count;
        copied = p + word.size();
        p = text.indexOf(word, copied, Qt::CaseSensitive);
    }
    span.removed = copied - span.start;
    return span;
}

QString ReplaceAll(QStringView text, QStringView word, QStringView replacement)
{
    const ReplaceSpan span = ReplaceAllSpan(text, word, replacement);
    if (span.count == 0)
        return text.toString();
    QString result;
    result.reserve(text.size() - span.removed + span.inserted.size());
    result.append(text.first(span.start));
    result.append(span.inserted);
    result.append(text.sliced(span.start + span.removed));
    return result;
}

QString ReplaceAllQuestion(const QString &word, const QString &replacement)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("以下の一括置換を実行しますか？") + crlf + crlf + word + crlf + QStringLiteral("↓") + crlf
        + replacement;
}

} // namespace finder
