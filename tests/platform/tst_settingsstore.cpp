#include "platform/settingsstore.h"
#include "support/fakeplatform.h"

#include <QDir>
#include <QFile>
#include <QTest>

using platform::SettingsStore;

class tst_SettingsStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void userStoreLivesInTheConfigFolder();
    void absentKeysGiveDefaults();
    void textsSurviveTheFile_data();
    void textsSurviveTheFile();
    void truthValues_data();
    void truthValues();
    void numbers_data();
    void numbers();
    void handWrittenFileWithGarbage();

private:
    QTemporaryDir m_config;
};

void tst_SettingsStore::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    // Before any QSettings exists: Qt reads the folder once.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

// The user's store is $XDG_CONFIG_HOME/Lumeno/Lumeno.ini, and what is written there is read back.
void tst_SettingsStore::userStoreLivesInTheConfigFolder()
{
    const QString path = m_config.filePath(QStringLiteral("Lumeno/Lumeno.ini"));
    {
        SettingsStore store;
        QCOMPARE(QDir::cleanPath(store.FileName()), QDir::cleanPath(path));
        store.SaveSetting(QStringLiteral("Setting"), QStringLiteral("Server"), QStringLiteral("example.org/cgi-bin"));
        QVERIFY(store.Sync());
    }
    QVERIFY(QFile::exists(path));
    QCOMPARE(SettingsStore().GetSetting(QStringLiteral("Setting"), QStringLiteral("Server"), QString()),
             QStringLiteral("example.org/cgi-bin"));
}

// Every reader answers the caller's default for a key that was never written.
void tst_SettingsStore::absentKeysGiveDefaults()
{
    testsupport::TempSettings temp;
    SettingsStore &store = temp.store();
    const QString section = QStringLiteral("Window");
    QVERIFY(!store.Contains(section, QStringLiteral("Left")));
    QCOMPARE(store.GetSetting(section, QStringLiteral("Left"), QStringLiteral("120")), QStringLiteral("120"));
    QCOMPARE(store.GetSetting(section, QStringLiteral("Left"), QString()), QString());
    QCOMPARE(store.GetNumber(section, QStringLiteral("Left"), 10.5), 10.5);
    QCOMPARE(store.GetInteger(section, QStringLiteral("Left"), -7), -7);
    QCOMPARE(store.GetBool(section, QStringLiteral("WordWrap"), true), true);
    QCOMPARE(store.GetBool(section, QStringLiteral("WordWrap"), false), false);
}

void tst_SettingsStore::textsSurviveTheFile_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << "";
    QTest::newRow("comma and blank") << "a, b";
    QTest::newRow("leading at sign") << "@Variant(x)";
    QTest::newRow("japanese") << "ＭＳ ゴシック　ｶﾀｶﾅ";
}

// A value is text: whatever is saved comes back the same after the file is read again.
void tst_SettingsStore::textsSurviveTheFile()
{
    QFETCH(QString, value);
    testsupport::TempSettings temp;
    temp.store().SaveSetting(QStringLiteral("History"), QStringLiteral("File1"), value);
    const auto reopened = temp.reopened();
    QVERIFY(reopened->Contains(QStringLiteral("History"), QStringLiteral("File1")));
    QCOMPARE(reopened->GetSetting(QStringLiteral("History"), QStringLiteral("File1"), QStringLiteral("default")), value);
}

void tst_SettingsStore::truthValues_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("whenDefaultFalse");
    QTest::addColumn<int>("whenDefaultTrue");
    QTest::newRow("True") << "True" << 1 << 1;
    QTest::newRow("False") << "False" << 0 << 0;
    QTest::newRow("lower case") << "true" << 0 << 1;
    QTest::newRow("number") << "1" << 0 << 1;
    QTest::newRow("empty") << "" << 0 << 1;
    QTest::newRow("padded") << " True" << 0 << 1;
}

