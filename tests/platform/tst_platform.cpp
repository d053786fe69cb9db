// The platform layer: code page 932, the settings store and the services object.

#include "platform/cp932.h"
#include "platform/machine.h"
#include "platform/settingsstore.h"
#include "support/fakeplatform.h"

#include <QFile>
#include <QSysInfo>
#include <QTest>

using platform::SettingsStore;

class tst_Platform : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void cp932Vectors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("mapped");
        QFile file(QStringLiteral(LUMENO_TEST_DATA "/cp932-vectors.tsv"));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(u'\t'); // U+XXXX, the bytes in hex, mapped or not
            const char32_t codePoint = f[0].mid(2).toUInt(nullptr, 16);
            if (!line.startsWith(u'#'))
                QTest::newRow(qPrintable(f[0]))
                    << QString::fromUcs4(&codePoint, 1) << QByteArray::fromHex(f[1].toLatin1()) << (f[2] == "mapped");
        }
        QTest::newRow("mixed") << QStringLiteral("日本語ｶﾅ①～")
                               << QByteArray("\x93\xFA\x96\x7B\x8C\xEA\xB6\xC5\x87\x40\x81\x60") << true;
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?") << false;
    }
    // Microsoft's round-trip table: the expected bytes, one "?" per unit without a code, and a
    // text with such a unit is reported before it would be saved with "?".
    void cp932Vectors()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, mapped);
        QCOMPARE(cp932::Encode(text), bytes);
        QCOMPARE(cp932::ByteCount(text), bytes.size());
        QCOMPARE(cp932::CanEncode(text), mapped);
        QCOMPARE(cp932::Decode(bytes) == text, mapped);
    }
    void cp932InvalidBytes_data()
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
    void cp932InvalidBytes()
    {
        QFETCH(QByteArray, bytes);
        QTEST(cp932::Decode(bytes), "text");
    }

    void storedValues_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("read"); // number integer truth; "-1" and "d": the caller's default
        const char *rows[][2] = { { "True", "-1 -1 1" }, { "False", "-1 -1 0" }, { "", "-1 -1 d" }, { "-3", "-3 -3 d" },
            { "10.5", "10.5 -1 d" }, { "12px", "-1 -1 d" }, { "a, b", "-1 -1 d" },
            { "ＭＳ ゴシック　ｶﾀｶﾅ", "-1 -1 d" } };
        for (const auto &[stored, read] : rows)
            QTest::newRow(*stored ? stored : "empty") << QString::fromUtf8(stored) << read;
    }
    // A value is text that comes back the same from the file; only the words True and False are
    // truth values, only decimal numbers (whole ones that fit, for integers) are numbers; anything
    // else, and a key never written, is the caller's default.
    void storedValues()
    {
        QFETCH(QString, stored);
        testsupport::TempSettings temp;
        const QString s = QStringLiteral("Setting"), k = QStringLiteral("Value");
        QVERIFY(!temp.store().Contains(s, k));
        QCOMPARE(temp.store().GetNumber(s, k, -1) + temp.store().GetInteger(s, k, -1), -2.0);
        temp.store().SaveSetting(s, k, stored);
        const auto store = temp.reopened();
        QCOMPARE(store->GetSetting(s, k, QStringLiteral("default")), stored);
        const bool truth = store->GetBool(s, k, false);
        QTEST(QStringLiteral("%1 %2 %3")
                  .arg(store->GetNumber(s, k, -1))
                  .arg(store->GetInteger(s, k, -1))
                  .arg(truth == store->GetBool(s, k, true) ? QString::number(truth) : "d"),
            "read");
        QVERIFY(stored.startsWith(u'T') || stored.startsWith(u'F') ? platform::BoolText(truth) == stored : true);
    }

    // A damaged store is set aside whole, over an older one, and the store starts afresh.
    void damagedStoreIsSetAside()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Lumeno.ini"));
        for (const QString &name : { path + QStringLiteral(".damaged"), path }) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(name == path ? "[Setting]\nServ" : "old") > 0);
        }
        SettingsStore store(path);
        QFile aside(store.SetAsideFile());
        QVERIFY(aside.fileName() == path + QStringLiteral(".damaged") && aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), QByteArray("[Setting]\nServ"));
        store.SaveSetting(QStringLiteral("Setting"), QStringLiteral("Server"), QStringLiteral("x"));
        QVERIFY(store.Sync());
        QCOMPARE(SettingsStore(path).GetSetting(QStringLiteral("Setting"), QStringLiteral("Server"), {}), "x");
    }
    // The machine's name is the host's unless a test names another. (The draws of the random
    // generator are tst_codec's: every key it draws.)
    void computerName()
    {
        QCOMPARE(platform::ComputerName(), QSysInfo::machineHostName());
        testsupport::Installed<std::optional<QString>> other(platform::services().computerName, "other.example");
        QCOMPARE(platform::ComputerName(), QStringLiteral("other.example"));
    }
};

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_platform.moc"
