#pragma once

// The encodings a document's content can have on the server and on the local disk. Everything
// else the program writes (names, paths, the password, shortcut files) is code page 932.

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
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

// Decodes a document while its bytes arrive, to what DecodeDocument gives for all of them:
// Decode is given the bytes so far and decodes what the rest cannot change; Finish decodes the
// rest. Once the bytes stop reading as UTF-8, they are decoded again from the start in code
// page 932.
class DocumentDecoder {
public:
    // Room for the text of that many bytes, when their number is known ahead.
    void Reserve(qsizetype bytes) { m_text.reserve(bytes); }
    void Decode(QByteArrayView soFar);
    DecodedText Finish(QByteArrayView all);

private:
    bool DecodeUtf8(QByteArrayView bytes);
    void DecodeShiftJis(QByteArrayView bytes);

    QString m_text;
    qsizetype m_done = 0; // bytes decoded into m_text
    bool m_started = false; // whether the byte-order mark was looked for
    bool m_bom = false;
    bool m_ascii = true; // so far
    bool m_shiftJis = false;
    // Stateless: a U+FEFF where a piece begins is a character like any other.
    QStringDecoder m_utf8 { QStringDecoder::Utf8,
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom };
};

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
