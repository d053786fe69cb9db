// The server settings dialog: the password rule, the server check, and what OK stores.

#include "codec/codec.h"
#include "dialogs/config/frmConfig.h"
#include "dialogs/config/serversettings.h"
#include "dialogs/placed.h"
#include "platform/services.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/scriptedserver.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using platform::MsgAnswer;

namespace {

const QString CHECK_OK = QStringLiteral("サーバCGIの正常動作を確認できました。");
const QString CHECK_NG
    = QStringLiteral("サーバCGIの動作が異常です。\r\n\r\nサーバCGIの設置、設定、サーバURLやパスワード、\r\n"
                     "Webサーバが正常動作しているかどうかなどを確認してください。");
const QString BAD_CHARACTER = QStringLiteral("パスワードに使用できない文字が含まれています。\r\n"
                                             "半角英数字または'_'(アンダースコア)だけを使用してください。");
const QString SAVE_ANYWAY = QStringLiteral("サーバの動作が異常ですが、そのまま設定を保存しますか？");

// A password of three characters is typed with "clear on exit" checked; a sixteenth is not taken.
struct Press {
    const char *name, *button, *password, *reply; // reply: the script's answer to CHECK; nullptr: not asked
    QList<MsgAnswer> answers;
    QStringList messages;
    bool stored;
};
const Press kPresses[] = {
    { "check, working", "cmdCheck", "abc.x", "OK\n", { MsgAnswer::OK }, { CHECK_OK }, false },
    { "check, failing", "cmdCheck", "abc", "NG", { MsgAnswer::OK }, { CHECK_NG }, false },
    { "ok, bad character", "cmdOK", "pass word", nullptr, { MsgAnswer::OK }, { BAD_CHARACTER }, false },
    { "ok, working", "cmdOK", "new-Pass_9abcdef", "OK\n", {}, {}, true },
    { "ok, failing, saved anyway", "cmdOK", "abc", "NG", { MsgAnswer::Yes }, { SAVE_ANYWAY }, true },
    { "ok, failing, not saved", "cmdOK", "abc", "NG", { MsgAnswer::No }, { SAVE_ANYWAY }, false },
};

} // namespace

class tst_frmConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();
    void passwordCharacters();
    void buttons_data();
    void buttons();
    void waitHoldsTheDialog();
    void unwritableStoreIsReported();

private:
    void open(const QString &password);
    template <typename T> T *control(const char *name) { return m_dialog->findChild<T *>(QLatin1String(name)); }
    void click(const char *name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

    std::unique_ptr<testsupport::ScriptedHttpServer> m_server;
    std::unique_ptr<testsupport::TempSettings> m_settings;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<frmConfig> m_dialog;
};

void tst_frmConfig::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    m_server = std::make_unique<testsupport::ScriptedHttpServer>();
    m_settings = std::make_unique<testsupport::TempSettings>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
    modPublic::strServer = QStringLiteral("old.example.jp");
    modPublic::strPassword = QStringLiteral("oldPass");
    modPublic::blnClearPass = true;
}

void tst_frmConfig::cleanup()
{
    m_dialog.reset();
    m_dialogs.reset();
    m_settings.reset();
    m_server.reset();
    QVERIFY(!QApplication::overrideCursor());
}

// Opens on the settings in use, then types the scripted server's address and the password.
void tst_frmConfig::open(const QString &password)
{
    m_dialog = std::make_unique<frmConfig>();
    m_dialog->show();
    QCOMPARE(control<QLineEdit>("txtURL")->text() + control<QLineEdit>("txtPass")->text(), "old.example.jpoldPass");
    QVERIFY(control<QCheckBox>("chkClearPass")->isChecked());
    QCOMPARE(control<QLineEdit>("txtPass")->echoMode(), QLineEdit::Password);
    QCOMPARE(dialogtest::Unplaced(m_dialog.get()), QString());
    control<QLineEdit>("txtURL")->setText(m_server->serverText());
    control<QLineEdit>("txtPass")->clear();
    QTest::keyClicks(control<QLineEdit>("txtPass"), password);
}

