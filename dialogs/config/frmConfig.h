#pragma once

#include <QDialog>

namespace modPublic {
struct CertificateRefusal;
}

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The server settings dialog: the server with http or https, and the password, tested against
// the server script and stored. Opened modally by the main window; OK replaces the module's
// settings and the stored ones, Cancel changes nothing (but a certificate the user chose to
// trust stays trusted).
class frmConfig : public QDialog {
    Q_OBJECT
public:
    explicit frmConfig(QWidget *owner = nullptr);

    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void CreateControls();
    void Form_Load();
    void cmdCheck_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    bool TestServer(const QString &server, const QString &password);
    bool TrustCertificate(const modPublic::CertificateRefusal &refusal);
    bool IsSecure() const;
    void ShowPlainTextWarning();

    bool m_blnWaiting = false; // a server test is running

    QLabel *Label1 = nullptr;
    QComboBox *cboScheme = nullptr; // "http://" or "https://"
    QLineEdit *txtURL = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *lblPlainText = nullptr; // the warning under the address
    QLabel *Label4 = nullptr;
    QLineEdit *txtPass = nullptr;
    QPushButton *cmdCheck = nullptr;
    QCheckBox *chkClearPass = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
};
