#include "certificatetext.h"

#include "protocol/pinning.h"

#include <QDateTime>

namespace modPublic {

namespace {

const QString CRLF = QStringLiteral("\r\n");

QString ReasonText(const QSslError &error)
{
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain: return QStringLiteral("サーバ自身が署名した証明書です。");
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted: return QStringLiteral("信頼された認証局の署名がありません。");
    case QSslError::CertificateExpired: return QStringLiteral("有効期限が切れています。");
    case QSslError::CertificateNotYetValid: return QStringLiteral("有効期間がまだ始まっていません。");
    case QSslError::HostNameMismatch: return QStringLiteral("別のサーバ名に発行された証明書です。");
    case QSslError::CertificateRevoked: return QStringLiteral("失効した証明書です。");
    default: return error.errorString();
    }
}

QString DateText(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

QString NameText(const QString &name)
{
    return name.isEmpty() ? QStringLiteral("(なし)") : name;
}

} // namespace

QString CertificateReasons(const QList<QSslError> &errors)
{
    QStringList reasons;
    for (const QSslError &error : errors) {
        const QString reason = ReasonText(error);
        if (!reasons.contains(reason))
            reasons.append(reason);
    }
    return reasons.join(CRLF);
}

QString CertificateDescription(const QSslCertificate &certificate)
{
    return QStringLiteral("発行先：") + NameText(certificate.subjectDisplayName()) + CRLF + QStringLiteral("発行者：")
        + NameText(certificate.issuerDisplayName()) + CRLF + QStringLiteral("有効期間：")
        + DateText(certificate.effectiveDate()) + QStringLiteral(" ～ ") + DateText(certificate.expiryDate()) + CRLF
        + QStringLiteral("SHA-256 フィンガープリント：") + CRLF + FingerprintText(CertificateFingerprint(certificate));
}

QString CertificateRefusedText(const CertificateRefusal &refusal)
{
    if (refusal.certificate.isNull())
        return QStringLiteral("暗号化通信(https)の機能を読み込めませんでした。") + CRLF
            + QStringLiteral("OpenSSL 3 (libssl3) がインストールされているか確認してください。");
    const QString head = QStringLiteral("サーバの証明書を確認できませんでした。") + CRLF;
    if (!refusal.pinned.isEmpty())
        return head + CRLF + CertificateChangedText(refusal);
    return head + CertificateReasons(refusal.errors) + CRLF + CRLF
        + QStringLiteral("サーバ設定の[ﾁｪｯｸ]で証明書を確かめてください。");
}

QString CertificateChangedText(const CertificateRefusal &refusal)
{
    return QStringLiteral("サーバ ") + refusal.endPoint
        + QStringLiteral(" の証明書が、信頼した証明書から変わっています。") + CRLF + CRLF
        + QStringLiteral("信頼した証明書：") + CRLF + FingerprintText(refusal.pinned) + CRLF
        + QStringLiteral("今回の証明書：") + CRLF + FingerprintText(CertificateFingerprint(refusal.certificate)) + CRLF
        + CRLF + QStringLiteral("第三者が通信に割り込んでいるおそれがあるため、何も送らずに接続を切りました。");
}

QString TrustCertificateQuestion(const CertificateRefusal &refusal)
{
    return QStringLiteral("サーバの証明書を確認できませんでした。") + CRLF + CertificateReasons(refusal.errors) + CRLF
        + CRLF + CertificateDescription(refusal.certificate) + CRLF + CRLF + QStringLiteral("この証明書を、サーバ ")
        + refusal.endPoint + QStringLiteral(" の証明書として信頼しますか？");
}

} // namespace modPublic
