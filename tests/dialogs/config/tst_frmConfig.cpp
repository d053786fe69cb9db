#include "codec/codec.h"
#include "dialogs/config/frmConfig.h"
#include "platform/machine.h"
#include "protocol/modPublic.h"
#include "dialogs/config/serversettings.h"
#include "support/fakeplatform.h"
#include "support/keyboard.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using platform::MsgAnswer;
using platform::MsgIcon;

namespace {
const QString CHECK_OK = QStringLiteral("サーバCGIの正常動作を確認できました。");
const QString CHECK_NG = QStringLiteral("サーバCGIの動作が異常です。\r\n\r\nサーバCGIの設置、設定、サーバURLやパスワード、\r\n"
                                        "Webサーバが正常動作しているかどうかなどを確認してください。");
const QString BAD_CHARACTER = QStringLiteral("パスワードに使用できない文字が含まれています。\r\n"
                                             "半角英数字または'_'(アンダースコア)だけを使用してください。");
const QString SAVE_ANYWAY = QStringLiteral("サーバの動作が異常ですが、そのまま設定を保存しますか？");
}

class TestFrmConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void passwordCharacters_data();
    void passwordCharacters();
    void loadShowsTheModuleSettings();
    void passwordFieldTakesFifteenCharacters();
    void checkReportsWithoutStoring_data();
    void checkReportsWithoutStoring();
    void forbiddenCharacterStopsBeforeAnyRequest_data();
    void forbiddenCharacterStopsBeforeAnyRequest();
    void okStoresTestedSettings_data();
    void okStoresTestedSettings();
    void failedTestAsksWhetherToSave_data();
    void failedTestAsksWhetherToSave();
    void waitShowsWaitCursorAndTakesNoSecondClick();
    void unwritableStoreIsReported();

private:
    struct Request {
        QString server;
        QString password;
    };
    void open();
    void type(const char *field, const QString &text);
    void click(const char *name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }
    template<typename T> T *control(const char *name) { return m_dialog->findChild<T *>(QLatin1String(name)); }
    void answerServer(bool works) { m_serverWorks = works; }
    void verifyNothingStored();

    std::unique_ptr<testsupport::TempSettings> m_settings;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<frmConfig> m_dialog;
    QList<Request> m_requests;
    bool m_serverWorks = true;
    std::function<void()> m_duringRequest;
};

void TestFrmConfig::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    platform::services().computerName = QStringLiteral("LUMENOPC");
}

void TestFrmConfig::cleanupTestCase()
{
    platform::services().computerName = std::nullopt;
}

// The scripted server answers CHECK as told and records what was asked.
void TestFrmConfig::init()
{
    m_settings = std::make_unique<testsupport::TempSettings>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
    m_requests.clear();
    m_serverWorks = true;
    m_duringRequest = nullptr;
    modPublic::strServer = QStringLiteral("old.example.jp");
    modPublic::strPassword = QStringLiteral("oldPass");
    modPublic::blnClearPass = false;
    modPublic::setCommandHandler([this](const QString &server, const modPublic::FieldList &fields) {
        QString password;
        for (const modPublic::Field &field : fields) {
            if (field.first == QLatin1String("pass"))
                password = field.second;
        }
        m_requests.append({server, password});
        if (m_duringRequest)
            m_duringRequest();
        return m_serverWorks ? QStringLiteral("OK\n") : QStringLiteral("NG");
    });
}

void TestFrmConfig::cleanup()
{
    modPublic::setCommandHandler(nullptr);
    m_dialog.reset();
    QVERIFY2(m_dialogs->unexpected.isEmpty(), qPrintable(m_dialogs->unexpected.join(u'\n')));
    QVERIFY(m_dialogs->allAnswersUsed());
    m_dialogs.reset();
    m_settings.reset();
    QVERIFY(!QApplication::overrideCursor());
}

void TestFrmConfig::open()
{
    m_dialog = std::make_unique<frmConfig>();
    m_dialog->show();
}

void TestFrmConfig::type(const char *field, const QString &text)
{
    control<QLineEdit>(field)->clear();
    testsupport::typeText(control<QLineEdit>(field), text);
}

void TestFrmConfig::verifyNothingStored()
{
    const auto next = m_settings->reopened();
    QVERIFY(!m_settings->store().Contains("Setting", "Server") && !next->Contains("Setting", "Server"));
    QVERIFY(!m_settings->store().Contains("Setting", "User") && !next->Contains("Setting", "User"));
    QVERIFY(!m_settings->store().Contains("Setting", "ClearPass") && !next->Contains("Setting", "ClearPass"));
    QCOMPARE(modPublic::strServer, QStringLiteral("old.example.jp"));
    QCOMPARE(modPublic::strPassword, QStringLiteral("oldPass"));
    QCOMPARE(modPublic::blnClearPass, false);
}

