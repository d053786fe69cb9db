#include "support/certificates.h"

#include "support/localserver.h"

#include <QFile>

namespace testsupport {

namespace {
QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

bool TestCertificates::make()
{
    int status = -1;
    const QByteArray out = RunProgram(QStringLiteral("bash"),
        { QStringLiteral(LUMENO_SOURCE_DIR "/tests/support/make-certificates.sh"), m_dir.path() }, {}, {}, &status);
    m_error = status == 0 ? QString() : QString::fromUtf8(out);
    return status == 0;
}

QString TestCertificates::fingerprintText(const QString &name) const
{
    return QString::fromLatin1(FileBytes(m_dir.filePath(name + QStringLiteral(".sha256")))).trimmed();
}

QString TestCertificates::storedFingerprint(const QString &name) const
{
    return fingerprintText(name).remove(u':').toLower();
}

QByteArray TestCertificates::authority() const
{
    return FileBytes(m_dir.filePath(QStringLiteral("authority-ca.pem")));
}

} // namespace testsupport
