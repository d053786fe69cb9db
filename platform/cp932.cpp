#include "cp932.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <unicode/ucnv.h>

namespace cp932 {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr std::uint16_t kUnmapped = 0; // no UTF-16 unit but U+0000 encodes to 00, handled apart

// The tables are built once from ICU's windows-31j (ibm-943_P15A-2003) without fallbacks,
// and then bytes 00-7F are forced to ASCII: ICU swaps the controls 1A, 1C and 7F.
struct Tables {
    std::array<std::uint16_t, 0x10000> encode {}; // unit -> byte (< 0x100) or lead << 8 | trail
    std::array<char16_t, 0x100> single {}; // single byte -> unit, or U+FFFD
    std::array<char16_t, 0x10000> pair {}; // lead << 8 | trail -> unit, or U+FFFD
    std::array<bool, 0x100> lead {};
};

using Converter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

Converter openConverter()
{
    UErrorCode status = U_ZERO_ERROR;
    Converter cnv(ucnv_open("ibm-943_P15A-2003", &status), &ucnv_close);
    if (U_FAILURE(status))
        cnv.reset(ucnv_open("windows-31j", &(status = U_ZERO_ERROR)));
    if (!cnv)
        return cnv;
    ucnv_setFallback(cnv.get(), false);
    ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    return cnv;
}

// The code of one unit, or nothing when the page has none (without fallbacks).
std::optional<std::uint16_t> icuEncode(UConverter *cnv, char16_t unit)
{
    char out[8];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(cnv);
    const UChar in = unit;
    const int32_t n = ucnv_fromUChars(cnv, out, sizeof out, &in, 1, &status);
    if (U_FAILURE(status) || n < 1 || n > 2)
        return std::nullopt;
    if (n == 1)
        return static_cast<unsigned char>(out[0]);
    return static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]));
}

// The unit that a byte sequence decodes to, or nothing.
std::optional<char16_t> icuDecode(UConverter *cnv, const char *bytes, int32_t length)
{
    UChar out[4];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(cnv);
    const int32_t n = ucnv_toUChars(cnv, out, 4, bytes, length, &status);
    if (U_FAILURE(status) || n != 1)
        return std::nullopt;
    return out[0];
}

std::unique_ptr<Tables> buildTables()
{
    auto t = std::make_unique<Tables>();
    t->encode.fill(kUnmapped);
    t->single.fill(kReplacement);
    t->pair.fill(kReplacement);

    Converter cnv = openConverter();
    if (cnv) {
        for (std::uint32_t b = 0x80; b < 0x100; ++b) {
            const char byte = static_cast<char>(b);
            if (const auto unit = icuDecode(cnv.get(), &byte, 1); unit && *unit >= 0x80)
                t->single[b] = *unit;
        }
        for (std::uint32_t code = 0x8100; code < 0x10000; ++code) {
            const char bytes[2] = { static_cast<char>(code >> 8), static_cast<char>(code & 0xFF) };
            if (const auto unit = icuDecode(cnv.get(), bytes, 2); unit && *unit >= 0x80)
                t->pair[code] = *unit;
        }
        for (std::uint32_t u = 0x80; u < 0x10000; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF)
                continue;
            const auto code = icuEncode(cnv.get(), static_cast<char16_t>(u));
            // Only codes that read back as the same character: a non-ASCII character never takes
            // an ASCII byte, and IBM's extra private-use mappings (U+F86F to 87 82) stay out.
            if (code && *code >= 0x80 && (*code < 0x100 ? t->single[*code] : t->pair[*code]) == u)
                t->encode[u] = *code;
        }
    }
    // The lead bytes of the page's double-byte codes, whether or not their row has characters.
    for (std::uint32_t b = 0x81; b <= 0xFC; ++b)
        t->lead[b] = b <= 0x9F || b >= 0xE0;
    for (std::uint32_t b = 0; b < 0x80; ++b) {
        t->encode[b] = static_cast<std::uint16_t>(b);
        t->single[b] = static_cast<char16_t>(b);
    }
    return t;
}

// ASCII needs no tables: a short text (a request's fields, a shortcut's path) does not wait
// for them to be built.
bool IsAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; });
}

bool IsAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

const Tables &tables()
{
    static const std::unique_ptr<Tables> instance = buildTables();
    return *instance;
}

} // namespace

void Prepare()
{
    tables();
}

QByteArray Encode(QStringView text)
{
    if (IsAscii(text))
        return text.toLatin1();
    const Tables &t = tables();
    // Written through a pointer into a buffer of the exact size: appending byte by byte costs
    // more than the table look-ups themselves.
    QByteArray out(ByteCount(text), Qt::Uninitialized);
    char *p = out.data();
    for (const QChar ch : text) {
        const char16_t unit = ch.unicode();
        const std::uint16_t code = t.encode[unit];
        if (code == kUnmapped && unit != 0) {
            *p++ = '?';
        } else if (code < 0x100) {
            *p++ = static_cast<char>(code);
        } else {
            *p++ = static_cast<char>(code >> 8);
            *p++ = static_cast<char>(code & 0xFF);
        }
    }
    return out;
}

QString Decode(QByteArrayView bytes)
{
    QString text;
    AppendDecoded(bytes, text);
    return text;
}

void AppendDecoded(QByteArrayView bytes, QString &text)
{
    const qsizetype before = text.size();
    if (IsAscii(bytes)) {
        text.append(QLatin1StringView(bytes));
        return;
    }
    const Tables &t = tables();
    text.resize(before + bytes.size()); // never more units than bytes; the room is not filled
    QChar *p = text.data() + before;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            *p++ = QChar(char16_t(b));
            continue;
        }
        if (t.lead[b]) {
            if (i + 1 < n) {
                const auto trail = static_cast<unsigned char>(bytes[i + 1]);
                const char16_t unit = t.pair[b << 8 | trail];
                if (unit != kReplacement) {
                    *p++ = QChar(unit);
                    ++i;
                    continue;
                }
                // A byte that can be a trail belongs to this pair even when the pair is
                // unassigned; anything else (a line break, a digit) is read again on its own.
                if ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC))
                    ++i;
            }
            *p++ = QChar(kReplacement);
            continue;
        }
        *p++ = QChar(t.single[b]);
    }
    text.truncate(p - text.constData());
}

int UnitByteCount(char16_t unit)
{
    return tables().encode[unit] >= 0x100 ? 2 : 1;
}

qsizetype ByteCount(QStringView text)
{
    const auto &encode = tables().encode;
    qsizetype count = text.size();
    for (const QChar ch : text)
        count += encode[ch.unicode()] >= 0x100;
    return count;
}

bool CanEncode(QStringView text)
{
    const auto &encode = tables().encode;
    for (const QChar ch : text) {
        if (encode[ch.unicode()] == kUnmapped && ch.unicode() != 0)
            return false;
    }
    return true;
}

} // namespace cp932
