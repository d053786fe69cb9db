#pragma once

// A draft: the text of a modified document kept on the local disk, with what it belongs to, so
// that a crash or a power cut loses nothing typed. Its file is plain UTF-8 a person can read:
// a first line naming the format, "Key: value" lines, a blank line, then the text as it is.
// It never holds the password.

#include "app/linebreaks.h"
#include "codec/textencoding.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace app {

struct Draft {
    QString server; // the server the document belongs to
    QString folder, file; // both empty: untitled
    QString version; // the server version the text was based on; empty when unknown
    LineBreakStyle lineBreaks = LineBreakStyle::CrLf;
    QDateTime changed; // when the text was last changed
    QString text; // with its line breaks
    textencoding::TextEncoding encoding = textencoding::TextEncoding::ShiftJis; // the document's, for its save
};

QByteArray EncodeDraft(const Draft &draft);
// Nothing when the bytes are not a draft this program wrote.
std::optional<Draft> DecodeDraft(const QByteArray &bytes);

// The start-up question offering a draft back: the document it is and when it last changed;
// when it belongs to another server than `server`, that it comes back untitled.
QString RestoreQuestion(const Draft &draft, const QString &server);
// Whether a restored draft may be bound to its file again: only on the server it came from.
bool BelongsToServer(const Draft &draft, const QString &server);

} // namespace app
