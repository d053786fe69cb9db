// The platform layer: code page 932, the settings store and the services object.

#include "platform/cp932.h"
#include "platform/machine.h"
#include "platform/random.h"
#include "platform/settingsstore.h"
#include "support/fakeplatform.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTest>

using platform::SettingsStore;

class tst_Platform : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cp932Vectors_data();
    void cp932Vectors();
    void cp932EveryCharacterRoundTrips();
    void cp932InvalidBytes_data();
    void cp932InvalidBytes();
    void storedValues_data();
    void storedValues();
    void userStoreLivesInTheConfigFolder();
    void servicesNameTheMachineAndDraw();

private:
    QTemporaryDir m_config;
};

void tst_Platform::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    // Before any QSettings exists: Qt reads the folder once.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void tst_Platform::cp932Vectors_data()
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
        const char32_t codePoint = f[0].mid(2).toUInt(nullptr, 16);
        QTest::newRow(qPrintable(f[0])) << QString::fromUcs4(&codePoint, 1) << QByteArray::fromHex(f[1].toLatin1())
                                        << (f[2] == QLatin1String("mapped"));
        ++rows;
    }
    QCOMPARE(rows, 78);
    QTest::newRow("mixed") << QStringLiteral("日本語ｶﾅ①～") << QByteArray("\x93\xFA\x96\x7B\x8C\xEA\xB6\xC5\x87\x40\x81\x60")
                           << true;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?") << false;
}

// Microsoft's round-trip table: the expected bytes, one "?" per unit without a code, and a
// text with such a unit is reported before it would be saved with "?".
void tst_Platform::cp932Vectors()
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

// Every unit with a code comes back from its bytes and is counted as long as its bytes; every
// pair that decodes encodes to a pair reading the same: saving never changes what was read.
void tst_Platform::cp932EveryCharacterRoundTrips()
{
    int mapped = 0;
    for (char32_t u = 0; u < 0x10000; ++u) {
        const QChar ch(static_cast<char16_t>(u));
        const QByteArray bytes = cp932::Encode(QStringView(&ch, 1));
        if (!cp932::CanEncode(QStringView(&ch, 1)))
            continue;
        ++mapped;
        QCOMPARE(cp932::UnitByteCount(ch.unicode()), bytes.size());
        if (cp932::Decode(bytes) != QString(ch))
            QFAIL(qPrintable(QStringLiteral("U+%1 does not come back").arg(u, 4, 16, QLatin1Char('0'))));
    }
    // ASCII, the half-width katakana, and the 9,604 double-byte codes less the 398 duplicates.
    QCOMPARE(mapped, 128 + 63 + 9604 - 398);
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC && (lead < 0xA0 || lead > 0xDF); ++trail) {
            const char bytes[2] = { static_cast<char>(lead), static_cast<char>(trail) };
            const QString text = cp932::Decode(QByteArrayView(bytes, 2));
            if (text[0] != QChar::ReplacementCharacter)
                QCOMPARE(cp932::Decode(cp932::Encode(text)), text);
        }
    }
}

void tst_Platform::cp932InvalidBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString bad(QChar::ReplacementCharacter);
    QTest::newRow("undefined single bytes") << QByteArray("\x80\xA0\xFD\xFE\xFF") << bad.repeated(5);
    QTest::newRow("lead byte at the end") << QByteArray("A\x82") << "A" + bad;
    QTest::newRow("lead before a line break") << QByteArray("\x82\r\nB") << bad + "\r\nB";
    QTest::newRow("lead before DEL") << QByteArray("\x82\x7F") << bad + "\x7F";
    QTest::newRow("unassigned pair") << QByteArray("\x82\x40z") << bad + "z";
    QTest::newRow("half-width between") << QByteArray("\xB1\x82\xA0\xB2") << QStringLiteral("ｱあｲ");
    QTest::newRow("nul kept") << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3);
}

// Bytes that form no character each cost one U+FFFD and never swallow a following character.
void tst_Platform::cp932InvalidBytes()
{
    QFETCH(QByteArray, bytes);
    QTEST(cp932::Decode(bytes), "text");
}

