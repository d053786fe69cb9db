#pragma once

// The shared module: the state every window shares, and the server operations.

#include "codec/textencoding.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

class inetConn;

namespace modPublic {

// What the server and every operation answer on failure.
inline const QString kNG = QStringLiteral("NG");

// --- Module state -------------------------------------------------------------------------
extern QString strServer; // between "http://" (or "https://") and "/vidodu.cgi"
extern bool blnSecure; // requests go to "https://"
extern QString strPassword; // the plain password, sent in the "pass" field
extern bool blnClearPass; // the password is not kept in the settings store
extern QString strReply; // body of the last completed response
extern QByteArray bytReply; // ... when it was taken as bytes
extern bool blnReplyDone; // completion flag of the request in flight
extern int lngReplyStatus; // HTTP status of the last completed response; 0 when the transfer failed
extern QString strReplyETag; // its ETag header as sent, quotes included; empty when it had none

extern QString strCurrentFolder; // remote folder path of the current document; empty when untitled
extern QString strCurrentFile; // file name of the current document; empty when untitled
extern qint32 lngFilerMode; // 0 open, 1 save
extern bool blnFilerOK; // the file browser was accepted
extern bool blnFilerReplaces; // ... on a file it listed, which the user agreed to replace
// In save mode: the encoding of the saved copy, the document's own when the browser opens.
extern textencoding::TextEncoding encFilerEncoding;
extern qint32 blnReplaceMode; // 0 find, 1 replace
// An earlier version the browser chose to open as a new untitled document, instead of a file.
extern std::optional<textencoding::DecodedText> strFilerUntitled;

// --- Request cycle ------------------------------------------------------------------------
using Field = std::pair<QString, QString>;
using FieldList = QList<Field>;
// A field whose value goes on the wire as these bytes (a document's content); the values of
// all other fields are text, sent in code page 932.
using ByteField = std::pair<QString, QByteArray>;

QString MakeBoundary();
// One request: frames the fields, posts them to "http://" (or "https://" when secure) + server +
// "/vidodu.cgi" with any extra header lines ("Name: value"), waits while window events go on, and
// returns the response body (empty when the transfer failed).
QString ServerCommand(
    const QString &server, const FieldList &fields, const QStringList &headers = {}, bool secure = blnSecure);
// The same with `content` sent after the fields, as its bytes.
QString ServerCommand(const QString &server, const FieldList &fields, const ByteField &content,
    const QStringList &headers = {}, bool secure = blnSecure);
// Handed the response body received so far, each time more of it has come, and its announced
// length (-1 when it announced none).
using ArrivingBytes = std::function<void(QByteArrayView bodySoFar, qint64 length)>;
// The same without content, the response body taken as bytes: a document's content in them
// stays as the server stored it. Also left in bytReply; strReply stays empty. `arriving` sees
// the body while it arrives (not what came before the call, for a request sent early).
QByteArray ServerCommandBytes(
    const QString &server, const FieldList &fields, const ArrivingBytes &arriving = {}, bool secure = blnSecure);
// Sends ServerCommandBytes's request and returns at once: the next ServerCommandBytes with the
// same arguments waits for this reply instead of sending again (any other request drops it).
void StartServerCommandBytes(const QString &server, const FieldList &fields, bool secure = blnSecure);

// The main window hands in its transfer control; until then (and in dialogs tested on their
// own) one process-wide control is made on first use. nullptr goes back to that one.
void setTransferControl(inetConn *control);
// A transfer without any progress for this long ends with an empty reply.
constexpr int kStallTimeoutMs = 30000;
void setStallTimeoutForTesting(int ms); // 0 or less restores kStallTimeoutMs

// --- The ten operations -------------------------------------------------------------------
bool CheckServer(const QString &server, const QString &password, bool secure = blnSecure);
// Listings and files: nothing when the server did not give them.
std::optional<QStringList> ListRemoteFolders(const QString &folderPath);
std::optional<QStringList> ListRemoteFiles(const QString &folderPath);
// In code page 932 both ways, whatever the file holds.
std::optional<QString> ReadRemoteFile(const QString &folderPath, const QString &fileName);
QString SaveRemoteFile(const QString &folderPath, const QString &fileName, const QString &content);
QString NewRemoteFolder(const QString &folderPath);
QString DeleteRemoteFolder(const QString &folderPath);
QString RenameRemoteFolder(const QString &folderPath, const QString &newName);
QString DeleteRemoteFile(const QString &filePath);
QString RenameRemoteFile(const QString &filePath, const QString &newName);

// --- Versions of a stored file ------------------------------------------------------------
// A server that knows versions names each stored file's bytes by their SHA-256 (the ETag
// header); one that does not names nothing, and the editor then saves as it always has.

struct RemoteDocument {
    QString text;
    QString version; // the ETag, quotes included; empty when the server gave none
    textencoding::TextEncoding encoding = textencoding::TextEncoding::ShiftJis; // what the bytes were in
};
std::optional<RemoteDocument> ReadRemoteDocument(const QString &folderPath, const QString &fileName);
// Sends ReadRemoteDocument's request ahead (StartServerCommandBytes): the start-up's document is on
// its way while the window is built.
void StartReadingRemoteDocument(const QString &folderPath, const QString &fileName);

// What a save asks of the file it replaces: to still be `version` (If-Match), or with `absent`
// not to exist yet (If-None-Match: *). Neither: it is replaced whatever it is.
struct SaveCondition {
    QString version;
    bool absent = false;
};
enum class SaveResult {
    Saved,
    Failed,
    Conflict, // the condition did not hold: nothing was written
    Unconfirmed, // the server named other bytes than the ones sent
};
struct SaveOutcome {
    SaveResult result = SaveResult::Failed;
    QString version; // of the stored file, when saved
};
// content: the document's bytes in its encoding, stored as they are.
SaveOutcome SaveRemoteDocument(
    const QString &folderPath, const QString &fileName, const QByteArray &content, const SaveCondition &condition = {});

// The version a server names these bytes by.
QString VersionOf(const QByteArray &bytes);

// --- History kept by the server -----------------------------------------------------------
// A server that keeps the versions it replaced and the files and folders it deleted says so in
// CHECK's reply. The editor learns it whenever it checks a server, for that server and password.
struct ServerCheck {
    QString server;
    bool secure = false;
    QString password;
    bool history = false;
};
extern std::optional<ServerCheck> udtLastCheck; // the last CHECK that succeeded

// What the last check of the current server said; false when it was not checked yet.
bool ServerKeepsHistory();
// Checks the current server first when it was not checked yet.
bool LearnServerHistory();
// Lines of "id TAB time TAB size", newest first.
std::optional<QStringList> ListRemoteVersions(const QString &filePath);
// Lines of "id TAB file|folder TAB name TAB time TAB size", newest first.
std::optional<QStringList> ListRemoteDeleted(const QString &folderPath);
// The content of a kept version, or of a deleted file (its folder path + "/" + its name), read
// in its encoding as a document is.
std::optional<textencoding::DecodedText> ReadRemoteVersion(const QString &filePath, const QString &id);
// Makes a version the current file (path: the file's), or brings a deleted item back into its
// folder (path: the folder's), under newName when one is given. "OK" or "NG".
QString RestoreRemoteItem(const QString &path, const QString &id, const QString &newName = {});

} // namespace modPublic
