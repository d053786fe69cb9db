#pragma once

// How one request looks on the wire: the boundary, the header line, the multipart body and
// the script's address. Text here, code page 932 on the wire; only a document's content goes
// as the bytes it is given.

#include "protocol/modPublic.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace modPublic {

// "===" + yymmddhhnnss of the time + "===" + 15 letters or digits drawn from the
// process-wide generator + 20 hyphens: 53 characters.
QString MakeBoundary(const QDateTime &time);

// "Content-Type: multipart/form-data; boundary=" + boundary + CR LF.
QString FrameHeader(const QString &boundary);
// Every field as "--B" CR LF, its Content-Disposition line without blanks, an empty line,
// the value verbatim and CR LF; then "--B--" with nothing after it.
QString FrameBody(const FieldList &fields, const QString &boundary);
// "http://" (or "https://" when secure) + server + "/vidodu.cgi", the server text untouched.
QString ServerUrl(const QString &server, bool secure);

struct FramedRequest {
    QString boundary;
    QString header;
    QByteArray body;
};
// Frames the fields, and after them `content` as its bytes, with a boundary from drawBoundary,
// drawing again while any value contains the boundary: a document can never end its own
// request early.
FramedRequest FrameRequest(const FieldList &fields, const std::function<QString()> &drawBoundary,
    const std::optional<ByteField> &content = std::nullopt);

} // namespace modPublic
