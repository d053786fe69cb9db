#pragma once

// How one request looks on the wire: the boundary, the header line, the multipart body and
// the script's address. Plain text here; the transfer control turns it into code page 932.

#include "protocol/modPublic.h"

#include <QDateTime>
#include <QString>
#include <functional>

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
    QString body;
};
// Frames the fields with a boundary from drawBoundary, drawing again while any value contains
// the boundary: a document can never end its own request early.
FramedRequest FrameRequest(const FieldList &fields, const std::function<QString()> &drawBoundary);

} // namespace modPublic
