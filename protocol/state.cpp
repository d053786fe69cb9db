#include "modPublic.h"

namespace modPublic {

QString strServer = QStringLiteral("127.0.0.1");
bool blnSecure = false;
QString strPassword;
bool blnClearPass = false;
QString strReply;
QByteArray bytReply;
bool blnReplyDone = false;
int lngReplyStatus = 0;
QString strReplyETag;

QString strCurrentFolder;
QString strCurrentFile;
qint32 lngFilerMode = 0;
bool blnFilerOK = false;
bool blnFilerReplaces = false;
qint32 blnReplaceMode = 0;
textencoding::TextEncoding encFilerEncoding = textencoding::TextEncoding::ShiftJis;
std::optional<textencoding::DecodedText> strFilerUntitled;
std::optional<ServerCheck> udtLastCheck;

} // namespace modPublic
