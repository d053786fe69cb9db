#pragma once

// The live counts of the status bar: the text's length in code page 932 bytes and in
// characters (UTF-16 units), and from them the full-width and half-width characters.

#include "app/linebreaks.h"

#include <QString>
#include <QStringView>
#include <vector>

class QTextBlock;
class QTextDocument;

namespace app {

struct TextCounts {
    qint64 bytes = 0;
    qint64 characters = 0;

    qint64 FullWidth() const { return bytes - characters; }
    qint64 HalfWidth() const { return 2 * characters - bytes; }
    bool operator==(const TextCounts &) const = default;
};

// The counts of a text as it leaves the program: line breaks as the text has them, every
// character the code page cannot hold as one byte (it leaves as "?").
TextCounts CountText(QStringView text);

// "3バイト, 2文字（全角: 1文字, 半角: 1文字）" for あa.
QString CountPanelText(const TextCounts &counts);

// The counts of a document kept up to date edit by edit: every paragraph remembers its own
// counts, and an edit recounts only the paragraphs it touched, so a keystroke costs the same
// in a ten-megabyte document as in a short one.
class DocumentCounter {
public:
    // Counts the whole document afresh.
    void Reset(const QTextDocument &document);
    // Call with the arguments of QTextDocument::contentsChange, after the change.
    void ContentsChange(const QTextDocument &document, int position, int removed, int added);
    // The counts of the document's text with line breaks of the given style.
    TextCounts Counts(LineBreakStyle style) const;

private:
    struct Paragraph {
        qint32 units = 0;
        qint32 bytes = 0;
    };
    static Paragraph CountParagraph(const QTextBlock &block);

    std::vector<Paragraph> m_paragraphs;
    qint64 m_units = 0; // all paragraphs, without line breaks
    qint64 m_bytes = 0;
};

} // namespace app
