// Encrypted connections against lighttpd with mod_openssl on 127.0.0.1, with certificates made for
// the run: which certificates are accepted, what the user is told of the others, and trusting a
// server's own certificate once in the settings dialog.

#include "dialogs/config/frmConfig.h"
#include "dialogs/config/serversettings.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "protocol/pinning.h"
#include "support/certificates.h"
#include "support/fakeplatform.h"
#include "support/localserver.h"
#include "support/tables.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using platform::MsgAnswer;
using platform::MsgIcon;

namespace {
const QString kCheckFailed = QStringLiteral("サーバCGIの動作が異常です。");
const QString kCheckPassed = QStringLiteral("サーバCGIの正常動作を確認できました。");
} // namespace

class tst_Secure : public QObject {
    Q_OBJECT
    testsupport::TestCertificates made;
    std::unique_ptr<testsupport::TempSettings> settings;
    std::unique_ptr<testsupport::FakeDialogs> asked;
    std::unique_ptr<testsupport::LocalServer> server;
    // The test's own control, gone before the application: Qt closes kept connections at exit.
    std::unique_ptr<inetConn> control;

    void StartServer(const QString &certificate)
    {
        server = std::make_unique<testsupport::LocalServer>();
        server->useTls(made.certificateFile(certificate), made.keyFile(certificate));
        QVERIFY2(server->start(), qPrintable(server->errorText()));
    }
    QString Pinned() { return modPublic::PinnedFingerprint(*settings->reopened(), server->serverText()); }

private slots:
    void initTestCase()
    {
        testsupport::usePrivateRuntimeDir();
        QVERIFY2(made.make(), qPrintable(made.errorText()));
        platform::services().extraAuthoritiesPem = made.authority();
        control = std::make_unique<inetConn>();
        modPublic::setTransferControl(control.get());
    }
    void cleanupTestCase()
    {
        modPublic::setTransferControl(nullptr);
        control.reset();
    }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        settings = std::make_unique<testsupport::TempSettings>();
        asked = std::make_unique<testsupport::FakeDialogs>();
    }
    void cleanup()
    {
        asked.reset();
        settings.reset();
        server.reset();
    }

    void endPoints_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("endPoint");
        QTest::addColumn<bool>("plainWarning");
        QTest::newRow("host alone") << "example.jp"
                                    << "example.jp:443" << true;
        QTest::newRow("port, path, capitals") << "Example.JP:8443/~u/cgi"
                                              << "example.jp:8443" << true;
        QTest::newRow("path without port") << "127.0.0.1/lumeno"
                                           << "127.0.0.1:443" << false;
        QTest::newRow("loopback range") << "127.3.2.1:80"
                                        << "127.3.2.1:80" << false;
        QTest::newRow("IPv6 loopback") << "[::1]:8443"
                                       << "[::1]:8443" << false;
        QTest::newRow("localhost") << "LocalHost:8080"
                                   << "localhost:8080" << false;
        QTest::newRow("local network") << "192.168.1.2"
                                       << "192.168.1.2:443" << true;
        QTest::newRow("a name that starts like localhost") << "localhost.example.jp"
                                                           << "localhost.example.jp:443" << true;
        QTest::newRow("no host") << ""
                                 << "" << true;
    }
    // A certificate is pinned for its machine and port, whatever the path; plain http warns for
    // every address but this machine's, https for none.
    void endPoints()
    {
        QFETCH(QString, server);
        QTEST(modPublic::CertificateEndPoint(server), "endPoint");
        QTEST(config::SendsInPlainText(false, server), "plainWarning");
        QVERIFY(!config::SendsInPlainText(true, server));
    }

    void certificates_data() { testsupport::AddTableRows(QStringLiteral("certificates.txt")); }
    // Over https a certificate that verifies against the authorities works, pinned or not; one that
    // does not works only when it is the one pinned for the server. Any other ends the connection
    // before the request reaches the server, and the user is told why.
    void certificates()
    {
        QFETCH(QString, certificate);
        QFETCH(QString, pin);
        QFETCH(QString, outcome);
        StartServer(certificate);
        if (pin != QLatin1String("-"))
            modPublic::PinFingerprint(settings->store(), server->serverText(), made.storedFingerprint(pin));
        if (!outcome.section(u'/', 2).isEmpty())
            asked->answerMessage(MsgAnswer::OK);
        const bool ok = modPublic::CheckServer(server->serverText(), QString(), true);
        QString state = QVariant(ok).toString() + u'/' + QString::number(server->scriptRequests()) + u'/'
            + asked->messageTexts().join(u'|');
        state.replace(made.fingerprintText(certificate), QStringLiteral("OWN"));
        if (pin != QLatin1String("-"))
            state.replace(made.fingerprintText(pin), QStringLiteral("PINNED"));
        QCOMPARE(state.replace(server->serverText(), QStringLiteral("S")), outcome);
    }

    // The dialog chooses http or https and warns of plain http to another machine. Check offers to
    // trust a certificate that does not verify, with whom it was issued to and by and its
    // fingerprint: No leaves it refused, Yes keeps its fingerprint and checks again. The next run
    // accepts it without asking. A pinned server with another certificate is told with both
    // fingerprints, and the new one is trusted only when the user says so again; OK keeps https.
    void trustOnFirstUse()
    {
        StartServer(QStringLiteral("self-signed"));
        modPublic::strServer = server->serverText();
        modPublic::blnSecure = false;
        modPublic::strPassword.clear();
        QPointer<frmConfig> dlg = new frmConfig;
        dlg->show();
        const auto find = [&dlg](const char *name) { return dlg->findChild<QWidget *>(QLatin1String(name)); };
        auto *scheme = static_cast<QComboBox *>(find("cboScheme"));
        auto *address = static_cast<QLineEdit *>(find("txtURL"));
        QCOMPARE(scheme->currentText(), "http://");
        QVERIFY(!find("lblPlainText")->isVisible()); // this machine
        address->setText(QStringLiteral("example.jp"));
        QVERIFY(find("lblPlainText")->isVisible());
        scheme->setCurrentIndex(1);
        QVERIFY(!find("lblPlainText")->isVisible());
        address->setText(server->serverText());

        const auto check = [&](std::initializer_list<std::pair<MsgAnswer, QString>> answers) {
            asked->messages.clear();
            for (const auto &[answer, text] : answers)
                asked->answerMessage(answer, text);
            QTest::mouseClick(static_cast<QPushButton *>(find("cmdCheck")), Qt::LeftButton);
        };
        check({ { MsgAnswer::No, {} }, { MsgAnswer::OK, {} } });
        const platform::MessageRequest question = asked->messages.value(0).request;
        QCOMPARE(int(question.icon) * 100 + int(question.buttons) * 10 + int(question.defaultButton), 312);
        for (const QString &part : QStringList {
                 "サーバ自身が署名した証明書です。\r\n\r\n発行先：127.0.0.1\r\n発行者：127.0.0.1\r\n有効期間：",
                 "SHA-256 フィンガープリント：\r\n" + made.fingerprintText("self-signed")
                     + "\r\n\r\nこの証明書を、サーバ " + server->serverText() + " の証明書として信頼しますか？" })
            QVERIFY2(question.text.contains(part), qPrintable(question.text));
        QVERIFY(asked->messages.value(1).request.text.startsWith(kCheckFailed));
        QCOMPARE(Pinned(), QString());

        check({ { MsgAnswer::Yes, {} }, { MsgAnswer::OK, kCheckPassed } });
        QCOMPARE(Pinned(), made.storedFingerprint("self-signed"));
        {
            const auto nextStore = settings->reopened();
            const testsupport::Installed<platform::SettingsStore *> nextRun(
                platform::services().settings, nextStore.get());
            inetConn nextControl;
            modPublic::setTransferControl(&nextControl);
            QVERIFY(modPublic::CheckServer(server->serverText(), QString(), true));
            modPublic::setTransferControl(control.get());
        }

        // Another server (a kept connection would not show its certificate again) pinned to another.
        StartServer(QStringLiteral("self-signed"));
        address->setText(server->serverText());
        modPublic::PinFingerprint(settings->store(), server->serverText(), made.storedFingerprint("self-signed2"));
        check({ { MsgAnswer::OK, {} }, { MsgAnswer::No, {} }, { MsgAnswer::OK, {} } });
        const platform::MessageRequest changed = asked->messages.value(0).request;
        QCOMPARE(changed.icon, MsgIcon::Exclamation);
        QVERIFY2(changed.text.contains(made.fingerprintText("self-signed2") + "\r\n今回の証明書：\r\n"
                     + made.fingerprintText("self-signed")),
            qPrintable(changed.text));
        QCOMPARE(Pinned(), made.storedFingerprint("self-signed2"));

        asked->answerMessage(MsgAnswer::OK);
        asked->answerMessage(MsgAnswer::Yes);
        QTest::mouseClick(static_cast<QPushButton *>(find("cmdOK")), Qt::LeftButton);
        QVERIFY(!dlg->isVisible());
        const auto next = settings->reopened();
        QCOMPARE(next->GetSetting("Setting", "Secure", {}) + Pinned(), "1" + made.storedFingerprint("self-signed"));
        QVERIFY(modPublic::blnSecure);
        delete dlg.data();
        modPublic::blnSecure = false;
    }
};

QTEST_MAIN(tst_Secure)
#include "tst_secure.moc"
