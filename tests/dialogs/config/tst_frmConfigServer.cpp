// The settings dialog against the real vidodu.cgi under lighttpd on 127.0.0.1.

#include "codec/codec.h"
#include "dialogs/config/frmConfig.h"
#include "platform/machine.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/localserver.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
const QString PASSWORD = QStringLiteral("right-Pass_1");
}

class TestFrmConfigServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void checkAgainstTheServer_data();
    void checkAgainstTheServer();
    void okStoresWhatTheServerAccepted();

private:
    testsupport::LocalServer m_server;
};

void TestFrmConfigServer::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    platform::services().computerName = QStringLiteral("LUMENOPC");
    QVERIFY2(m_server.start(PASSWORD), qPrintable(m_server.errorText()));
}

void TestFrmConfigServer::cleanupTestCase()
{
    platform::services().computerName = std::nullopt;
}

void TestFrmConfigServer::checkAgainstTheServer_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("works");
    QTest::newRow("right password") << PASSWORD << true;
    QTest::newRow("wrong password") << "wrongPass" << false;
    QTest::newRow("empty password") << "" << false;
}

// Check reports whether the script accepts the typed server and password.
void TestFrmConfigServer::checkAgainstTheServer()
{
    QFETCH(QString, password);
    QFETCH(bool, works);
    testsupport::FakeDialogs dialogs;
    modPublic::strServer = m_server.serverText();
    modPublic::strPassword = password;
    frmConfig dialog;
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton *>("cmdCheck"), Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].request.icon, works ? platform::MsgIcon::Information : platform::MsgIcon::Exclamation);
}

// OK with the password the server accepts stores it, and requests after it use it.
void TestFrmConfigServer::okStoresWhatTheServerAccepted()
{
    testsupport::FakeDialogs dialogs;
    testsupport::TempSettings settings;
    modPublic::strServer = QStringLiteral("127.0.0.1:1");
    modPublic::strPassword.clear();
    frmConfig dialog;
    dialog.show();
    dialog.findChild<QLineEdit *>("txtURL")->setText(m_server.serverText());
    dialog.findChild<QLineEdit *>("txtPass")->setText(PASSWORD);
    QTest::mouseClick(dialog.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messageTexts().join(u'\n')));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(modPublic::ListRemoteFolders(QStringLiteral("data")), QStringList());
    QCOMPARE(modPublic::Decode(settings.reopened()->GetSetting("Setting", "User", {})), PASSWORD);
}

QTEST_MAIN(TestFrmConfigServer)
#include "tst_frmConfigServer.moc"
