#pragma once

#include <QByteArray>
#include <QString>

// Code page 932 (Shift-JIS as Windows has it): Microsoft's round-trip table, bytes 00-7F
// identical to ASCII. Everything that leaves the program as bytes goes through here.
namespace cp932 {

// Builds the tables the conversions use (else the first conversion of a non-ASCII text does).
void Prepare();
// One "?" for every UTF-16 unit the code page cannot represent (a surrogate pair gives "??").
QByteArray Encode(QStringView text);
// Bytes that form no character (a stray trail byte, a lead byte at the end, an unassigned
// pair) decode to U+FFFD, which Encode cannot represent, so CanEncode warns before a save.
QString Decode(QByteArrayView bytes);
// Decode's text of the bytes, appended to `text` without a copy (in room reserved ahead, say).
void AppendDecoded(QByteArrayView bytes, QString &text);
// Encode(text).size(), without building the bytes.
qsizetype ByteCount(QStringView text);
// Bytes of one UTF-16 unit: 2 for a double-byte character, else 1.
int UnitByteCount(char16_t unit);
// True when every unit of the text has a code in the page.
bool CanEncode(QStringView text);

} // namespace cp932