void tst_Platform::storedValues_data()
{
    // -1 for the numbers and "d" for the truth value: the reader gives the caller's default.
    QTest::addColumn<QString>("stored");
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("integer");
    QTest::addColumn<QString>("truth");
    QTest::newRow("True") << "True" << -1.0 << -1 << "1";
    QTest::newRow("False") << "False" << -1.0 << -1 << "0";
    QTest::newRow("lower case true") << "true" << -1.0 << -1 << "d";
    QTest::newRow("empty") << "" << -1.0 << -1 << "d";
    QTest::newRow("one is no truth") << "1" << 1.0 << 1 << "d";
    QTest::newRow("negative") << "-3" << -3.0 << -3 << "d";
    QTest::newRow("fraction") << "10.5" << 10.5 << -1 << "d";
    QTest::newRow("padded number") << " 12 " << 12.0 << 12 << "d";
    QTest::newRow("trailing garbage") << "12px" << -1.0 << -1 << "d";
    QTest::newRow("comma decimal") << "10,5" << -1.0 << -1 << "d";
    QTest::newRow("overflowing double") << "1e400" << -1.0 << -1 << "d";
    QTest::newRow("not a number") << "nan" << -1.0 << -1 << "d";
    QTest::newRow("past int") << "3000000000" << 3e9 << -1 << "d";
    QTest::newRow("largest int") << "2147483647" << 2147483647.0 << 2147483647 << "d";
    QTest::newRow("comma and blank") << "a, b" << -1.0 << -1 << "d";
    QTest::newRow("japanese") << "ＭＳ ゴシック　ｶﾀｶﾅ" << -1.0 << -1 << "d";
}

// A value is text that comes back the same from the file; only the words True and False are
// truth values, only decimal numbers (whole ones that fit, for integers) are numbers; anything
// else, and a key never written, is the caller's default.
void tst_Platform::storedValues()
{
    QFETCH(QString, stored);
    QFETCH(QString, truth);
    testsupport::TempSettings temp;
    const QString s = QStringLiteral("Setting"), k = QStringLiteral("Value");
    QVERIFY(!temp.store().Contains(s, k));
    QCOMPARE(temp.store().GetNumber(s, k, -1) + temp.store().GetInteger(s, k, -1), -2.0);
    temp.store().SaveSetting(s, k, stored);
    const auto reopened = temp.reopened();
    QCOMPARE(reopened->GetSetting(s, k, QStringLiteral("default")), stored);
    QTEST(reopened->GetNumber(s, k, -1), "number");
    QTEST(reopened->GetInteger(s, k, -1), "integer");
    QCOMPARE(reopened->GetBool(s, k, false), truth == QLatin1String("1"));
    QCOMPARE(reopened->GetBool(s, k, true), truth != QLatin1String("0"));
    if (truth != QLatin1String("d"))
        QCOMPARE(platform::BoolText(truth == QLatin1String("1")), stored);
}

// The user's store is $XDG_CONFIG_HOME/Lumeno/Lumeno.ini, and what is written there is read back.
void tst_Platform::userStoreLivesInTheConfigFolder()
{
    const QString path = m_config.filePath(QStringLiteral("Lumeno/Lumeno.ini"));
    {
        SettingsStore &store = platform::settingsStore();
        QCOMPARE(QDir::cleanPath(store.FileName()), QDir::cleanPath(path));
        store.SaveSetting(QStringLiteral("Setting"), QStringLiteral("Server"), QStringLiteral("example.org/cgi-bin"));
        QVERIFY(store.Sync());
    }
    QCOMPARE(SettingsStore().GetSetting(QStringLiteral("Setting"), QStringLiteral("Server"), {}),
        QStringLiteral("example.org/cgi-bin"));
    testsupport::TempSettings temp;
    QCOMPARE(&platform::settingsStore(), &temp.store());
}

// The machine's name is the host's unless a test names another; draws lie in [0, 1) and a
// fixed seed repeats them.
void tst_Platform::servicesNameTheMachineAndDraw()
{
    {
        testsupport::FakeMachine other(QStringLiteral("other.example"));
        QCOMPARE(platform::ComputerName(), QStringLiteral("other.example"));
    }
    QCOMPARE(platform::ComputerName(), QSysInfo::machineHostName());
    platform::Randomize(7);
    QList<double> first;
    for (int i = 0; i < 1000; ++i) {
        first.append(platform::Rnd());
        QVERIFY(first.last() >= 0.0 && first.last() < 1.0);
    }
    QVERIFY(*std::max_element(first.begin(), first.end()) > 0.99 && *std::min_element(first.begin(), first.end()) < 0.01);
    platform::Randomize(7);
    for (const double r : first)
        QCOMPARE(platform::Rnd(), r);
}

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_platform.moc"
