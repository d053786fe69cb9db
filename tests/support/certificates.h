#pragma once

// The certificates the https tests use, made at test time by tests/support/make-certificates.sh
// in a temporary folder: "authority" (for 127.0.0.1, signed by a test authority), "expired",
// "other-name", "self-signed" and "self-signed2".

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class TestCertificates {
public:
    bool make(); // false when openssl failed; errorText() says why
    QString errorText() const { return m_error; }
    QString certificateFile(const QString &name) const { return m_dir.filePath(name + QStringLiteral(".pem")); }
    QString keyFile(const QString &name) const { return m_dir.filePath(name + QStringLiteral(".key")); }
    // The SHA-256 fingerprint as openssl prints it ("AB:CD:..."), and as the store keeps it.
    QString fingerprintText(const QString &name) const;
    QString storedFingerprint(const QString &name) const;
    // The test authority's certificate (PEM), for platform::services().extraAuthoritiesPem.
    QByteArray authority() const;

private:
    QTemporaryDir m_dir;
    QString m_error;
};

} // namespace testsupport
