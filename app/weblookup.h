#pragma once

// The web look-ups of the Edit menu: the selected text searched with Google Japan or looked up
// in the Japanese Wikipedia, in the user's browser.

#include <QString>
#include <QUrl>

namespace app {

enum class WebSite { Google, Wikipedia };

// The site's address that the looked-up text follows.
QString LookUpBase(WebSite site);

// The site's address followed by the text percent-encoded as UTF-8, so that "&", "#", "+",
// blanks and line breaks are searched for instead of ending or changing the query. An empty
// text gives the bare address.
QUrl LookUpAddress(WebSite site, const QString &text);

} // namespace app
