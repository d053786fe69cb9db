#pragma once

// The shared module: the state every window shares, and the server operations.

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
extern bool blnReplyDone; // completion flag of the request in flight

extern QString strCurrentFolder; // remote folder path of the current document; empty when untitled
extern QString strCurrentFile; // file name of the current document; empty when untitled
extern qint32 lngFilerMode; // 0 open, 1 save
extern bool blnFilerOK; // the file browser was accepted
extern qint32 blnReplaceMode; // 0 find, 1 replace

// --- Request cycle ------------------------------------------------------------------------
using Field = std::pair<QString, QString>;
using FieldList = QList<Field>;

QString MakeBoundary();
// One request: frames the fields, posts them to "http://" (or "https://") + server + "/vidodu.cgi",
// waits while window events go on, and returns the response body (empty when the transfer failed).
QString ServerCommand(const QString &server, const FieldList &fields, bool secure = blnSecure);

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
std::optional<QString> ReadRemoteFile(const QString &folderPath, const QString &fileName);
QString SaveRemoteFile(const QString &folderPath, const QString &fileName, const QString &content);
QString NewRemoteFolder(const QString &folderPath);
QString DeleteRemoteFolder(const QString &folderPath);
QString RenameRemoteFolder(const QString &folderPath, const QString &newName);
QString DeleteRemoteFile(const QString &filePath);
QString RenameRemoteFile(const QString &filePath, const QString &newName);

} // namespace modPublic
