#include "serversettings.h"

#include "codec/codec.h"
#include "platform/settingsstore.h"
#include "protocol/pinning.h"

namespace config {

bool IsPasswordAllowed(QStringView password)
{
    for (const QChar c : password) {
        if (!modPublic::CODE_ALPHABET.contains(c))
            return false;
    }
    return true;
}

void SaveServerSettings(
    platform::SettingsStore &store, const ServerAddress &address, const QString &password, bool clearPass)
{
    const QString section = QStringLiteral("Setting");
    store.SaveSetting(section, QStringLiteral("Server"), address.server);
    store.SaveSetting(section, QStringLiteral("Secure"), address.secure ? QStringLiteral("1") : QStringLiteral("0"));
    store.SaveSetting(section, QStringLiteral("User"), clearPass ? QString() : modPublic::Encode(password));
    store.SaveSetting(section, QStringLiteral("ClearPass"), platform::BoolText(clearPass));
}

bool SendsInPlainText(bool secure, const QString &server)
{
    return !secure && !modPublic::IsOwnMachine(server);
}

} // namespace config
