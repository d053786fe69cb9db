// The ten server operations: each builds its fields, runs one request and reads the reply.

#include "protocol/modPublic.h"
#include "protocol/replies.h"

#include "platform/cp932.h"

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

} // namespace

bool CheckServer(const QString &server, const QString &password, bool secure)
{
    return CheckReplyResult(
        ServerCommand(server, { commandField(QStringLiteral("CHECK")), passField(password) }, {}, secure));
}

std::optional<QStringList> ListRemoteFolders(const QString &folderPath)
{
    return listing(QStringLiteral("LISTFOLDERS"), folderPath);
}

std::optional<QStringList> ListRemoteFiles(const QString &folderPath)
{
    return listing(QStringLiteral("LISTFILES"), folderPath);
}

namespace {

// READFILE's content as the server stored it.
std::optional<QByteArray> readContent(const QString &folderPath, const QString &fileName)
{
    const QString filePath = joinPath(folderPath, fileName);
    const QByteArray reply = ServerCommandBytes(strServer,
        { commandField(QStringLiteral("READFILE")), passField(strPassword), { QStringLiteral("file"), filePath } });
    return ReadReplyResult(reply, filePath);
}

} // namespace

std::optional<QString> ReadRemoteFile(const QString &folderPath, const QString &fileName)
{
    const std::optional<QByteArray> content = readContent(folderPath, fileName);
    return content ? std::optional(cp932::Decode(*content)) : std::nullopt;
}

std::optional<RemoteDocument> ReadRemoteDocument(const QString &folderPath, const QString &fileName)
{
    const std::optional<QByteArray> content = readContent(folderPath, fileName);
    if (!content)
        return std::nullopt;
    textencoding::DecodedText decoded = textencoding::DecodeDocument(*content);
    return RemoteDocument { std::move(decoded.text), strReplyETag, decoded.encoding };
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
    const QString reply = ServerCommand(strServer, fields, { QStringLiteral("content"), content }, headers);
    const SaveResult result = SaveReplyResult(reply, lngReplyStatus, strReplyETag, content);
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

} // namespace modPublic
