#include "frmConfig.h"

#include "dialogs/config/serversettings.h"
#include "platform/dialogs.h"
#include "platform/settingsstore.h"
#include "protocol/modPublic.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString CheckFailedText()
{
    return QStringLiteral("サーバCGIの動作が異常です。") + CRLF + CRLF
        + QStringLiteral("サーバCGIの設置、設定、サーバURLやパスワード、") + CRLF
        + QStringLiteral("Webサーバが正常動作しているかどうかなどを確認してください。");
}

QString ForbiddenCharacterText()
{
    return QStringLiteral("パスワードに使用できない文字が含まれています。") + CRLF
        + QStringLiteral("半角英数字または'_'(アンダースコア)だけを使用してください。");
}

} // namespace

frmConfig::frmConfig(QWidget *owner)
    : QDialog(owner)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("サーバ設定"));
    CreateControls();
    Form_Load();
}

void frmConfig::CreateControls()
{
    Label1 = new QLabel(QStringLiteral("サーバURL(&U)："), this);
    Label2 = new QLabel(QStringLiteral("http://"), this);
    txtURL = new QLineEdit(this);
    Label3 = new QLabel(QStringLiteral("/vidodu.cgi"), this);
    Label4 = new QLabel(QStringLiteral("パスワード(&P)："), this);
    txtPass = new QLineEdit(this);
    cmdCheck = new QPushButton(QStringLiteral("ﾁｪｯｸ(&K)"), this);
    chkClearPass = new QCheckBox(QStringLiteral("終了時にパスワードをクリアする(&L)"), this);
    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), this);

    txtURL->setObjectName(QStringLiteral("txtURL"));
    txtPass->setObjectName(QStringLiteral("txtPass"));
    cmdCheck->setObjectName(QStringLiteral("cmdCheck"));
    chkClearPass->setObjectName(QStringLiteral("chkClearPass"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    Label1->setBuddy(txtURL);
    Label4->setBuddy(txtPass);
    txtURL->setMinimumWidth(200);
    // The password is masked, short, and typed without the input method: only the codec's
    // half-width symbols can be stored.
    txtPass->setEchoMode(QLineEdit::Password);
    txtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    txtPass->setMaxLength(15);
    txtPass->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    txtPass->setAttribute(Qt::WA_InputMethodEnabled, false);
    cmdOK->setDefault(true);

    auto *rows = new QGridLayout;
    rows->addWidget(Label1, 0, 0);
    rows->addWidget(Label2, 0, 1);
    rows->addWidget(txtURL, 0, 2);
    rows->addWidget(Label3, 0, 3);
    rows->addWidget(Label4, 1, 0);
    rows->addWidget(txtPass, 1, 1, 1, 2);
    rows->addWidget(cmdCheck, 1, 3);
    rows->addWidget(chkClearPass, 2, 1, 1, 3);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto *form = new QVBoxLayout(this);
    form->addLayout(rows);
    form->addSpacing(8);
    form->addLayout(buttons);
    form->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(txtURL, txtPass);
    setTabOrder(txtPass, cmdCheck);
    setTabOrder(cmdCheck, chkClearPass);
    setTabOrder(chkClearPass, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdCheck, &QPushButton::clicked, this, &frmConfig::cmdCheck_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmConfig::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConfig::cmdCancel_Click);
}

void frmConfig::Form_Load()
{
    txtURL->setText(modPublic::strServer);
    txtPass->setText(modPublic::strPassword);
    chkClearPass->setChecked(modPublic::blnClearPass);
}

// Tests the fields as they stand; stores nothing.
void frmConfig::cmdCheck_Click()
{
    if (TestServer(txtURL->text(), txtPass->text()))
        platform::ShowInformation(this, QStringLiteral("サーバCGIの正常動作を確認できました。"));
    else
        platform::ShowError(this, CheckFailedText());
}

void frmConfig::cmdOK_Click()
{
    const QString server = txtURL->text();
    const QString password = txtPass->text();
    if (!config::IsPasswordAllowed(password))
        return platform::ShowError(this, ForbiddenCharacterText());
    if (!TestServer(server, password)
        && !platform::AskYesNo(this, QStringLiteral("サーバの動作が異常ですが、そのまま設定を保存しますか？")))
        return;
    modPublic::strServer = server;
    modPublic::strPassword = password;
    modPublic::blnClearPass = chkClearPass->isChecked();
    platform::SettingsStore &store = platform::settingsStore();
    config::SaveServerSettings(store, server, password, modPublic::blnClearPass);
    // The settings are in effect for this run either way; say so when the next run will not see them.
    if (!store.Sync())
        platform::ShowError(this, QStringLiteral("設定を保存できませんでした。") + CRLF + store.FileName());
    accept();
}

void frmConfig::cmdCancel_Click()
{
    reject();
}

// While the server is asked the request keeps window events going: the wait cursor shows, and
// the controls are disabled so that no second request and no closing can start meanwhile.
bool frmConfig::TestServer(const QString &server, const QString &password)
{
    const QPointer<QWidget> focused = focusWidget();
    const QList<QWidget *> controls { txtURL, txtPass, cmdCheck, chkClearPass, cmdOK, cmdCancel };
    for (QWidget *control : controls)
        control->setEnabled(false);
    m_blnWaiting = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = modPublic::CheckServer(server, password);
    QApplication::restoreOverrideCursor();
    m_blnWaiting = false;
    for (QWidget *control : controls)
        control->setEnabled(true);
    if (focused)
        focused->setFocus();
    return ok;
}

void frmConfig::reject()
{
    if (!m_blnWaiting)
        QDialog::reject();
}

void frmConfig::closeEvent(QCloseEvent *event)
{
    if (m_blnWaiting)
        return event->ignore();
    QDialog::closeEvent(event);
}
