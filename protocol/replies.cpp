#include "replies.h"

#include "protocol/modPublic.h"

namespace modPublic {

namespace {
const QString kOK = QStringLiteral("OK");
}

bool CheckReplyResult(const QString &reply)
{
    return reply.startsWith(kOK);
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

std::optional<QString> ReadReplyResult(const QString &reply, QStringView filePath)
{
    const qsizetype lineEnd = reply.indexOf(QLatin1Char('\n'));
    if (lineEnd < 0 || QStringView(reply).left(lineEnd) != filePath)
        return std::nullopt;
    return reply.mid(lineEnd + 1);
}

} // namespace modPublic
