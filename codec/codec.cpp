#include "codec.h"

#include "platform/machine.h"
#include "platform/random.h"

#include <QByteArray>
#include <cmath>

namespace modPublic {

namespace {

constexpr qsizetype kMaxPasswordLength = 15;

// The value of a symbol, or -1 for a character outside the alphabet.
int symbolValue(QChar ch)
{
    const char16_t c = ch.unicode();
    if (c >= u'A' && c <= u'Z')
        return c - u'A';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 26;
    if (c >= u'0' && c <= u'9')
        return c - u'0' + 52;
    if (c == u'_')
        return 62;
    if (c == u'-')
        return 63;
    return -1;
}

bool isSymbols(const QString &text)
{
    for (const QChar ch : text) {
        if (symbolValue(ch) < 0)
            return false;
    }
    return true;
}

// Four 6-bit values to three bytes, most significant bits first (the bit order of Base64).
QByteArray pack(const QByteArray &byt64Cd)
{
    QByteArray byt8bit;
    byt8bit.reserve(byt64Cd.size() / 4 * 3);
    for (qsizetype i = 0; i + 3 < byt64Cd.size(); i += 4) {
        const auto a = static_cast<quint8>(byt64Cd[i]);
        const auto b = static_cast<quint8>(byt64Cd[i + 1]);
        const auto c = static_cast<quint8>(byt64Cd[i + 2]);
        const auto d = static_cast<quint8>(byt64Cd[i + 3]);
        byt8bit.append(static_cast<char>(a << 2 | (b & 0x30) >> 4));
        byt8bit.append(static_cast<char>((b & 0x0F) << 4 | (c & 0x3C) >> 2));
        byt8bit.append(static_cast<char>((c & 0x03) << 6 | d));
    }
    return byt8bit;
}

// Three bytes to four 6-bit values, written straight out as symbols.
QString unpackToSymbols(const QByteArray &bytes)
{
    QString strResult;
    strResult.reserve(bytes.size() / 3 * 4);
    for (qsizetype i = 0; i + 2 < bytes.size(); i += 3) {
        const auto x = static_cast<quint8>(bytes[i]);
        const auto y = static_cast<quint8>(bytes[i + 1]);
        const auto z = static_cast<quint8>(bytes[i + 2]);
        strResult.append(CODE_ALPHABET[(x & 0xFC) >> 2]);
        strResult.append(CODE_ALPHABET[(x & 0x03) << 4 | (y & 0xF0) >> 4]);
        strResult.append(CODE_ALPHABET[(y & 0x0F) << 2 | (z & 0xC0) >> 6]);
        strResult.append(CODE_ALPHABET[z & 0x3F]);
    }
    return strResult;
}

// The 6-bit values of a text of symbols in an array of the given size, zeros after the text.
QByteArray symbolValues(const QString &strBuf, qsizetype size)
{
    QByteArray byt64Cd(size, '\0');
    for (qsizetype i = 0; i < strBuf.size(); ++i)
        byt64Cd[i] = static_cast<char>(symbolValue(strBuf[i]));
    return byt64Cd;
}

} // namespace

QString GetMachineTag()
{
    QString tag;
    for (const QChar ch : platform::ComputerName()) {
        if (symbolValue(ch) >= 0)
            tag.append(ch);
    }
    return tag;
}

QString Encode(const QString &password)
{
    if (password.isEmpty())
        return QString();
    // A key of 255 would make the marker byte 0, which Decode's scan passes over: draw 1 to 254.
    const auto bytKey = static_cast<std::uint8_t>(std::floor(platform::Rnd() * 254) + 1);
    return Encode(password, GetMachineTag(), bytKey);
}

QString Encode(const QString &password, const QString &tag, std::uint8_t bytKey)
{
    // The length digit holds 1 to 15, and only symbols survive the 6-bit packing.
    if (password.isEmpty() || password.size() > kMaxPasswordLength || !isSymbols(password) || !isSymbols(tag)
        || bytKey == 0 || bytKey == 255)
        return QString();

    const QString strBuf = tag + QString::number(password.size(), 16).toUpper() + password;
    // One to four zero values follow the block: four when it already fills whole quads.
    const qsizetype length = strBuf.size();
    const QByteArray byt8bit = pack(symbolValues(strBuf, length + 4 - length % 4));

    QByteArray bytEnc(byt8bit.size() + 3, '\0');
    for (qsizetype i = 0; i < byt8bit.size(); ++i)
        bytEnc[i] = static_cast<char>(static_cast<quint8>(byt8bit[i]) ^ bytKey);
    bytEnc[byt8bit.size()] = static_cast<char>(~bytKey);
    return unpackToSymbols(bytEnc);
}

QString Decode(const QString &code)
{
    if (code.isEmpty())
        return QString();
    return Decode(code, GetMachineTag());
}

QString Decode(const QString &code, const QString &tag)
{
    // Only whole quads of symbols can have come from Encode.
    if (code.isEmpty() || code.size() % 4 != 0 || !isSymbols(code))
        return QString();
    const QByteArray byt8bit = pack(symbolValues(code, code.size()));

    // The marker is the last nonzero byte; the keyed data comes before it in whole triples.
    qsizetype marker = byt8bit.size() - 1;
    while (marker >= 0 && byt8bit[marker] == 0)
        --marker;
    if (marker <= 0 || marker % 3 != 0)
        return QString();
    const auto bytKey = static_cast<quint8>(~static_cast<quint8>(byt8bit[marker]));

    QByteArray bytDec(marker, '\0');
    for (qsizetype i = 0; i < marker; ++i)
        bytDec[i] = static_cast<char>(static_cast<quint8>(byt8bit[i]) ^ bytKey);
    const QString strResult = unpackToSymbols(bytDec);

    if (strResult.size() < tag.size() || QStringView(strResult).left(tag.size()).compare(tag, Qt::CaseInsensitive) != 0)
        return QString();
    bool ok = false;
    const int n = strResult.mid(tag.size(), 1).toInt(&ok, 16);
    if (!ok)
        return QString();
    return strResult.mid(tag.size() + 1, n);
}

} // namespace modPublic
