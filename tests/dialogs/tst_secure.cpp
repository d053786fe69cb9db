// Encrypted connections against lighttpd with mod_openssl on 127.0.0.1, with the certificates of
// scripts/make-certificates.sh made for the run: which are accepted, what the user is told of
// the others, and trusting a server's own certificate once in the settings dialog.

#include "dialogs/config/frmConfig.h"
#include "dialogs/config/serversettings.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "protocol/pinning.h"
#include "protocol/tls.h"
#include "support/fakeplatform.h"
#include "support/localserver.h"
#include "support/tables.h"

#include <QRegularExpression>
#include <QTest>

class tst_Secure : public QObject {
    Q_OBJECT
    QTemporaryDir made;
    // The test's own control, gone before the application: Qt closes kept connections at exit.
    inetConn *control = new inetConn(this);
    QString Certificate(const QString &name, const char *suffix) { return made.filePath(name + suffix); }
    QString Fingerprint(const QString &name) // as openssl prints it, "AB:CD:..."
    {
        return QString::fromLatin1(testsupport::RunProgram("cat", { Certificate(name, ".sha256") })).trimmed();
    }

private slots:
    void initTestCase()
    {
        testsupport::usePrivateRuntimeDir();
        int status = -1;
        testsupport::RunProgram(
            "bash", { LUMENO_SOURCE_DIR "/scripts/make-certificates.sh", made.path() }, {}, {}, &status);
        QCOMPARE(status, 0);
        platform::services().extraAuthoritiesPem
            = testsupport::RunProgram("cat", { Certificate("authority-ca", ".pem") });
        modPublic::setTransferControl(control);
    }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // A certificate is pinned for its machine and port, whatever the path; plain http warns for
    // every address but this machine's, https for none.
    void endPoints_data() { testsupport::AddTableRows(QStringLiteral("end-points.txt")); }
    void endPoints()
    {
        QFETCH(QString, server);
        QTEST(modPublic::CertificateEndPoint(server), "endPoint");
        QTEST(QString::number(config::SendsInPlainText(false, server) * 2 + config::SendsInPlainText(true, server)),
            "warns");
    }

    // A certificate that verifies works, pinned or not; one that does not, only when it is the one
    // pinned for the server. Any other ends the connection before the request reaches the script,
    // and the user is told why; the settings dialog offers to trust it instead, for the next run too.
    void certificates_data() { testsupport::AddTableRows(QStringLiteral("certificates.txt")); }
    void certificates()
    {
        QFETCH(QString, certificate);
        QFETCH(QString, pin);
        QFETCH(QString, via);
        QFETCH(QString, answered);
        const testsupport::TempSettings settings;
        testsupport::FakeDialogs asked;
        testsupport::LocalServer server;
        server.useTls(Certificate(certificate, ".pem"), Certificate(certificate, ".key"));
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        const QString s = server.serverText();
        const auto stored = [this](const QString &name) { return Fingerprint(name).remove(':').toLower(); };
        if (pin != "-")
            modPublic::PinFingerprint(*platform::services().settings, s, stored(pin));
        for (const QString &answer : answered.split(u' ', Qt::SkipEmptyParts))
            asked.answerMessage(platform::MsgAnswer(QStringLiteral("OYN").indexOf(answer)));
        QString outcome;
        if (via == "op") {
            outcome = QVariant(modPublic::CheckServer(s, QString(), true)).toString();
        } else { // the dialog opened on http to another machine
            modPublic::strServer = "example.jp";
            modPublic::blnSecure = false;
            frmConfig dlg;
            dlg.show();
            for (const auto &[text, scheme] : QList<std::pair<QString, int>> {
                     { "example.jp", 0 }, { "127.0.0.1", 0 }, { "x.jp", 0 }, { "x.jp", 1 }, { s, 1 } }) {
                dlg.findChild<QWidget *>("txtURL")->setProperty("text", text);
                dlg.findChild<QWidget *>("cboScheme")->setProperty("currentIndex", scheme);
                outcome += QString::number(dlg.findChild<QWidget *>("lblPlainText")->isVisible());
            }
            QTest::mouseClick(dlg.findChild<QWidget *>(via), Qt::LeftButton);
            outcome += dlg.isVisible() ? " open" : " closed";
        }
        // The requests that reached the script; the store as the next run sees it, and its CHECK.
        const auto next = settings.reopened();
        outcome += QStringLiteral("/%1/%2 %3/")
                       .arg(server.scriptRequests())
                       .arg(modPublic::PinnedFingerprint(*next, s), next->GetSetting("Setting", "Secure", "none"));
        {
            const testsupport::Installed<platform::SettingsStore *> nextRun(platform::services().settings, next.get());
            inetConn nextControl;
            modPublic::setTransferControl(&nextControl);
            const modPublic::CertificateRefusalsToCaller quiet;
            outcome += QVariant(modPublic::CheckServer(s, QString(), true)).toString();
            modPublic::setTransferControl(control);
        }
        for (const testsupport::AskedMessage &message : asked.messages)
            outcome += '/' + QString(QLatin1Char("-EIQ"[int(message.request.icon)])) + ' ' + message.request.text;
        outcome.replace(QRegularExpression("\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d"), "D").replace(s, "S");
        for (const QString &name : { certificate, pin }) {
            if (name != "-")
                outcome.replace(Fingerprint(name), name).replace(stored(name), name);
        }
        QTEST(outcome, "outcome");
        modPublic::blnSecure = false;
    }
};

QTEST_MAIN(tst_Secure)
#include "tst_secure.moc"
