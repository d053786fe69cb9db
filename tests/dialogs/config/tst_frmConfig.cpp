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
} // namespace

class tst_frmConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();
    void passwordCharacters_data();
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
    QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
    m_dialog->show();
    QCOMPARE(control<QLineEdit>("txtURL")->text() + control<QLineEdit>("txtPass")->text(), "old.example.jpoldPass");
    QVERIFY(control<QCheckBox>("chkClearPass")->isChecked());
    QCOMPARE(control<QLineEdit>("txtPass")->echoMode(), QLineEdit::Password);
    QCOMPARE(dialogtest::Unplaced(m_dialog.get()), QString());
    control<QLineEdit>("txtURL")->setText(m_server->serverText());
    control<QLineEdit>("txtPass")->clear();
    QTest::keyClicks(control<QLineEdit>("txtPass"), password);
}

void tst_frmConfig::passwordCharacters_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("all 64 symbols") << modPublic::CODE_ALPHABET << true;
    QTest::newRow("full-width digit") << "a１" << false;
    QTest::newRow("kana") << "ﾊﾟｽ" << false;
    QTest::newRow("blank at the end") << "abc " << false;
}

// A password may hold only the codec's 64 symbols, "-" and "_" included.
void tst_frmConfig::passwordCharacters()
{
    QFETCH(QString, password);
    QFETCH(bool, allowed);
    QCOMPARE(config::IsPasswordAllowed(password), allowed);
}

void tst_frmConfig::buttons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("password"); // typed; a sixteenth character is not taken
    QTest::addColumn<QString>("reply"); // the script's answer to CHECK; null: not asked
    QTest::addColumn<QList<MsgAnswer>>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("stored");
    const QList<MsgAnswer> ok { MsgAnswer::OK };
    QTest::newRow("check, working") << "cmdCheck"
                                    << "abc.x"
                                    << "OK\n"
                                    << ok << QStringList { CHECK_OK } << false;
    QTest::newRow("check, failing") << "cmdCheck"
                                    << "abc"
                                    << "NG" << ok << QStringList { CHECK_NG } << false;
    QTest::newRow("ok, bad character") << "cmdOK"
                                       << "pass word" << QString() << ok << QStringList { BAD_CHARACTER } << false;
    QTest::newRow("ok, working") << "cmdOK"
                                 << "new-Pass_9abcdef"
                                 << "OK\n"
                                 << QList<MsgAnswer> {} << QStringList {} << true;
    QTest::newRow("ok, failing, saved anyway")
        << "cmdOK"
        << "abc"
        << "NG" << QList<MsgAnswer> { MsgAnswer::Yes } << QStringList { SAVE_ANYWAY } << true;
    QTest::newRow("ok, failing, not saved")
        << "cmdOK"
        << "abc"
        << "NG" << QList<MsgAnswer> { MsgAnswer::No } << QStringList { SAVE_ANYWAY } << false;
}

// Check tests the typed fields and only reports; OK refuses a password outside the codec's
// symbols before asking the server, asks before keeping settings the server failed, and
// stores what it keeps: the password through the codec, or none when cleared on exit.
void tst_frmConfig::buttons()
{
    QFETCH(QString, button);
    QFETCH(QString, password);
    QFETCH(QString, reply);
    QFETCH(QList<MsgAnswer>, answers);
    QFETCH(QStringList, messages);
    QFETCH(bool, stored);
    open(password);
    control<QCheckBox>("chkClearPass")->setChecked(password.size() == 3);
    if (!reply.isNull())
        m_server->reply(reply, QStringLiteral("CHECK"));
    for (MsgAnswer answer : answers)
        m_dialogs->answerMessage(answer);
    if (button == QLatin1String("cmdOK"))
        QTest::keyClick(m_dialog.get(), Qt::Key_Return); // OK is the default button
    else
        click(qPrintable(button));
    QCOMPARE(m_dialogs->messageTexts(), messages);
    const QString typed = password.left(15);
    QCOMPARE(m_server->requests.value(0).fields.value(1).second, reply.isNull() ? QString() : typed);
    QCOMPARE(m_dialog->isVisible(), !stored);
    QCOMPARE(modPublic::strServer, stored ? m_server->serverText() : "old.example.jp");
    QCOMPARE(modPublic::strPassword, stored ? typed : "oldPass");
    QCOMPARE(modPublic::blnClearPass, !stored || password.size() == 3);
    const auto next = m_settings->reopened();
    QCOMPARE(next->GetSetting("Setting", "Server", "none"), stored ? m_server->serverText() : "none");
    QCOMPARE(next->Contains("Setting", "User"), stored);
    QCOMPARE(modPublic::Decode(next->GetSetting("Setting", "User", {})), stored && typed.size() > 3 ? typed : "");
    QCOMPARE(next->GetSetting("Setting", "ClearPass", {}), !stored ? "" : typed.size() == 3 ? "True" : "False");
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
