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
    void initTestCase()
    {
        testsupport::usePrivateRuntimeDir();
        // Before any QSettings exists: Qt reads the folder once.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cp932Vectors_data()
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
        if (mapped)
            QCOMPARE(cp932::Decode(bytes), text);
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
        // -1 for the numbers and "d" for the truth value: the reader gives the caller's default.
        QTest::addColumn<QString>("stored");
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("integer");
        QTest::addColumn<QString>("truth");
        QTest::newRow("True") << "True" << -1.0 << -1 << "1";
        QTest::newRow("False") << "False" << -1.0 << -1 << "0";
        QTest::newRow("empty") << "" << -1.0 << -1 << "d";
        QTest::newRow("negative") << "-3" << -3.0 << -3 << "d";
        QTest::newRow("fraction") << "10.5" << 10.5 << -1 << "d";
        QTest::newRow("trailing garbage") << "12px" << -1.0 << -1 << "d";
        QTest::newRow("comma and blank") << "a, b" << -1.0 << -1 << "d";
        QTest::newRow("japanese") << "ＭＳ ゴシック　ｶﾀｶﾅ" << -1.0 << -1 << "d";
    }
    // A value is text that comes back the same from the file; only the words True and False are
    // truth values, only decimal numbers (whole ones that fit, for integers) are numbers; anything
    // else, and a key never written, is the caller's default.
    void storedValues()
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
    // The user's store is $XDG_CONFIG_HOME/Lumeno/Lumeno.ini until a test hands in its own.
    void userStoreLivesInTheConfigFolder()
    {
        QCOMPARE(QDir::cleanPath(platform::settingsStore().FileName()),
            m_config.filePath(QStringLiteral("Lumeno/Lumeno.ini")));
        testsupport::TempSettings temp;
        QCOMPARE(&platform::settingsStore(), &temp.store());
    }
    // The machine's name is the host's unless a test names another; draws lie in [0, 1) and a
    // fixed seed repeats them.
    void servicesNameTheMachineAndDraw()
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
        QVERIFY(*std::max_element(first.begin(), first.end()) > 0.99
            && *std::min_element(first.begin(), first.end()) < 0.01);
        platform::Randomize(7);
        for (const double r : first)
            QCOMPARE(platform::Rnd(), r);
    }

private:
    QTemporaryDir m_config;
};

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_platform.moc"
