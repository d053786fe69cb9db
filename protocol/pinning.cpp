#include "pinning.h"

#include "platform/settingsstore.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QSslCertificate>
#include <QUrl>

namespace modPublic {

namespace {

const QString kSection = QStringLiteral("Certificates");
constexpr int kHttpsPort = 443;

QUrl SecureUrl(const QString &server)
{
    return QUrl(QStringLiteral("https://") + server.trimmed());
}

} // namespace

QString CertificateEndPoint(const QString &server)
{
    const QUrl url = SecureUrl(server);
    const QString host = url.host();
    if (!url.isValid() || host.isEmpty())
        return {};
    // An IPv6 address keeps its brackets, so that the port stays apart from it.
    const QString shown = host.contains(u':') ? u'[' + host + u']' : host;
    return shown + u':' + QString::number(url.port(kHttpsPort));
}

QString CertificateFingerprint(const QSslCertificate &certificate)
{
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex());
}

QString FingerprintText(const QString &fingerprint)
{
    QStringList pairs;
    for (qsizetype i = 0; i < fingerprint.size(); i += 2)
        pairs.append(fingerprint.mid(i, 2).toUpper());
    return pairs.join(u':');
}

QString PinnedFingerprint(const platform::SettingsStore &store, const QString &endPoint)
{
    if (endPoint.isEmpty())
        return {};
    return store.GetSetting(kSection, endPoint, QString()).trimmed().toLower();
}

void PinFingerprint(platform::SettingsStore &store, const QString &endPoint, const QString &fingerprint)
{
    store.SaveSetting(kSection, endPoint, fingerprint);
}

bool IsOwnMachine(const QString &server)
{
    const QString host = SecureUrl(server).host();
    return host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
}

} // namespace modPublic
