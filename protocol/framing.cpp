#include "framing.h"

#include "platform/random.h"

#include <algorithm>
#include <cmath>

namespace modPublic {

namespace {
const QString kBoundaryAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
constexpr int kBoundaryRandomLength = 15;
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
    const QString delimiter = QStringLiteral("--") + boundary + QStringLiteral("\r\n");
    const QString disposition = QStringLiteral("Content-Disposition:form-data;name=\"");
    qsizetype size = boundary.size() + 4;
    for (const Field &field : fields)
        size += delimiter.size() + disposition.size() + field.first.size() + 7 + field.second.size();

    QString body;
    body.reserve(size);
    for (const Field &field : fields) {
        body += delimiter;
        body += disposition;
        body += field.first;
        body += QStringLiteral("\"\r\n\r\n");
        body += field.second;
        body += QStringLiteral("\r\n");
    }
    body += QStringLiteral("--") + boundary + QStringLiteral("--");
    return body;
}

QString ServerUrl(const QString &server, bool secure)
{
    return (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + server + QStringLiteral("/vidodu.cgi");
}

FramedRequest FrameRequest(const FieldList &fields, const std::function<QString()> &drawBoundary)
{
    const auto cutsAField = [&fields](const QString &boundary) {
        return std::any_of(
            fields.begin(), fields.end(), [&boundary](const Field &field) { return field.second.contains(boundary); });
    };
    QString boundary = drawBoundary();
    while (cutsAField(boundary))
        boundary = drawBoundary();
    FramedRequest request;
    request.header = FrameHeader(boundary);
    request.body = FrameBody(fields, boundary);
    request.boundary = std::move(boundary);
    return request;
}

} // namespace modPublic
