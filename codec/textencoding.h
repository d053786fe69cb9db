#pragma once

// The encodings a document's content can have on the server and on the local disk. Everything
// else the program writes (names, paths, the password, shortcut files) is code page 932.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace textencoding {

enum class TextEncoding {
    ShiftJis, // code page 932: new documents, and whatever is not UTF-8
    Utf8,
    Utf8Bom, // UTF-8 that begins with the byte-order mark, which a save writes again
};

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::ShiftJis;
};

// A document's bytes as text, and the encoding they came in: UTF-8 when they are valid UTF-8
// and hold a character beyond ASCII, or begin with the byte-order mark; code page 932
// otherwise, where bytes that form no character become U+FFFD (which a save cannot write back
// unasked).
DecodedText DecodeDocument(QByteArrayView bytes);
// The bytes a document has in the encoding. Code page 932 writes "?" for what it cannot hold.
QByteArray EncodeDocument(QStringView text, TextEncoding encoding);
// True when every character of the text survives EncodeDocument.
bool CanEncode(QStringView text, TextEncoding encoding);
// EncodeDocument(text, encoding).size(), without building the bytes.
qsizetype ByteCount(QStringView text, TextEncoding encoding);
// The name the status bar and the save-as browser show: "Shift-JIS", "UTF-8", "UTF-8 (BOM)".
QString EncodingName(TextEncoding encoding);
// The encoding of that name; Shift-JIS for a name it does not know.
TextEncoding EncodingNamed(QStringView name);

inline constexpr TextEncoding kEncodings[] = { TextEncoding::ShiftJis, TextEncoding::Utf8, TextEncoding::Utf8Bom };

} // namespace textencoding
