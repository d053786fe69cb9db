#include "modPublic.h"

namespace modPublic {

QString strServer = QStringLiteral("127.0.0.1");
bool blnSecure = false;
QString strPassword;
bool blnClearPass = false;
QString strReply;
bool blnReplyDone = false;
int lngReplyStatus = 0;
QString strReplyETag;

QString strCurrentFolder;
QString strCurrentFile;
qint32 lngFilerMode = 0;
bool blnFilerOK = false;
bool blnFilerReplaces = false;
qint32 blnReplaceMode = 0;
std::optional<QString> strFilerUntitled;
std::optional<ServerCheck> udtLastCheck;

} // namespace modPublic
