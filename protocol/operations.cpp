// The server operations: each builds its fields, runs one request and reads the reply.

#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "protocol/replies.h"

#include "platform/cp932.h"

#include <algorithm>
#include <future>
#include <utility>

namespace modPublic {

namespace {

Field commandField(const QString &word)
{
    return { QStringLiteral("command"), word };
}

Field passField(const QString &password)
{
    return { QStringLiteral("pass"), password };
}

// The fields every command but CHECK starts with, for the current server and password.
QString currentServerCommand(const QString &word, const FieldList &arguments)
{
    FieldList fields { commandField(word), passField(strPassword) };
    fields += arguments;
    return ServerCommand(strServer, fields);
}

QString joinPath(const QString &folderPath, const QString &fileName)
{
    return folderPath + QLatin1Char('/') + fileName;
}

std::optional<QStringList> listing(const QString &word, const QString &folderPath)
{
    const QString reply = currentServerCommand(word, { { QStringLiteral("path"), folderPath } });
    return ListingReplyResult(reply, folderPath);
}

QString status(const QString &word, const FieldList &arguments, QStringView successLine)
{
    return StatusReplyResult(currentServerCommand(word, arguments), successLine);
}

// The fields of a command that reads a document's content.
FieldList documentFields(const QString &word, const FieldList &arguments)
{
    FieldList fields { commandField(word), passField(strPassword) };
    fields += arguments;
    return fields;
}

FieldList readFileFields(const QString &filePath)
{
    return documentFields(QStringLiteral("READFILE"), { { QStringLiteral("file"), filePath } });
}

// READFILE and READVERSION: a line naming what the reply carries, then a document's content as
// the server stored it. The one place where a document's content is read from a reply.
std::optional<QByteArray> documentContent(
    const FieldList &fields, const QString &firstLine, const ArrivingBytes &arriving = {})
{
    QByteArray reply = ServerCommandBytes(strServer, fields, arriving);
    // The document goes to the box: its reply is not kept beside it as well.
    bytReply.clear();
    return ReadReplyResult(std::move(reply), firstLine);
}

std::optional<QByteArray> readFileContent(const QString &folderPath, const QString &fileName)
{
    const QString filePath = joinPath(folderPath, fileName);
    return documentContent(readFileFields(filePath), filePath);
}

bool CurrentServerChecked()
{
    return udtLastCheck && udtLastCheck->server == strServer && udtLastCheck->secure == blnSecure
        && udtLastCheck->password == strPassword;
}

Field pathField(const QString &path)
{
    return { QStringLiteral("path"), path };
}

Field idField(const QString &id)
{
    return { QStringLiteral("id"), id };
}

} // namespace

bool CheckServer(const QString &server, const QString &password, bool secure)
{
    const QString reply
        = ServerCommand(server, { commandField(QStringLiteral("CHECK")), passField(password) }, {}, secure);
    if (!CheckReplyResult(reply))
        return false;
    udtLastCheck = ServerCheck { server, secure, password, CheckReplyFeature(reply, u"history") };
    return true;
}

std::optional<QStringList> ListRemoteFolders(const QString &folderPath)
{
    return listing(QStringLiteral("LISTFOLDERS"), folderPath);
}

std::optional<QStringList> ListRemoteFiles(const QString &folderPath)
{
    return listing(QStringLiteral("LISTFILES"), folderPath);
}

std::optional<QString> ReadRemoteFile(const QString &folderPath, const QString &fileName)
{
    const std::optional<QByteArray> content = readFileContent(folderPath, fileName);
    return content ? std::optional(cp932::Decode(*content)) : std::nullopt;
}

std::optional<RemoteDocument> ReadRemoteDocument(const QString &folderPath, const QString &fileName)
{
    // The content, after the reply's first line, is decoded while it arrives.
    textencoding::DocumentDecoder decoder;
    bool reserved = false;
    const auto arriving = [&decoder, &reserved](QByteArrayView reply, qint64 length) {
        if (!std::exchange(reserved, true) && length > 0)
            decoder.Reserve(qsizetype(std::min(length, inetConn::kLargestReservation)));
        if (const qsizetype lineEnd = reply.indexOf('\n'); lineEnd >= 0)
            decoder.Decode(reply.sliced(lineEnd + 1));
    };
    const QString filePath = joinPath(folderPath, fileName);
    const std::optional<QByteArray> content = documentContent(readFileFields(filePath), filePath, arriving);
    if (!content)
        return std::nullopt;
    textencoding::DecodedText decoded = decoder.Finish(*content);
    return RemoteDocument { std::move(decoded.text), strReplyETag, decoded.encoding };
}

void StartReadingRemoteDocument(const QString &folderPath, const QString &fileName)
{
    StartServerCommandBytes(strServer, readFileFields(joinPath(folderPath, fileName)));
}

QString SaveRemoteFile(const QString &folderPath, const QString &fileName, const QString &content)
{
    return SaveRemoteDocument(folderPath, fileName, cp932::Encode(content)).result == SaveResult::Saved
        ? QStringLiteral("OK")
        : kNG;
}

SaveOutcome SaveRemoteDocument(
    const QString &folderPath, const QString &fileName, const QByteArray &content, const SaveCondition &condition)
{
    QStringList headers;
    if (!condition.version.isEmpty())
        headers.append(QStringLiteral("If-Match: ") + condition.version);
    if (condition.absent)
        headers.append(QStringLiteral("If-None-Match: *"));
    const FieldList fields { commandField(QStringLiteral("SAVEFILE")), passField(strPassword),
        { QStringLiteral("file"), joinPath(folderPath, fileName) } };
    // The version of what is sent is worked out on another core while the request runs.
    std::future<QString> sentVersion = std::async(std::launch::async, [content] { return VersionOf(content); });
    const QString reply = ServerCommand(strServer, fields, { QStringLiteral("content"), content }, headers);
    const SaveResult result = SaveReplyResult(reply, lngReplyStatus, strReplyETag, sentVersion.get());
    return { result, result == SaveResult::Failed ? QString() : strReplyETag };
}

QString NewRemoteFolder(const QString &folderPath)
{
    return status(QStringLiteral("NEWFOLDER"), { { QStringLiteral("path"), folderPath } }, u"New Folder OK");
}

QString DeleteRemoteFolder(const QString &folderPath)
{
    return status(QStringLiteral("DELETEFOLDER"), { { QStringLiteral("path"), folderPath } }, u"Delete Folder OK");
}

QString RenameRemoteFolder(const QString &folderPath, const QString &newName)
{
    return status(QStringLiteral("RENAMEFOLDER"),
        { { QStringLiteral("path"), folderPath }, { QStringLiteral("name"), newName } }, u"Rename Folder OK");
}

QString DeleteRemoteFile(const QString &filePath)
{
    return status(QStringLiteral("DELETEFILE"), { { QStringLiteral("path"), filePath } }, u"Delete File OK");
}

QString RenameRemoteFile(const QString &filePath, const QString &newName)
{
    return status(QStringLiteral("RENAMEFILE"),
        { { QStringLiteral("path"), filePath }, { QStringLiteral("name"), newName } }, u"Rename File OK");
}

bool ServerKeepsHistory()
{
    return CurrentServerChecked() && udtLastCheck->history;
}

bool LearnServerHistory()
{
    if (!CurrentServerChecked())
        CheckServer(strServer, strPassword, blnSecure);
    return ServerKeepsHistory();
}

std::optional<QStringList> ListRemoteVersions(const QString &filePath)
{
    return listing(QStringLiteral("LISTVERSIONS"), filePath);
}

std::optional<QStringList> ListRemoteDeleted(const QString &folderPath)
{
    return listing(QStringLiteral("LISTDELETED"), folderPath);
}

std::optional<textencoding::DecodedText> ReadRemoteVersion(const QString &filePath, const QString &id)
{
    const std::optional<QByteArray> content
        = documentContent(documentFields(QStringLiteral("READVERSION"), { pathField(filePath), idField(id) }), id);
    return content ? std::optional(textencoding::DecodeDocument(*content)) : std::nullopt;
}

QString RestoreRemoteItem(const QString &path, const QString &id, const QString &newName)
{
    FieldList arguments { pathField(path), idField(id) };
    if (!newName.isEmpty())
        arguments.append({ QStringLiteral("name"), newName });
    return status(QStringLiteral("RESTORE"), arguments, u"Restore OK");
}

} // namespace modPublic
