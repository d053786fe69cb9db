// The stored password's codec: tied to the computer's name, a fresh key at every encoding.

#include "codec/codec.h"
#include "codec/textencoding.h"
#include "platform/random.h"
#include "support/fakeplatform.h"
#include "support/tables.h"

#include <QSet>
#include <QTest>

using namespace modPublic;

class tst_Codec : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cleanup() { platform::services().computerName.reset(); }

    void vectors_data()
    {
        testsupport::AddTableRows(
            QStringLiteral("codec-vectors.tsv"), { "tag", "password", "key", "code", "decodeTag", "decoded" });
    }
    // Texts made elsewhere for fixed tags and keys are reproduced byte for byte, and decode on
    // each computer exactly as that computer's name decides (case-insensitively, the name's
    // characters outside the alphabet dropped); a block of L symbols encodes to
    // 4 * (L / 4 + 2) symbols, and nothing to nothing.
    void vectors()
    {
        QFETCH(QString, tag);
        QFETCH(QString, password);
        QFETCH(QString, code);
        QFETCH(QString, decodeTag);
        QFETCH(QString, decoded);
        QFETCH(QString, key);
        QCOMPARE(Encode(password, tag, static_cast<std::uint8_t>(key.toInt())), code);
        QCOMPARE(Decode(code, decodeTag), decoded);
        // The same through the computer's own name, dressed with characters the tag drops.
        platform::services().computerName = QStringLiteral(" ") + decodeTag + QStringLiteral(".");
        QCOMPARE(Decode(code), decoded);
        platform::services().computerName = tag;
        QCOMPARE(Decode(Encode(password)), password);
        QCOMPARE(Encode(password).size(), password.isEmpty() ? 0 : 4 * ((tag.size() + 1 + password.size()) / 4 + 2));
    }

    // Each encoding draws its own key, and no drawn key (never 255) fails to decode.
    void everyDrawnKeyDecodes()
    {
        platform::services().computerName = QStringLiteral("HOST42");
        platform::Randomize(20260205);
        QSet<QString> codes;
        for (int i = 0; i < 3000; ++i) {
            const QString code = Encode(QStringLiteral("pass_-9"));
            QCOMPARE(Decode(code), QStringLiteral("pass_-9"));
            codes.insert(code);
        }
        QCOMPARE(codes.size(), 254);
    }

    void refusals_data() { testsupport::AddTableRows(QStringLiteral("codec-refusals.txt")); }
    // A password the length digit or the alphabet cannot carry is refused rather than stored
    // mangled; anything Encode cannot have made decodes to the empty text.
    void refusals()
    {
        QFETCH(QString, password);
        QFETCH(QString, code);
        QCOMPARE(Encode(password, QStringLiteral("PC"), 7), QString());
        QCOMPARE(Decode(code, QString()), QString());
    }

    void documentEncodings_data() { testsupport::AddTableRows(QStringLiteral("text-encodings.txt")); }
    // A document is read as UTF-8 only when its bytes are UTF-8 beyond ASCII or carry the mark;
    // what neither encoding reads shows as U+FFFD. Byte counts are those of the bytes written.
    // (tst_realserver checks the encodings, and saves the same documents back.)
    void documentEncodings()
    {
        QFETCH(QString, bytes);
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        const QByteArray all = bytes.toLatin1();
        const textencoding::DecodedText whole = textencoding::DecodeDocument(all);
        QCOMPARE(whole.text + u'|' + textencoding::EncodingName(whole.encoding), text + u'|' + encoding);
        // Decoded while its bytes arrive, in pieces of any size, a document is the same.
        for (const qsizetype piece : { 1, 2, 3 }) {
            textencoding::DocumentDecoder decoder;
            for (qsizetype end = piece; end < all.size(); end += piece)
                decoder.Decode(all.first(end));
            const textencoding::DecodedText decoded = decoder.Finish(all);
            QCOMPARE(decoded.text + u'|' + textencoding::EncodingName(decoded.encoding), text + u'|' + encoding);
        }
        // A long document is decoded in blocks, and no character is cut at a block's end.
        if (encoding == QLatin1String("UTF-8"))
            for (const qsizetype padding : { 65534, 65535 })
                QCOMPARE(textencoding::DecodeDocument(QByteArray(padding, 'a') + bytes.toLatin1()).text,
                    QString(padding, u'a') + text);
        for (const textencoding::TextEncoding encoding : textencoding::kEncodings)
            for (const QString &counted : { text, text + QChar(0xd83d) + u'a' + QChar(0xde00) })
                QCOMPARE(
                    textencoding::ByteCount(counted, encoding), textencoding::EncodeDocument(counted, encoding).size());
    }
};

QTEST_GUILESS_MAIN(tst_Codec)
#include "tst_codec.moc"
