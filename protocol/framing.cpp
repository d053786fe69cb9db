#include "framing.h"

#include "platform/cp932.h"
#include "platform/random.h"

#include <algorithm>
#include <cmath>

namespace modPublic {

namespace {
const QString kBoundaryAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
constexpr int kBoundaryRandomLength = 15;

// "--B" CR LF, the Content-Disposition line without blanks, an empty line: what comes before a value.
QString PartHead(const QString &name, const QString &boundary)
{
    return QStringLiteral("--") + boundary + QStringLiteral("\r\nContent-Disposition:form-data;name=\"") + name
        + QStringLiteral("\"\r\n\r\n");
}

QString Closing(const QString &boundary)
{
    return QStringLiteral("--") + boundary + QStringLiteral("--");
}
} // namespace

QString MakeBoundary(const QDateTime &time)
{
    QString boundary = QStringLiteral("===") + time.toString(QStringLiteral("yyMMddHHmmss")) + QStringLiteral("===");
    for (int i = 0; i < kBoundaryRandomLength; ++i) {
        const auto index = static_cast<qsizetype>(std::floor(platform::Rnd() * kBoundaryAlphabet.size()));
        boundary += kBoundaryAlphabet.at(std::clamp<qsizetype>(index, 0, kBoundaryAlphabet.size() - 1));
    }
    boundary += QString(20, QLatin1Char('-'));
    return boundary;
}

QString MakeBoundary()
{
    return MakeBoundary(QDateTime::currentDateTime());
}

QString FrameHeader(const QString &boundary)
{
    return QStringLiteral("Content-Type: multipart/form-data; boundary=") + boundary + QStringLiteral("\r\n");
}

QString FrameBody(const FieldList &fields, const QString &boundary)
{
    qsizetype size = boundary.size() + 4;
    for (const Field &field : fields)
        size += boundary.size() + 47 + field.first.size() + field.second.size();

    QString body;
    body.reserve(size);
    for (const Field &field : fields) {
        body += PartHead(field.first, boundary);
        body += field.second;
        body += QStringLiteral("\r\n");
    }
    body += Closing(boundary);
    return body;
}

QString ServerUrl(const QString &server, bool secure)
{
    return (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + server + QStringLiteral("/vidodu.cgi");
}

FramedRequest FrameRequest(
    const FieldList &fields, const std::function<QString()> &drawBoundary, const std::optional<ByteField> &content)
{
    const auto cutsAField = [&fields, &content](const QString &boundary) {
        return std::any_of(fields.begin(), fields.end(), [&boundary](const Field &field) {
            return field.second.contains(boundary);
        }) || (content && content->second.contains(boundary.toLatin1()));
    };
    QString boundary = drawBoundary();
    while (cutsAField(boundary))
        boundary = drawBoundary();
    FramedRequest request;
    request.header = FrameHeader(boundary);
    request.body = cp932::Encode(FrameBody(fields, boundary));
    if (content) {
        // The last part, before the closing delimiter: its head in code page 932, its value as it is.
        const QByteArray closing = Closing(boundary).toLatin1();
        const QByteArray head = cp932::Encode(PartHead(content->first, boundary));
        request.body.chop(closing.size());
        // Made in place: a document's bytes are copied once.
        request.body.reserve(request.body.size() + head.size() + content->second.size() + 2 + closing.size());
        request.body += head;
        request.body += content->second;
        request.body += "\r\n";
        request.body += closing;
    }
    request.boundary = std::move(boundary);
    return request;
}

} // namespace modPublic
