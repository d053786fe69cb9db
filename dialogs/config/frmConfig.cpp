#include "frmConfig.h"

#include "dialogs/config/serversettings.h"
#include "platform/dialogs.h"
#include "platform/settingsstore.h"
#include "protocol/certificatetext.h"
#include "protocol/modPublic.h"
#include "protocol/pinning.h"
#include "protocol/tls.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
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
    txtURL = new QLineEdit(this);
    Label3 = new QLabel(QStringLiteral("/vidodu.cgi"), this);
    lblPlainText = new QLabel(QStringLiteral("パスワードと文書は暗号化されずに送られます。"), this);
    Label4 = new QLabel(QStringLiteral("パスワード(&P)："), this);
    txtPass = new QLineEdit(this);
    cmdCheck = new QPushButton(QStringLiteral("ﾁｪｯｸ(&K)"), this);
    chkClearPass = new QCheckBox(QStringLiteral("終了時にパスワードをクリアする(&L)"), this);
    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&C)"), this);
    // Made last, so that it comes last in the tab order (see below).
    cboScheme = new QComboBox(this);
    cboScheme->addItems({ QStringLiteral("http://"), QStringLiteral("https://") });

    cboScheme->setObjectName(QStringLiteral("cboScheme"));
    txtURL->setObjectName(QStringLiteral("txtURL"));
    lblPlainText->setObjectName(QStringLiteral("lblPlainText"));
    txtPass->setObjectName(QStringLiteral("txtPass"));
    cmdCheck->setObjectName(QStringLiteral("cmdCheck"));
    chkClearPass->setObjectName(QStringLiteral("chkClearPass"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    Label1->setBuddy(txtURL);
    Label4->setBuddy(txtPass);
    txtURL->setMinimumWidth(200);
    QFont small = lblPlainText->font();
    small.setPointSizeF(small.pointSizeF() - 1);
    lblPlainText->setFont(small);
    // Shown and hidden as the address is typed: its room stays, so that the dialog does not jump.
    QSizePolicy keepsRoom = lblPlainText->sizePolicy();
    keepsRoom.setRetainSizeWhenHidden(true);
    lblPlainText->setSizePolicy(keepsRoom);
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
    rows->addWidget(cboScheme, 0, 1);
    rows->addWidget(txtURL, 0, 2);
    rows->addWidget(Label3, 0, 3);
    rows->addWidget(lblPlainText, 1, 1, 1, 3);
    rows->addWidget(Label4, 2, 0);
    rows->addWidget(txtPass, 2, 1, 1, 2);
    rows->addWidget(cmdCheck, 2, 3);
    rows->addWidget(chkClearPass, 3, 1, 1, 3);

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
    // The scheme comes last: the dialog opens in the address field, and Shift+Tab from there
    // reaches the scheme beside it.
    setTabOrder(cmdCancel, cboScheme);
    txtURL->setFocus();

    connect(cmdCheck, &QPushButton::clicked, this, &frmConfig::cmdCheck_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmConfig::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmConfig::cmdCancel_Click);
    connect(cboScheme, &QComboBox::currentIndexChanged, this, &frmConfig::ShowPlainTextWarning);
    connect(txtURL, &QLineEdit::textChanged, this, &frmConfig::ShowPlainTextWarning);
}

void frmConfig::Form_Load()
{
    cboScheme->setCurrentIndex(modPublic::blnSecure ? 1 : 0);
    txtURL->setText(modPublic::strServer);
    ShowPlainTextWarning();
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
    modPublic::blnSecure = IsSecure();
    modPublic::strPassword = password;
    modPublic::blnClearPass = chkClearPass->isChecked();
    platform::SettingsStore &store = platform::settingsStore();
    config::SaveServerSettings(store, { server, modPublic::blnSecure }, password, modPublic::blnClearPass);
    // The settings are in effect for this run either way; say so when the next run will not see them.
    if (!store.Sync())
        platform::ShowError(this, QStringLiteral("設定を保存できませんでした。") + CRLF + store.FileName());
    accept();
}

void frmConfig::cmdCancel_Click()
{
    reject();
}

bool frmConfig::IsSecure() const
{
    return cboScheme->currentIndex() == 1;
}

void frmConfig::ShowPlainTextWarning()
{
    lblPlainText->setVisible(config::SendsInPlainText(IsSecure(), txtURL->text()));
}

// While the server is asked the request keeps window events going: the wait cursor shows, and
// the controls are disabled so that no second request and no closing can start meanwhile.
// A certificate that did not verify is shown to the user, who may trust it for this server;
// then the server is asked again.
bool frmConfig::TestServer(const QString &server, const QString &password)
{
    const QPointer<QWidget> focused = focusWidget();
    const QList<QWidget *> controls { cboScheme, txtURL, txtPass, cmdCheck, chkClearPass, cmdOK, cmdCancel };
    for (QWidget *control : controls)
        control->setEnabled(false);
    m_blnWaiting = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::optional<modPublic::CertificateRefusal> refusal;
    bool ok = false;
    {
        const modPublic::CertificateRefusalsToCaller asksHere;
        ok = modPublic::CheckServer(server, password, IsSecure());
        refusal = modPublic::LastCertificateRefusal();
    }
    QApplication::restoreOverrideCursor();
    m_blnWaiting = false;
    for (QWidget *control : controls)
        control->setEnabled(true);
    if (focused)
        focused->setFocus();
    if (!ok && refusal && TrustCertificate(*refusal))
        return TestServer(server, password);
    return ok;
}

// A pinned server with another certificate is told first, with both fingerprints. Yes keeps the
// certificate's fingerprint for the server at once, whether or not the settings are kept.
bool frmConfig::TrustCertificate(const modPublic::CertificateRefusal &refusal)
{
    if (refusal.certificate.isNull()) { // no TLS at all: nothing to trust
        platform::ShowError(this, modPublic::CertificateRefusedText(refusal));
        return false;
    }
    if (!refusal.pinned.isEmpty())
        platform::ShowError(this, modPublic::CertificateChangedText(refusal));
    if (!platform::AskYesNo(this, modPublic::TrustCertificateQuestion(refusal)))
        return false;
    platform::SettingsStore &store = platform::settingsStore();
    modPublic::PinFingerprint(store, refusal.endPoint, modPublic::CertificateFingerprint(refusal.certificate));
    store.Sync();
    return true;
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
