#include "codec/codec.h"
#include "platform/services.h"
#include "platform/random.h"
#include "support/fakeplatform.h"

#include <QFile>
#include <QSet>
#include <QTest>

using namespace modPublic;

class tst_Codec : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cleanup() { platform::services().computerName.reset(); }

    void vectors_data();
    void vectors();
    void machineTag_data();
    void machineTag();
    void lengthRule_data();
    void lengthRule();
    void everyDrawnKeyDecodes();
    void refusesWhatItCannotCarry();
    void refusesForeignTexts_data();
    void refusesForeignTexts();
};

void tst_Codec::vectors_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("decodeTag");
    QTest::addColumn<QString>("decoded");

    QFile file(QStringLiteral(LUMENO_TEST_DATA "/codec-vectors.tsv"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    int row = 0;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        while (line.endsWith(u'\n') || line.endsWith(u'\r'))
            line.chop(1);   // only the line end: an empty last field is a tab before it
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList f = line.split(u'\t');
        QCOMPARE(f.size(), 6);
        QTest::addRow("%d %s/%s", ++row, qPrintable(f[1]), qPrintable(f[4]))
            << f[0] << f[1] << f[2].toInt() << f[3] << f[4] << f[5];
    }
    QVERIFY(row >= 30);
}

// Texts made elsewhere for fixed tags and keys are reproduced byte for byte, and decode on
// each computer exactly as that computer's tag decides (case-insensitively).
void tst_Codec::vectors()
{
    QFETCH(QString, tag);
    QFETCH(QString, password);
    QFETCH(int, key);
    QFETCH(QString, code);
    QFETCH(QString, decodeTag);
    QFETCH(QString, decoded);
    QCOMPARE(Encode(password, tag, static_cast<std::uint8_t>(key)), code);
    QCOMPARE(Decode(code, decodeTag), decoded);

    // The same through the computer's own name, dressed with characters the tag drops.
    platform::services().computerName = QStringLiteral(" ") + decodeTag + QStringLiteral(".");
    QCOMPARE(Decode(code), decoded);
    platform::services().computerName = tag;
    QCOMPARE(Decode(Encode(password)), password);
}

void tst_Codec::machineTag_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tag");
    QTest::newRow("plain") << "HOST42" << "HOST42";
    QTest::newRow("dots and hyphen") << "build-7.example.org" << "build-7exampleorg";
    QTest::newRow("blank and underscore") << "my pc_2" << "mypc_2";
    QTest::newRow("non-ascii dropped") << "日本語ＰＣ-é1" << "-1";
    QTest::newRow("nothing left") << "..  ." << "";
    QTest::newRow("unreadable") << "" << "";
}

// The tag is the computer's name with everything outside the alphabet removed, order kept.
void tst_Codec::machineTag()
{
    QFETCH(QString, name);
    QFETCH(QString, tag);
    platform::services().computerName = name;
    QCOMPARE(GetMachineTag(), tag);
}

void tst_Codec::lengthRule_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("passwordLength");
    for (const char *tag : {"", "PC", "WORKSTATION"}) {
        for (int n : {0, 1, 2, 3, 4, 5, 14, 15})
            QTest::addRow("tag %s, %d", tag, n) << QString::fromLatin1(tag) << n;
    }
}

// A block of L symbols encodes to 4 * (L / 4 + 2) symbols ending in "AA", and decodes back.
void tst_Codec::lengthRule()
{
    QFETCH(QString, tag);
    QFETCH(int, passwordLength);
    const QString password = CODE_ALPHABET.mid(60 - passwordLength, passwordLength);
    platform::services().computerName = tag;
    const QString code = Encode(password);
    if (passwordLength == 0) {   // nothing in, nothing out, in both directions
        QCOMPARE(code, QString());
        QCOMPARE(Decode(code), QString());
        return;
    }
    const qsizetype blockLength = tag.size() + 1 + passwordLength;
    QCOMPARE(code.size(), 4 * (blockLength / 4 + 2));
    QVERIFY2(code.endsWith(QLatin1String("AA")), qPrintable(code));
    QCOMPARE(Decode(code), password);
}

// Each encoding draws its own key, and no drawn key (never 255) makes a text that fails to decode.
void tst_Codec::everyDrawnKeyDecodes()
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

// A password the length digit or the alphabet cannot carry is refused rather than stored mangled.
void tst_Codec::refusesWhatItCannotCarry()
{
    for (const char *password : {"ABCDEFGHIJKLMNOP", "pass word", "パスワード", "pass.1"}) {
        QCOMPARE(Encode(QString::fromUtf8(password)), QString());
        QCOMPARE(Encode(QString::fromUtf8(password), QStringLiteral("PC"), 7), QString());
    }
}

void tst_Codec::refusesForeignTexts_data()
{
    QTest::addColumn<QString>("code");
    const QString good = QStringLiteral("H9jINwAA");   // "x" under an empty tag, key 200
    QTest::newRow("not whole quads") << good.chopped(1);
    QTest::newRow("one quad short") << good.left(4);
    QTest::newRow("blank inside") << QString(good).replace(2, 1, u' ');
    QTest::newRow("base64 plus") << QString(good).replace(2, 1, u'+');
    QTest::newRow("full-width letter") << QString(good).replace(2, 1, QChar(0xFF28));
    QTest::newRow("padding") << QStringLiteral("H9jINw==");
    QTest::newRow("no nonzero byte") << QStringLiteral("AAAAAAAA");
    QTest::newRow("marker in the first byte") << QStringLiteral("AQAAAAAA");
    QTest::newRow("data not whole triples") << QStringLiteral("ECAA");
}

// Anything Encode cannot have made decodes to the empty text, like a text from another computer
// (the good text the rows are made from decodes, for contrast).
void tst_Codec::refusesForeignTexts()
{
    QFETCH(QString, code);
    QCOMPARE(Decode(QStringLiteral("H9jINwAA"), QString()), QStringLiteral("x"));
    QCOMPARE(Decode(code, QString()), QString());
}

QTEST_GUILESS_MAIN(tst_Codec)
#include "tst_codec.moc"
