#include "platform/cp932.h"
#include "support/fakeplatform.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

class tst_Cp932 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void vectors_data();
    void vectors();
    void everyCharacterRoundTrips();
    void invalidBytes_data();
    void invalidBytes();
    void byteCountOfLargeMixedText();
};

void tst_Cp932::vectors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("mapped");
    QFile file(QStringLiteral(LUMENO_TEST_DATA "/cp932-vectors.tsv"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    int rows = 0;
    while (!file.atEnd()) {
        const QStringList f = QString::fromUtf8(file.readLine()).trimmed().split(u'\t');
        if (f[0].isEmpty() || f[0].startsWith(u'#'))
            continue;
        QCOMPARE(f.size(), 3);
        const char32_t codePoint = f[0].mid(2).toUInt(nullptr, 16);
        QTest::newRow(qPrintable(f[0])) << QString::fromUcs4(&codePoint, 1) << QByteArray::fromHex(f[1].toLatin1())
                                        << (f[2] == QLatin1String("mapped"));
        ++rows;
    }
    QCOMPARE(rows, 78);
    QTest::newRow("empty") << QString() << QByteArray() << true;
    QTest::newRow("mixed") << QStringLiteral("日本語ｶﾅ①～") << QByteArray("\x93\xFA\x96\x7B\x8C\xEA\xB6\xC5\x87\x40\x81\x60")
                           << true;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?") << false;
}

// Microsoft's round-trip table: the expected bytes, one "?" per unit without a code, and a
// text with such a unit is reported before it would be saved with "?".
void tst_Cp932::vectors()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, mapped);
    QCOMPARE(cp932::Encode(text), bytes);
    QCOMPARE(cp932::ByteCount(text), bytes.size());
    QCOMPARE(cp932::CanEncode(text), mapped);
    if (mapped)
        QCOMPARE(cp932::Decode(bytes), text);
}

// Every unit with a code comes back from its bytes, no two units share a code, every unit's
// count is its conversion's length, and every pair that decodes (the duplicate NEC and IBM
// codes included) encodes to a pair reading the same: saving never changes what was read.
void tst_Cp932::everyCharacterRoundTrips()
{
    int mapped = 0;
    for (char32_t u = 0; u < 0x10000; ++u) {
        const QChar ch(static_cast<char16_t>(u));
        const QByteArray bytes = cp932::Encode(QStringView(&ch, 1));
        QCOMPARE(cp932::ByteCount(QStringView(&ch, 1)), bytes.size());
        if (!cp932::CanEncode(QStringView(&ch, 1)))
            continue;
        ++mapped;
        QCOMPARE(bytes.size(), cp932::UnitByteCount(ch.unicode()));
        if (cp932::Decode(bytes) != QString(ch))
            QFAIL(qPrintable(QStringLiteral("U+%1 does not come back").arg(u, 4, 16, QLatin1Char('0'))));
    }
    // ASCII, the half-width katakana, and the 9,604 double-byte codes less the 398 duplicates
    // (NEC's choice of IBM kanji, IBM's copies of symbols) that decode but are never written.
    QCOMPARE(mapped, 128 + 63 + 9604 - 398);

    int characters = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF)
            continue;   // half-width katakana, not lead bytes
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const QString text = cp932::Decode(QByteArrayView(bytes, 2));
            QCOMPARE(text.size(), trail == 0x7F ? 2 : 1);
            if (text[0] == QChar::ReplacementCharacter)
                continue;
            ++characters;
            QCOMPARE(cp932::Decode(cp932::Encode(text)), text);
        }
    }
    // JIS X 0208, NEC's row 13, both IBM extensions and the 1,880 user-defined codes.
    QCOMPARE(characters, 9604);
}

void tst_Cp932::invalidBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString bad(QChar::ReplacementCharacter);
    QTest::newRow("undefined single bytes") << QByteArray("\x80\xA0\xFD\xFE\xFF") << bad.repeated(5);
    QTest::newRow("lead byte at the end") << QByteArray("A\x82") << "A" + bad;
    QTest::newRow("lead before a line break") << QByteArray("\x82\r\nB") << bad + "\r\nB";
    QTest::newRow("lead before DEL") << QByteArray("\x82\x7F") << bad + "\x7F";
    QTest::newRow("unassigned pair") << QByteArray("\x82\x40z") << bad + "z";
    QTest::newRow("pair in an empty row") << QByteArray("\x85\x40z") << bad + "z";
    QTest::newRow("half-width between") << QByteArray("\xB1\x82\xA0\xB2") << QStringLiteral("ｱあｲ");
    QTest::newRow("nul kept") << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3);
}

// Bytes that form no character each cost one U+FFFD and never swallow a following character.
void tst_Cp932::invalidBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(cp932::Decode(bytes), text);
}

// The status bar's count equals the length of the conversion on a long mixed text.
void tst_Cp932::byteCountOfLargeMixedText()
{
    QRandomGenerator random(932);
    const QString pieces[] = {QStringLiteral("漢字かなカナ"), QStringLiteral("ｶﾀｶﾅ"), QStringLiteral("ASCII text 123\r\n"),
                              QStringLiteral("①～＼¥〜"), QStringLiteral("😀𠮟"), QStringLiteral("\t\x7f")};
    QString mixed;
    while (mixed.size() < 1'000'000)
        mixed += pieces[random.bounded(6)];
    mixed += QChar(0xDC00);
    QCOMPARE(cp932::ByteCount(mixed), cp932::Encode(mixed).size());
}

QTEST_GUILESS_MAIN(tst_Cp932)
#include "tst_cp932.moc"
