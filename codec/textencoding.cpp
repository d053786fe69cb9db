#include "textencoding.h"

#include "platform/cp932.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace textencoding {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr qsizetype kBomSize = 3;

bool AllAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

// The text of bytes that are UTF-8 throughout; nothing when any byte is out of place. Decoded
// a block at a time, so that bytes in another encoding are given up on at their first block.
std::optional<QString> StrictUtf8(QByteArrayView bytes)
{
    constexpr qsizetype kBlock = 64 * 1024;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text;
    text.reserve(bytes.size());
    while (!bytes.isEmpty()) {
        // A block ends before a lead byte or an ASCII one, never inside a character.
        qsizetype cut = std::min(kBlock, bytes.size());
        for (int back = 0; back < 3 && cut < bytes.size() && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80;
             ++back)
            --cut;
        text += decoder.decode(bytes.first(cut));
        if (decoder.hasError())
            return std::nullopt;
        bytes = bytes.sliced(cut);
    }
    return text;
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
    const bool bom = bytes.startsWith(QByteArrayView(kBom, kBomSize));
    if (bom || !AllAscii(bytes)) {
        if (std::optional<QString> text = StrictUtf8(bom ? bytes.sliced(kBomSize) : bytes))
            return { std::move(*text), bom ? TextEncoding::Utf8Bom : TextEncoding::Utf8 };
    }
    return { cp932::Decode(bytes), TextEncoding::ShiftJis };
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
