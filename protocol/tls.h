#pragma once

// The encrypted side of the transfer control. Every request gets the certificate authorities to
// check against (the system's, and for tests the services' extra ones); a server certificate
// that does not verify is accepted only when it is the one pinned for that server (pinning.h).
// Otherwise the connection ends before the request is sent, and the refusal is kept so that
// the program can say why the operation failed.

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <optional>

class QNetworkReply;
class QNetworkRequest;

namespace modPublic {

struct CertificateRefusal {
    QString endPoint; // "host:port"
    QSslCertificate certificate; // what the server presented; null when no TLS library could be loaded
    QString pinned; // the fingerprint trusted before for this server; "" when none was
    QList<QSslError> errors; // why it did not verify
};

// Called by the transfer control for every request before it starts: forgets the last
// refusal and sets the authorities.
void PrepareTransport(QNetworkRequest &request);
// The transfer control's answer to a certificate that did not verify: the pinned certificate
// goes on, any other is refused and remembered.
void ReviewCertificate(QNetworkReply *reply, const QList<QSslError> &errors);

// The refusal of the last request, if its server's certificate was refused.
std::optional<CertificateRefusal> LastCertificateRefusal();

// After a request: when it was refused for its certificate, tells the user why (before the
// operation's own failure message), unless a CertificateRefusalsToCaller is alive.
void TellCertificateRefusal();

// While one lives, refusals are left to the caller: the settings dialog asks about them itself.
class CertificateRefusalsToCaller {
public:
    CertificateRefusalsToCaller();
    ~CertificateRefusalsToCaller();
    CertificateRefusalsToCaller(const CertificateRefusalsToCaller &) = delete;
    CertificateRefusalsToCaller &operator=(const CertificateRefusalsToCaller &) = delete;

private:
    bool m_previous;
};

} // namespace modPublic
