#pragma once

// Servers whose own certificate the user trusted once. A certificate that verifies against the
// certificate authorities needs no pin; one that does not is accepted only when its SHA-256
// fingerprint is the one pinned for the server's address and port.
//
// Pins live in the settings store, one key per TLS end point, "host:port":
//
//     [Certificates]
//     example.jp%3A443=3f0c...e1      (64 lower-case hex digits, the SHA-256 of the DER bytes)
//     %5B%3A%3A1%5D%3A8443=...        ("[::1]:8443": the INI file escapes the key's ":" and brackets)
//
// The key is the host in lower case and the port (443 when the address names none), so that a
// certificate trusted for "example.jp/~user" holds for "example.jp:443/other" too: it is the
// machine's certificate, not a folder's. Deleting the line forgets the certificate.

#include <QString>

class QSslCertificate;

namespace platform {
class SettingsStore;
}

namespace modPublic {

// "host:port" of the server text (what goes between "https://" and "/vidodu.cgi"); empty when
// the text names no host.
QString CertificateEndPoint(const QString &server);
// The SHA-256 of the certificate's DER bytes, 64 lower-case hex digits.
QString CertificateFingerprint(const QSslCertificate &certificate);
// The same as the user sees it: upper-case pairs joined by ":", as openssl and browsers show it.
QString FingerprintText(const QString &fingerprint);

// The fingerprint pinned for the end point, or "".
QString PinnedFingerprint(const platform::SettingsStore &store, const QString &endPoint);
void PinFingerprint(platform::SettingsStore &store, const QString &endPoint, const QString &fingerprint);

// True for an address on the user's own machine: "localhost" or a loopback address, with or
// without a port and path. Only traffic to other machines can be overheard.
bool IsOwnMachine(const QString &server);

} // namespace modPublic
