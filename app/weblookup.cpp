#include "weblookup.h"

namespace app {

QString LookUpBase(WebSite site)
{
    switch (site) {
    case WebSite::Google: return QStringLiteral("http://www.google.co.jp/search?hl=ja&q=");
    case WebSite::Wikipedia: break;
    }
    return QStringLiteral("http://ja.wikipedia.org/wiki/");
}

QUrl LookUpAddress(WebSite site, const QString &text)
{
    // Built from its encoded form so that QUrl keeps every escape as it is; the browser gets
    // exactly these bytes.
    const QByteArray address = LookUpBase(site).toLatin1() + QUrl::toPercentEncoding(text);
    return QUrl::fromEncoded(address, QUrl::StrictMode);
}

} // namespace app