void TestFrmConfig::passwordCharacters_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("all 64 symbols") << modPublic::CODE_ALPHABET << true;
    QTest::newRow("full-width digit") << "１" << false;
    QTest::newRow("kana") << "ﾊﾟｽ" << false;
    QTest::newRow("tab at the end") << "abc\t" << false;
    QTest::newRow("accented letter") << "é" << false;
}

// A password may hold only the codec's 64 symbols, "-" and "_" included.
void TestFrmConfig::passwordCharacters()
{
    QFETCH(QString, password);
    QFETCH(bool, allowed);
    QCOMPARE(config::IsPasswordAllowed(password), allowed);
}

// The dialog opens on the settings in use, the password masked, whether or not the store holds it.
void TestFrmConfig::loadShowsTheModuleSettings()
{
    modPublic::blnClearPass = true;
    open();
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("サーバ設定"));
    QCOMPARE(control<QLineEdit>("txtURL")->text(), QStringLiteral("old.example.jp"));
    QCOMPARE(control<QLineEdit>("txtPass")->text(), QStringLiteral("oldPass"));
    QCOMPARE(control<QLineEdit>("txtPass")->echoMode(), QLineEdit::Password);
    QVERIFY(control<QCheckBox>("chkClearPass")->isChecked());
    QVERIFY(control<QPushButton>("cmdOK")->isDefault());
}

// A sixteenth character typed into the password has no effect.
void TestFrmConfig::passwordFieldTakesFifteenCharacters()
{
    open();
    auto *pass = control<QLineEdit>("txtPass");
    pass->clear();
    QTest::keyClicks(pass, "abcdefghijklmnop");
    QCOMPARE(pass->text(), QStringLiteral("abcdefghijklmno"));
}

void TestFrmConfig::checkReportsWithoutStoring_data()
{
    QTest::addColumn<bool>("works");
    QTest::addColumn<QString>("message");
    QTest::addColumn<MsgIcon>("icon");
    QTest::newRow("working server") << true << CHECK_OK << MsgIcon::Information;
    QTest::newRow("failing server") << false << CHECK_NG << MsgIcon::Exclamation;
}

// Check tests the fields as typed, unvalidated, reports the result, stores nothing and stays
// open; Cancel after it changes nothing either.
void TestFrmConfig::checkReportsWithoutStoring()
{
    QFETCH(bool, works);
    QFETCH(QString, message);
    QFETCH(MsgIcon, icon);
    answerServer(works);
    open();
    type("txtURL", QStringLiteral("127.0.0.1:8080/いろは"));
    type("txtPass", QStringLiteral("not valid."));
    click("cmdCheck");
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_requests[0].server, QStringLiteral("127.0.0.1:8080/いろは"));
    QCOMPARE(m_requests[0].password, QStringLiteral("not valid."));
    QCOMPARE(m_dialogs->messageTexts(), QStringList{message});
    QCOMPARE(m_dialogs->messages[0].request.icon, icon);
    QVERIFY(m_dialog->isVisible());
    verifyNothingStored();
    click("cmdCancel");
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    QVERIFY(!m_dialog->isVisible());
    verifyNothingStored();
}

void TestFrmConfig::forbiddenCharacterStopsBeforeAnyRequest_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("space") << "pass word";
    QTest::newRow("dot") << "pass.word";
    QTest::newRow("full-width letter") << "passｗord";
}

// OK refuses a password with a character outside the codec's symbols before asking the server.
void TestFrmConfig::forbiddenCharacterStopsBeforeAnyRequest()
{
    QFETCH(QString, password);
    open();
    type("txtPass", password);
    click("cmdOK");
    QVERIFY(m_requests.isEmpty());
    QCOMPARE(m_dialogs->messageTexts(), QStringList{BAD_CHARACTER});
    QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(control<QLineEdit>("txtPass")->text(), password);
    verifyNothingStored();
}

void TestFrmConfig::okStoresTestedSettings_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("clearPass");
    QTest::newRow("hyphen and underscore") << "new-Pass_9" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("cleared on exit") << "typedPass" << true;
}

