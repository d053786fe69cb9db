#pragma once

// What the program says about a server certificate it could not accept.

#include "protocol/tls.h"

#include <QString>

namespace modPublic {

// Why the certificate did not verify, one sentence a line, each said once.
QString CertificateReasons(const QList<QSslError> &errors);
// To whom and by whom it was issued, its validity and its SHA-256 fingerprint.
QString CertificateDescription(const QSslCertificate &certificate);

// An operation refused for the certificate: why, and what to do.
QString CertificateRefusedText(const CertificateRefusal &refusal);
// A pinned server presented another certificate: both fingerprints.
QString CertificateChangedText(const CertificateRefusal &refusal);
// The settings dialog's question: trust this certificate for this server from now on?
QString TrustCertificateQuestion(const CertificateRefusal &refusal);

} // namespace modPublic
