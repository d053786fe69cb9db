#include "textencoding.h"

#include "platform/cp932.h"

#include <algorithm>

namespace textencoding {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr qsizetype kBomSize = 3;

bool AllAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

// Where bytes from `from` on can be cut so that they decode as they will within all the bytes.
// In UTF-8 before the first byte of a character that may not be whole yet.
qsizetype Utf8Cut(QByteArrayView bytes, qsizetype from)
{
    qsizetype cut = bytes.size();
    while (cut > from && (static_cast<unsigned char>(bytes[cut - 1]) & 0xC0) == 0x80)
        --cut;
    if (cut > from && static_cast<unsigned char>(bytes[cut - 1]) >= 0x80)
        --cut;
    return cut;
}

// In code page 932 after an ASCII byte, which is never the first of two.
qsizetype ShiftJisCut(QByteArrayView bytes, qsizetype from)
{
    qsizetype cut = bytes.size();
    while (cut > from && static_cast<unsigned char>(bytes[cut - 1]) >= 0x80)
        --cut;
    return cut;
}

// Bytes of one UTF-16 unit in UTF-8 as QString::toUtf8 writes it: a surrogate pair is 4 bytes
// (2 for each half), a lone surrogate one "?".
qsizetype Utf8UnitBytes(QStringView text, qsizetype i)
{
    const char16_t unit = text[i].unicode();
    if (unit < 0x80)
        return 1;
    if (unit < 0x800)
        return 2;
    if (QChar::isHighSurrogate(unit))
        return i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()) ? 2 : 1;
    if (QChar::isLowSurrogate(unit))
        return i > 0 && QChar::isHighSurrogate(text[i - 1].unicode()) ? 2 : 1;
    return 3;
}

} // namespace

DecodedText DecodeDocument(QByteArrayView bytes)
{
    return DocumentDecoder().Finish(bytes);
}

void DocumentDecoder::Decode(QByteArrayView soFar)
{
    if (!m_started) {
        if (soFar.size() < kBomSize && QByteArrayView(kBom, kBomSize).startsWith(soFar))
            return; // too few bytes to tell whether they begin with the mark
        m_started = true;
        m_bom = soFar.startsWith(QByteArrayView(kBom, kBomSize));
        m_done = m_bom ? kBomSize : 0;
    }
    // UTF-8 a block at a time, so that bytes in another encoding are given up on at their first.
    constexpr qsizetype kBlock = 64 * 1024;
    while (!m_shiftJis) {
        const QByteArrayView block = soFar.first(std::min(soFar.size(), m_done + kBlock));
        const qsizetype cut = Utf8Cut(block, m_done);
        if (cut <= m_done)
            return;
        if (!DecodeUtf8(block.first(cut)))
            break;
    }
    DecodeShiftJis(soFar.first(ShiftJisCut(soFar, m_shiftJis ? m_done : 0)));
}

DecodedText DocumentDecoder::Finish(QByteArrayView all)
{
    Decode(all);
    m_started = true; // fewer bytes than the mark has are no mark
    if (!m_shiftJis && DecodeUtf8(all)) {
        if (m_bom)
            return { std::move(m_text), TextEncoding::Utf8Bom };
        return { std::move(m_text), m_ascii ? TextEncoding::ShiftJis : TextEncoding::Utf8 };
    }
    DecodeShiftJis(all);
    return { std::move(m_text), TextEncoding::ShiftJis };
}

// The bytes after those decoded so far, as UTF-8; false (and nothing decoded) when they are not.
bool DocumentDecoder::DecodeUtf8(QByteArrayView bytes)
{
    const QByteArrayView more = bytes.sliced(m_done);
    const qsizetype before = m_text.size();
    m_text.resize(before + m_utf8.requiredSpace(more.size()));
    const QChar *end = m_utf8.appendToBuffer(m_text.data() + before, more);
    m_text.truncate(m_utf8.hasError() ? before : end - m_text.constData());
    if (m_utf8.hasError())
        return false;
    m_ascii = m_ascii && AllAscii(more);
    m_done = bytes.size();
    return true;
}

// The bytes after those decoded so far in code page 932; the first time, all of them again.
void DocumentDecoder::DecodeShiftJis(QByteArrayView bytes)
{
    if (!m_shiftJis) {
        m_shiftJis = true;
        m_text.truncate(0); // keeping the room reserved
        m_done = 0;
    }
    cp932::AppendDecoded(bytes.sliced(m_done), m_text);
    m_done = bytes.size();
}

QByteArray EncodeDocument(QStringView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8: return text.toUtf8();
    case TextEncoding::Utf8Bom: return QByteArray(kBom, kBomSize) + text.toUtf8();
    case TextEncoding::ShiftJis: break;
    }
    return cp932::Encode(text);
}

bool CanEncode(QStringView text, TextEncoding encoding)
{
    return encoding != TextEncoding::ShiftJis || cp932::CanEncode(text);
}

qsizetype ByteCount(QStringView text, TextEncoding encoding)
{
    if (encoding == TextEncoding::ShiftJis)
        return cp932::ByteCount(text);
    qsizetype bytes = encoding == TextEncoding::Utf8Bom ? kBomSize : 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes += Utf8UnitBytes(text, i);
    return bytes;
}

QString EncodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8: return QStringLiteral("UTF-8");
    case TextEncoding::Utf8Bom: return QStringLiteral("UTF-8 (BOM)");
    case TextEncoding::ShiftJis: break;
    }
    return QStringLiteral("Shift-JIS");
}

TextEncoding EncodingNamed(QStringView name)
{
    for (const TextEncoding encoding : kEncodings)
        if (name == EncodingName(encoding))
            return encoding;
    return TextEncoding::ShiftJis;
}

} // namespace textencoding