// Only the words True and False are truth values; anything else is the caller's default.
void tst_SettingsStore::truthValues()
{
    QFETCH(QString, stored);
    QFETCH(int, whenDefaultFalse);
    QFETCH(int, whenDefaultTrue);
    testsupport::TempSettings temp;
    temp.store().SaveSetting(QStringLiteral("Setting"), QStringLiteral("WordWrap"), stored);
    const auto reopened = temp.reopened();
    QCOMPARE(reopened->GetBool(QStringLiteral("Setting"), QStringLiteral("WordWrap"), false), whenDefaultFalse == 1);
    QCOMPARE(reopened->GetBool(QStringLiteral("Setting"), QStringLiteral("WordWrap"), true), whenDefaultTrue == 1);
    if (const auto parsed = platform::ParseBool(stored))
        QCOMPARE(platform::BoolText(*parsed), stored);
}

void tst_SettingsStore::numbers_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<double>("number");     // GetNumber with default -1
    QTest::addColumn<int>("integer");       // GetInteger with default -1
    QTest::newRow("integer") << "11" << 11.0 << 11;
    QTest::newRow("negative") << "-3" << -3.0 << -3;
    QTest::newRow("fraction") << "10.5" << 10.5 << -1;
    QTest::newRow("padded") << " 12 " << 12.0 << 12;
    QTest::newRow("word") << "abc" << -1.0 << -1;
    QTest::newRow("trailing garbage") << "12px" << -1.0 << -1;
    QTest::newRow("empty") << "" << -1.0 << -1;
    QTest::newRow("comma decimal") << "10,5" << -1.0 << -1;
    QTest::newRow("overflowing double") << "1e400" << -1.0 << -1;
    QTest::newRow("not a number") << "nan" << -1.0 << -1;
    QTest::newRow("past int") << "3000000000" << 3e9 << -1;
    QTest::newRow("largest int") << "2147483647" << 2147483647.0 << 2147483647;
}

// A value that is not a decimal number (or not a whole one that fits, for integers) is the default.
void tst_SettingsStore::numbers()
{
    QFETCH(QString, stored);
    QFETCH(double, number);
    QFETCH(int, integer);
    testsupport::TempSettings temp;
    temp.store().SaveSetting(QStringLiteral("Window"), QStringLiteral("Width"), stored);
    const auto reopened = temp.reopened();
    QCOMPARE(reopened->GetNumber(QStringLiteral("Window"), QStringLiteral("Width"), -1), number);
    QCOMPARE(reopened->GetInteger(QStringLiteral("Window"), QStringLiteral("Width"), -1), integer);
}

// A file edited by hand, with lines the store never writes, still yields every readable value.
void tst_SettingsStore::handWrittenFileWithGarbage()
{
    testsupport::TempSettings temp;
    QFile file(temp.path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBFgarbage before any section\n"
               "[Window]\n"
               "Left=abc\n"
               "Top = 120 \n"
               "this line has no equals sign\n"
               "=value without key\n"
               "[Setting\n"
               "[Setting]\n"
               "Server=host.example, with comma\n"
               "WordWrap=maybe\n"
               "Font=\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF\n"
               "Binary=\x01\x02\xFF\n");
    file.close();

    SettingsStore store(temp.path());
    QCOMPARE(store.GetInteger(QStringLiteral("Window"), QStringLiteral("Left"), 300), 300);
    QCOMPARE(store.GetInteger(QStringLiteral("Window"), QStringLiteral("Top"), 0), 120);
    QCOMPARE(store.GetSetting(QStringLiteral("Setting"), QStringLiteral("Server"), QString()),
             QStringLiteral("host.example, with comma"));
    QCOMPARE(store.GetBool(QStringLiteral("Setting"), QStringLiteral("WordWrap"), true), true);
    QCOMPARE(store.GetSetting(QStringLiteral("Setting"), QStringLiteral("Font"), QString()), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(store.GetBool(QStringLiteral("Setting"), QStringLiteral("Binary"), false), false);
}

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