// OK with a working server takes the fields as the settings in use and stores them, the
// password through the codec; with Clear on exit the store keeps no password, but this run
// goes on using the typed one.
void TestFrmConfig::okStoresTestedSettings()
{
    QFETCH(QString, password);
    QFETCH(bool, clearPass);
    open();
    type("txtURL", QStringLiteral("new.example.jp:81"));
    type("txtPass", password);
    control<QCheckBox>("chkClearPass")->setChecked(clearPass);
    click("cmdOK");
    QCOMPARE(m_requests.size(), 1);
    QCOMPARE(m_requests[0].password, password);
    QVERIFY(m_dialogs->messages.isEmpty());
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(modPublic::strServer, QStringLiteral("new.example.jp:81"));
    QCOMPARE(modPublic::strPassword, password);
    QCOMPARE(modPublic::blnClearPass, clearPass);
    const auto next = m_settings->reopened();
    QCOMPARE(next->GetSetting("Setting", "Server", {}), QStringLiteral("new.example.jp:81"));
    const QString user = next->GetSetting("Setting", "User", QStringLiteral("-"));
    QCOMPARE(user.isEmpty(), clearPass || password.isEmpty());   // written, empty when cleared
    QVERIFY(password.isEmpty() || !user.contains(password));
    QCOMPARE(modPublic::Decode(user), clearPass ? QString() : password);
    QCOMPARE(next->GetSetting("Setting", "ClearPass", {}), clearPass ? QStringLiteral("True") : QStringLiteral("False"));
}

void TestFrmConfig::failedTestAsksWhetherToSave_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("No") << MsgAnswer::No;
    QTest::newRow("Yes") << MsgAnswer::Yes;
}

// A failed test asks whether to save anyway, No by default: No keeps the dialog open as typed
// and stores nothing, Yes stores.
void TestFrmConfig::failedTestAsksWhetherToSave()
{
    QFETCH(MsgAnswer, answer);
    answerServer(false);
    open();
    type("txtURL", QStringLiteral("down.example.jp"));
    type("txtPass", QStringLiteral("abc"));
    m_dialogs->answerMessage(answer);
    click("cmdOK");
    QCOMPARE(m_dialogs->messageTexts(), QStringList{SAVE_ANYWAY});
    QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Question);
    QCOMPARE(m_dialogs->messages[0].request.buttons, platform::MsgButtons::YesNo);
    QCOMPARE(m_dialogs->messages[0].request.defaultButton, MsgAnswer::No);
    if (answer == MsgAnswer::Yes) {
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QCOMPARE(modPublic::strServer, QStringLiteral("down.example.jp"));
        QCOMPARE(m_settings->reopened()->GetSetting("Setting", "Server", {}), QStringLiteral("down.example.jp"));
        return;
    }
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(control<QLineEdit>("txtURL")->text(), QStringLiteral("down.example.jp"));
    QCOMPARE(control<QLineEdit>("txtPass")->text(), QStringLiteral("abc"));
    verifyNothingStored();
}

// While the server is asked the wait cursor shows and neither a button, Esc nor closing starts anything.
void TestFrmConfig::waitShowsWaitCursorAndTakesNoSecondClick()
{
    open();
    type("txtPass", QStringLiteral("abc"));
    bool waitCursor = false;
    m_duringRequest = [&] {
        waitCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        m_duringRequest = nullptr;
        click("cmdCheck");
        click("cmdOK");
        click("cmdCancel");
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        m_dialog->close();
    };
    click("cmdOK");
    QVERIFY(waitCursor);
    QCOMPARE(m_requests.size(), 1);
    QVERIFY(m_dialogs->messages.isEmpty());
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QCOMPARE(modPublic::strPassword, QStringLiteral("abc"));
    QVERIFY(!QApplication::overrideCursor());
    for (const char *name : {"cmdCheck", "cmdOK", "cmdCancel"})
        QVERIFY(control<QPushButton>(name)->isEnabled());
}

// When the store cannot be written the user is told; the settings still hold for this run.
void TestFrmConfig::unwritableStoreIsReported()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath("notafolder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    platform::SettingsStore store(dir.filePath("notafolder/Lumeno.ini"));
    platform::services().settings = &store;
    open();
    type("txtURL", QStringLiteral("new.example.jp"));
    click("cmdOK");
    platform::services().settings = &m_settings->store();
    QCOMPARE(m_dialogs->messages.size(), 1);
    QVERIFY(m_dialogs->messages[0].request.text.startsWith(QStringLiteral("設定を保存できませんでした。")));
    QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
    QCOMPARE(modPublic::strServer, QStringLiteral("new.example.jp"));
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestFrmConfig)
#include "tst_frmConfig.moc"
