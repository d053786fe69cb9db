#pragma once

// The live counts of the status bar: the text's length in bytes of the document's encoding and
// in characters (UTF-16 units), and the full-width and half-width characters: those that take
// two bytes in code page 932 and those that take one, whatever the document's encoding.

#include "app/linebreaks.h"
#include "codec/textencoding.h"

#include <QString>
#include <QStringView>
#include <vector>

class QTextBlock;
class QTextDocument;

namespace app {

struct TextCounts {
    qint64 bytes = 0;
    qint64 characters = 0;
    qint64 shiftJisBytes = 0; // the same as bytes for a document in code page 932

    qint64 FullWidth() const { return shiftJisBytes - characters; }
    qint64 HalfWidth() const { return 2 * characters - shiftJisBytes; }
    bool operator==(const TextCounts &) const = default;
};

// The counts of a text as it leaves the program: line breaks as the text has them; in code
// page 932 every character it cannot hold as one byte (it leaves as "?").
TextCounts CountText(QStringView text, textencoding::TextEncoding encoding = textencoding::TextEncoding::ShiftJis);

// "3バイト, 2文字（全角: 1文字, 半角: 1文字）" for あa.
QString CountPanelText(const TextCounts &counts);

// The counts of a document kept up to date edit by edit: every paragraph remembers its own
// counts, and an edit recounts only the paragraphs it touched, so a keystroke costs the same
// in a ten-megabyte document as in a short one.
class DocumentCounter {
public:
    // Counts the whole document afresh.
    void Reset(const QTextDocument &document);
    // Counts a text a document is about to be given whole (setPlainText), cut into paragraphs
    // as the document cuts it: quicker than counting the document's own paragraphs afterwards.
    void Reset(QStringView text);
    // Whether the counts have as many paragraphs and characters as the document.
    bool Agrees(const QTextDocument &document) const;
    // Call with the arguments of QTextDocument::contentsChange, after the change.
    void ContentsChange(const QTextDocument &document, int position, int removed, int added);
    // The counts of the document's text with line breaks of the given style, in the encoding.
    TextCounts Counts(
        LineBreakStyle style, textencoding::TextEncoding encoding = textencoding::TextEncoding::ShiftJis) const;

private:
    struct Paragraph {
        qint32 units = 0;
        qint32 bytes = 0;
        qint32 utf8Bytes = 0;
    };
    static Paragraph CountParagraph(QStringView text);
    void Add(const Paragraph &paragraph);

    std::vector<Paragraph> m_paragraphs;
    qint64 m_units = 0; // all paragraphs, without line breaks
    qint64 m_bytes = 0;
    qint64 m_utf8Bytes = 0;
};

} // namespace app
