#include "replies.h"

#include "platform/cp932.h"
#include "protocol/modPublic.h"

#include <QCryptographicHash>

namespace modPublic {

namespace {
const QString kOK = QStringLiteral("OK");
}

bool CheckReplyResult(const QString &reply)
{
    return reply.startsWith(kOK);
}

bool CheckReplyFeature(const QString &reply, QStringView feature)
{
    if (!CheckReplyResult(reply))
        return false;
    const QLatin1String label("features: ");
    for (const QStringView line : QStringView(reply).split(QLatin1Char('\n'))) {
        if (line.startsWith(label) && line.sliced(label.size()).split(QLatin1Char(' ')).contains(feature))
            return true;
    }
    return false;
}

QString StatusReplyResult(const QString &reply, QStringView successLine)
{
    const qsizetype lineEnd = reply.indexOf(QLatin1Char('\n'));
    if (lineEnd < 0)
        return kNG;
    return QStringView(reply).left(lineEnd) == successLine ? kOK : kNG;
}

std::optional<QStringList> ListingReplyResult(const QString &reply, QStringView folderPath)
{
    QStringList lines = reply.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    if (lines.constFirst() != folderPath)
        return std::nullopt;
    lines.removeFirst();
    return lines;
}

std::optional<QByteArray> ReadReplyResult(QByteArray reply, QStringView filePath)
{
    const qsizetype lineEnd = reply.indexOf('\n');
    if (lineEnd < 0 || cp932::Decode(QByteArrayView(reply).first(lineEnd)) != filePath)
        return std::nullopt;
    // A reply that is only here drops its first line in place.
    return reply.remove(0, lineEnd + 1);
}

QString VersionOf(const QByteArray &bytes)
{
    return u'"' + QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()) + u'"';
}

SaveResult SaveReplyResult(const QString &reply, int status, const QString &etag, const QString &sentVersion)
{
    if (status == 412)
        return SaveResult::Conflict;
    if (StatusReplyResult(reply, u"Save OK") != kOK)
        return SaveResult::Failed;
    return etag.isEmpty() || etag == sentVersion ? SaveResult::Saved : SaveResult::Unconfirmed;
}

} // namespace modPublic
