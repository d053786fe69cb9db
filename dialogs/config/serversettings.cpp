#include "serversettings.h"

#include "codec/codec.h"
#include "platform/settingsstore.h"

namespace config {

bool IsPasswordAllowed(QStringView password)
{
    for (const QChar c : password) {
        if (!modPublic::CODE_ALPHABET.contains(c))
            return false;
    }
    return true;
}

void SaveServerSettings(platform::SettingsStore &store, const QString &server, const QString &password, bool clearPass)
{
    const QString section = QStringLiteral("Setting");
    store.SaveSetting(section, QStringLiteral("Server"), server);
    store.SaveSetting(section, QStringLiteral("User"), clearPass ? QString() : modPublic::Encode(password));
    store.SaveSetting(section, QStringLiteral("ClearPass"), platform::BoolText(clearPass));
}

} // namespace config