// A password may hold only the codec's 64 symbols, "-" and "_" included.
void tst_frmConfig::passwordCharacters()
{
    QVERIFY(config::IsPasswordAllowed(QString()));
    QVERIFY(config::IsPasswordAllowed(modPublic::CODE_ALPHABET));
    for (const char *refused : { "a１", "ﾊﾟｽ", "abc ", "a.b" })
        QVERIFY2(!config::IsPasswordAllowed(QString::fromUtf8(refused)), refused);
}

void tst_frmConfig::buttons_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(kPresses)); ++row)
        QTest::newRow(kPresses[row].name) << row;
}

// Check tests the typed fields and only reports; OK refuses a password outside the codec's
// symbols before asking the server, asks before keeping settings the server failed, and
// stores what it keeps: the password through the codec, or none when cleared on exit.
void tst_frmConfig::buttons()
{
    QFETCH(int, row);
    const Press &p = kPresses[row];
    const QString password = QString::fromUtf8(p.password);
    open(password);
    control<QCheckBox>("chkClearPass")->setChecked(password.size() == 3);
    if (p.reply)
        m_server->reply(QString::fromUtf8(p.reply), QStringLiteral("CHECK"));
    for (MsgAnswer answer : p.answers)
        m_dialogs->answerMessage(answer);
    if (QLatin1String(p.button) == QLatin1String("cmdOK"))
        QTest::keyClick(m_dialog.get(), Qt::Key_Return); // OK is the default button
    else
        click(p.button);
    QCOMPARE(m_dialogs->messageTexts(), p.messages);
    const QString typed = password.left(15);
    QCOMPARE(m_server->requests.value(0).fields.value(1).second, p.reply ? typed : QString());
    QCOMPARE(m_dialog->isVisible(), !p.stored);
    QCOMPARE(modPublic::strServer, p.stored ? m_server->serverText() : "old.example.jp");
    QCOMPARE(modPublic::strPassword, p.stored ? typed : "oldPass");
    QCOMPARE(modPublic::blnClearPass, !p.stored || password.size() == 3);
    const auto next = m_settings->reopened();
    QCOMPARE(next->GetSetting("Setting", "Server", "none"), p.stored ? m_server->serverText() : "none");
    QCOMPARE(next->Contains("Setting", "User"), p.stored);
    QCOMPARE(modPublic::Decode(next->GetSetting("Setting", "User", {})), p.stored && typed.size() > 3 ? typed : "");
    QCOMPARE(next->GetSetting("Setting", "ClearPass", {}), !p.stored ? "" : typed.size() == 3 ? "True" : "False");
}

// While the server is asked the wait cursor shows and no button, Esc or close box starts
// anything; afterwards the controls work again, the focus where it was.
void tst_frmConfig::waitHoldsTheDialog()
{
    open(QStringLiteral("abc"));
    m_server->reply(QStringLiteral("OK\n"), QStringLiteral("CHECK"));
    bool waitCursor = false;
    m_server->onRequest = [&] {
        waitCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        for (const char *name : { "cmdCheck", "cmdOK", "cmdCancel" })
            click(name);
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        m_dialog->close();
    };
    m_dialogs->answerMessage(MsgAnswer::OK);
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    click("cmdCheck");
    QVERIFY(waitCursor);
    QVERIFY(control<QPushButton>("cmdCheck")->hasFocus()); // given back after the wait took it
    QCOMPARE(m_dialogs->messageTexts(), QStringList { CHECK_OK });
    QVERIFY(m_dialog->isVisible());
    m_server->onRequest = nullptr;
    click("cmdCancel");
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
}

// When the store cannot be written the user is told; the settings still hold for this run.
void tst_frmConfig::unwritableStoreIsReported()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath("notafolder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    platform::SettingsStore store(dir.filePath("notafolder/Lumeno.ini"));
    platform::services().settings = &store;
    open(QStringLiteral("abc"));
    m_server->reply(QStringLiteral("OK\n"), QStringLiteral("CHECK"));
    m_dialogs->answerMessage(MsgAnswer::OK);
    click("cmdOK");
    platform::services().settings = &m_settings->store();
    QCOMPARE(m_dialogs->messageTexts(), QStringList { "設定を保存できませんでした。\r\n" + store.FileName() });
    QCOMPARE(modPublic::strPassword, QStringLiteral("abc"));
}

QTEST_MAIN(tst_frmConfig)
#include "tst_frmConfig.moc"
