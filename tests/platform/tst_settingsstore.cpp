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
    void storedValues_data();
    void storedValues();

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
    QCOMPARE(SettingsStore().GetSetting(QStringLiteral("Setting"), QStringLiteral("Server"), {}),
             QStringLiteral("example.org/cgi-bin"));
}

// Every reader answers the caller's default for a key that was never written.
void tst_SettingsStore::absentKeysGiveDefaults()
{
    testsupport::TempSettings temp;
    const SettingsStore &store = temp.store();
    const QString s = QStringLiteral("Window"), k = QStringLiteral("Left");
    QVERIFY(!store.Contains(s, k));
    QCOMPARE(store.GetSetting(s, k, QStringLiteral("120")), QStringLiteral("120"));
    QCOMPARE(store.GetNumber(s, k, 10.5), 10.5);
    QCOMPARE(store.GetInteger(s, k, -7), -7);
    QCOMPARE(store.GetBool(s, k, true), true);
    QCOMPARE(store.GetBool(s, k, false), false);
}

void tst_SettingsStore::storedValues_data()
{
    // -1 for the numbers and "d" for the truth value: the reader gives the caller's default.
    QTest::addColumn<QString>("stored");
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("integer");
    QTest::addColumn<QString>("truth");
    QTest::newRow("True") << "True" << -1.0 << -1 << "1";
    QTest::newRow("False") << "False" << -1.0 << -1 << "0";
    QTest::newRow("lower case true") << "true" << -1.0 << -1 << "d";
    QTest::newRow("padded True") << " True" << -1.0 << -1 << "d";
    QTest::newRow("empty") << "" << -1.0 << -1 << "d";
    QTest::newRow("integer") << "11" << 11.0 << 11 << "d";
    QTest::newRow("one is no truth") << "1" << 1.0 << 1 << "d";
    QTest::newRow("negative") << "-3" << -3.0 << -3 << "d";
    QTest::newRow("fraction") << "10.5" << 10.5 << -1 << "d";
    QTest::newRow("padded number") << " 12 " << 12.0 << 12 << "d";
    QTest::newRow("word") << "abc" << -1.0 << -1 << "d";
    QTest::newRow("trailing garbage") << "12px" << -1.0 << -1 << "d";
    QTest::newRow("comma decimal") << "10,5" << -1.0 << -1 << "d";
    QTest::newRow("overflowing double") << "1e400" << -1.0 << -1 << "d";
    QTest::newRow("not a number") << "nan" << -1.0 << -1 << "d";
    QTest::newRow("past int") << "3000000000" << 3e9 << -1 << "d";
    QTest::newRow("largest int") << "2147483647" << 2147483647.0 << 2147483647 << "d";
    QTest::newRow("comma and blank") << "a, b" << -1.0 << -1 << "d";
    QTest::newRow("leading at sign") << "@Variant(x)" << -1.0 << -1 << "d";
    QTest::newRow("japanese") << "ＭＳ ゴシック　ｶﾀｶﾅ" << -1.0 << -1 << "d";
}

// A value is text that comes back the same from the file; only the words True and False are
// truth values, only decimal numbers (whole ones that fit, for integers) are numbers; anything
// else is the caller's default.
void tst_SettingsStore::storedValues()
{
    QFETCH(QString, stored);
    QFETCH(double, number);
    QFETCH(int, integer);
    QFETCH(QString, truth);
    testsupport::TempSettings temp;
    const QString s = QStringLiteral("Setting"), k = QStringLiteral("Value");
    temp.store().SaveSetting(s, k, stored);
    const auto reopened = temp.reopened();
    QVERIFY(reopened->Contains(s, k));
    QCOMPARE(reopened->GetSetting(s, k, QStringLiteral("default")), stored);
    QCOMPARE(reopened->GetNumber(s, k, -1), number);
    QCOMPARE(reopened->GetInteger(s, k, -1), integer);
    QCOMPARE(reopened->GetBool(s, k, false), truth == QLatin1String("1"));
    QCOMPARE(reopened->GetBool(s, k, true), truth != QLatin1String("0"));
    if (truth != QLatin1String("d"))
        QCOMPARE(platform::BoolText(truth == QLatin1String("1")), stored);
}

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
