#include "tls.h"

#include "platform/dialogs.h"
#include "platform/services.h"
#include "platform/settingsstore.h"
#include "protocol/certificatetext.h"
#include "protocol/pinning.h"

#include <QApplication>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QSslSocket>

namespace modPublic {

namespace {

std::optional<CertificateRefusal> g_lastRefusal;
bool g_refusalsToCaller = false;

QSslCertificate PresentedCertificate(QNetworkReply *reply, const QList<QSslError> &errors)
{
    const QSslCertificate peer = reply->sslConfiguration().peerCertificate();
    if (!peer.isNull())
        return peer;
    for (const QSslError &error : errors) {
        if (!error.certificate().isNull())
            return error.certificate();
    }
    return QSslCertificate();
}

// The system's authorities and the extra ones. Reading the system's takes longer than a small
// request, so the configuration is made once for each set of extra authorities.
const QSslConfiguration &ConfigurationTrusting(const QByteArray &extraPem)
{
    static QByteArray madeFor;
    static QSslConfiguration configuration;
    if (configuration.isNull() || extraPem != madeFor) {
        configuration = QSslConfiguration::defaultConfiguration();
        configuration.setCaCertificates(
            QSslConfiguration::systemCaCertificates() + QSslCertificate::fromData(extraPem, QSsl::Pem));
        madeFor = extraPem;
    }
    return configuration;
}

} // namespace

void PrepareTransport(QNetworkRequest &request)
{
    g_lastRefusal.reset();
    if (request.url().scheme() != QLatin1String("https"))
        return;
    // Qt loads OpenSSL only now; without it every https request fails, and the user should hear why.
    if (!QSslSocket::supportsSsl()) {
        g_lastRefusal
            = CertificateRefusal { CertificateEndPoint(request.url().authority()), QSslCertificate(), {}, {} };
        return;
    }
    const QByteArray &extra = platform::services().extraAuthoritiesPem;
    if (extra.isEmpty())
        return; // the system's authorities, as Qt finds them
    request.setSslConfiguration(ConfigurationTrusting(extra));
}

void ReviewCertificate(QNetworkReply *reply, const QList<QSslError> &errors)
{
    const QString endPoint = CertificateEndPoint(reply->url().authority());
    const QSslCertificate presented = PresentedCertificate(reply, errors);
    const QString pinned = PinnedFingerprint(platform::settingsStore(), endPoint);
    if (!presented.isNull() && !pinned.isEmpty() && CertificateFingerprint(presented) == pinned) {
        reply->ignoreSslErrors(errors);
        return;
    }
    // Not ignored, the errors end the connection before a byte of the request is written.
    g_lastRefusal = CertificateRefusal { endPoint, presented, pinned, errors };
}

std::optional<CertificateRefusal> LastCertificateRefusal()
{
    return g_lastRefusal;
}

void TellCertificateRefusal()
{
    if (g_lastRefusal && !g_refusalsToCaller)
        platform::ShowError(QApplication::activeWindow(), CertificateRefusedText(*g_lastRefusal));
}

CertificateRefusalsToCaller::CertificateRefusalsToCaller()
    : m_previous(std::exchange(g_refusalsToCaller, true))
{
}

CertificateRefusalsToCaller::~CertificateRefusalsToCaller()
{
    g_refusalsToCaller = m_previous;
}

} // namespace modPublic
