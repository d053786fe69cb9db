#pragma once

// What a reply of the script means. Lines end at LF only: a CR stays part of its line, and
// every comparison is exact and case-sensitive. A failed status is the text "NG"; a listing or
// a file that could not be had is no result at all, so that no content passes for a failure.

#include "protocol/modPublic.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace modPublic {

// CHECK: true when the reply begins with "OK".
bool CheckReplyResult(const QString &reply);
// CHECK: whether a "features: " line of the reply names the feature, among words split by blanks.
bool CheckReplyFeature(const QString &reply, QStringView feature);
// Status commands: "OK" when the line before the first LF equals successLine, else "NG".
// A reply without any LF fails: the script always ends its status line with one.
QString StatusReplyResult(const QString &reply, QStringView successLine);
// LISTFOLDERS / LISTFILES: the lines after the first, which must equal folderPath.
std::optional<QStringList> ListingReplyResult(const QString &reply, QStringView folderPath);
// READFILE: the bytes after the first LF (the document's content, as stored), when the line
// before it, in code page 932, equals filePath. A reply without any LF fails rather than
// passing for an empty file. READVERSION's content is a document's content too: read the same
// way, its id on the first line.
std::optional<QByteArray> ReadReplyResult(QByteArray reply, QStringView filePath);

// SAVEFILE with its HTTP status and ETag: Saved on the success line, unless the server names
// another version than `sentVersion`, that of the bytes sent (Unconfirmed); Conflict on status
// 412; Failed otherwise.
SaveResult SaveReplyResult(const QString &reply, int status, const QString &etag, const QString &sentVersion);

} // namespace modPublic
