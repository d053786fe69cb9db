#include "codec/codec.h"
#include "dialogs/config/serversettings.h"
#include "platform/machine.h"
#include "platform/settingsstore.h"
#include "support/fakeplatform.h"

#include <QTest>

class TestServerSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { platform::setComputerNameOverride(std::nullopt); }
    void passwordCharacters_data();
    void passwordCharacters();
    void storedValues_data();
    void storedValues();
};

void TestServerSettings::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    platform::setComputerNameOverride(QStringLiteral("LUMENOPC"));
}

void TestServerSettings::passwordCharacters_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("all 64 symbols") << modPublic::CODE_ALPHABET << true;
    QTest::newRow("hyphen") << "pass-word" << true;
    QTest::newRow("underscore") << "_" << true;
    QTest::newRow("space") << "pass word" << false;
    QTest::newRow("dot") << "pass.word" << false;
    QTest::newRow("full-width letter") << "passｗord" << false;
    QTest::newRow("full-width digit") << "１" << false;
    QTest::newRow("kana") << "ﾊﾟｽ" << false;
    QTest::newRow("tab at the end") << "abc\t" << false;
    QTest::newRow("accented letter") << "é" << false;
}

// A password may hold only the codec's 64 symbols, "-" included.
void TestServerSettings::passwordCharacters()
{
    QFETCH(QString, password);
    QFETCH(bool, allowed);
    QCOMPARE(config::IsPasswordAllowed(password), allowed);
}

void TestServerSettings::storedValues_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("clearPass");
    QTest::newRow("kept") << "Secret_1-x" << false;
    QTest::newRow("kept, fifteen characters") << "abcdefghijklmno" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("cleared") << "Secret" << true;
}

// What is stored reads back on the next run: the server, the password through the codec or
// nothing when it is cleared, and the truth value as True / False.
void TestServerSettings::storedValues()
{
    QFETCH(QString, password);
    QFETCH(bool, clearPass);
    testsupport::TempSettings settings;
    config::SaveServerSettings(settings.store(), QStringLiteral("example.jp:8080/cgi"), password, clearPass);
    QVERIFY(settings.store().Sync());
    const auto next = settings.reopened();
    QCOMPARE(next->GetSetting("Setting", "Server", "-"), QStringLiteral("example.jp:8080/cgi"));
    const QString user = next->GetSetting("Setting", "User", "-");
    QCOMPARE(user.isEmpty(), clearPass || password.isEmpty());
    QCOMPARE(modPublic::Decode(user), clearPass ? QString() : password);
    QCOMPARE(next->GetSetting("Setting", "ClearPass", "-"), clearPass ? QStringLiteral("True") : QStringLiteral("False"));
}

QTEST_GUILESS_MAIN(TestServerSettings)
#include "tst_serversettings.moc"
