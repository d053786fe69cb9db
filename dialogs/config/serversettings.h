#pragma once

#include <QString>
#include <QStringView>

namespace platform {
class SettingsStore;
}

namespace config {

// A password may hold only the codec's 64 symbols: half-width letters, digits, "_" and "-".
bool IsPasswordAllowed(QStringView password);

// Writes "Server", "User" and "ClearPass" of section "Setting", in that order. With clearPass the
// store keeps no password: "User" is written empty.
void SaveServerSettings(platform::SettingsStore &store, const QString &server, const QString &password, bool clearPass);

} // namespace config
