#include "textcounts.h"

#include "platform/cp932.h"

#include <QTextBlock>
#include <QTextDocument>

namespace app {

TextCounts CountText(QStringView text, textencoding::TextEncoding encoding)
{
    const qint64 shiftJisBytes = cp932::ByteCount(text);
    const qint64 bytes
        = encoding == textencoding::TextEncoding::ShiftJis ? shiftJisBytes : textencoding::ByteCount(text, encoding);
    return { bytes, text.size(), shiftJisBytes };
}

QString CountPanelText(const TextCounts &counts)
{
    return QString::number(counts.bytes) + QStringLiteral("バイト, ") + QString::number(counts.characters)
        + QStringLiteral("文字（全角: ") + QString::number(counts.FullWidth()) + QStringLiteral("文字, 半角: ")
        + QString::number(counts.HalfWidth()) + QStringLiteral("文字）");
}

DocumentCounter::Paragraph DocumentCounter::CountParagraph(QStringView text)
{
    return { static_cast<qint32>(text.size()), static_cast<qint32>(cp932::ByteCount(text)),
        static_cast<qint32>(textencoding::ByteCount(text, textencoding::TextEncoding::Utf8)) };
}

void DocumentCounter::Reset(const QTextDocument &document)
{
    m_paragraphs.clear();
    m_paragraphs.reserve(document.blockCount());
    m_units = 0;
    m_bytes = 0;
    m_utf8Bytes = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        Add(CountParagraph(block.text()));
}

void DocumentCounter::Reset(QStringView text)
{
    m_paragraphs.clear();
    m_units = 0;
    m_bytes = 0;
    m_utf8Bytes = 0;
    // The document ends a paragraph at CR LF, a lone CR or LF and the paragraph separator (and
    // at its own frame marks, which no text has: Agrees tells).
    const auto isBreak
        = [](char16_t unit) { return unit == u'\n' || unit == u'\r' || unit == QChar::ParagraphSeparator; };
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (!isBreak(unit))
            continue;
        Add(CountParagraph(text.sliced(start, i - start)));
        if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    Add(CountParagraph(text.sliced(start)));
}

bool DocumentCounter::Agrees(const QTextDocument &document) const
{
    return static_cast<qsizetype>(m_paragraphs.size()) == document.blockCount()
        && m_units == static_cast<qint64>(document.characterCount()) - document.blockCount();
}

void DocumentCounter::Add(const Paragraph &paragraph)
{
    m_paragraphs.push_back(paragraph);
    m_units += paragraph.units;
    m_bytes += paragraph.bytes;
    m_utf8Bytes += paragraph.utf8Bytes;
}

void DocumentCounter::ContentsChange(const QTextDocument &document, int position, int removed, int added)
{
    Q_UNUSED(removed)
    const qsizetype oldCount = static_cast<qsizetype>(m_paragraphs.size());
    const qsizetype newCount = document.blockCount();
    const int lastPosition = document.characterCount() - 1;
    const QTextBlock first = document.findBlock(position);
    if (oldCount == 0 || !first.isValid()) {
        Reset(document);
        return;
    }
    // The paragraphs from the one holding the edit's start to the one holding the first
    // character after the inserted text are new; those after it are the old ones, unchanged.
    // As many old paragraphs as that, less the growth in paragraphs, are gone.
    const QTextBlock last = document.findBlock(qBound(position, position + added, lastPosition));
    const qsizetype firstNumber = first.blockNumber();
    const qsizetype fresh = (last.isValid() ? last.blockNumber() : newCount - 1) - firstNumber + 1;
    const qsizetype gone = fresh - (newCount - oldCount);
    if (fresh < 1 || gone < 1 || firstNumber + gone > oldCount) {
        Reset(document);
        return;
    }

    const auto goneBegin = m_paragraphs.begin() + firstNumber;
    for (auto it = goneBegin; it != goneBegin + gone; ++it) {
        m_units -= it->units;
        m_bytes -= it->bytes;
        m_utf8Bytes -= it->utf8Bytes;
    }
    std::vector<Paragraph> counted;
    counted.reserve(fresh);
    QTextBlock block = first;
    for (qsizetype i = 0; i < fresh && block.isValid(); ++i, block = block.next()) {
        counted.push_back(CountParagraph(block.text()));
        m_units += counted.back().units;
        m_bytes += counted.back().bytes;
        m_utf8Bytes += counted.back().utf8Bytes;
    }
    // Replace the gone paragraphs by the counted ones in place, growing or shrinking the middle.
    const qsizetype common = std::min(gone, fresh);
    std::copy(counted.begin(), counted.begin() + common, goneBegin);
    if (fresh > gone)
        m_paragraphs.insert(goneBegin + common, counted.begin() + common, counted.end());
    else if (gone > fresh)
        m_paragraphs.erase(goneBegin + common, goneBegin + gone);

    // The document's own length tells whether the bookkeeping held; if an unusual change
    // notice (one that overstates its range) ever threw it off, count everything again.
    if (!Agrees(document))
        Reset(document);
}

TextCounts DocumentCounter::Counts(LineBreakStyle style, textencoding::TextEncoding encoding) const
{
    const qint64 breaks = m_paragraphs.empty() ? 0 : static_cast<qint64>(m_paragraphs.size()) - 1;
    const qint64 breakLength = LineBreakLength(style);
    const qint64 shiftJisBytes = m_bytes + breaks * breakLength;
    qint64 bytes = shiftJisBytes;
    if (encoding != textencoding::TextEncoding::ShiftJis) {
        // A line break is one or two ASCII bytes in either encoding; the byte-order mark is three.
        const qint64 bom = textencoding::ByteCount(QStringView(), encoding);
        bytes = bom + m_utf8Bytes + breaks * breakLength;
    }
    return { bytes, m_units + breaks * breakLength, shiftJisBytes };
}

} // namespace app
