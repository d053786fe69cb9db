#pragma once

#include <QString>
#include <QStringView>

namespace platform {
class SettingsStore;
}

namespace config {

// A password may hold only the codec's 64 symbols: half-width letters, digits, "_" and "-".
bool IsPasswordAllowed(QStringView password);

struct ServerAddress {
    QString server; // between the scheme and "/vidodu.cgi"
    bool secure = false; // https
};

// Writes "Server", "Secure" ("1" for https, "0" for http), "User" and "ClearPass" of section
// "Setting", in that order. With clearPass the store keeps no password: "User" is written empty.
void SaveServerSettings(
    platform::SettingsStore &store, const ServerAddress &address, const QString &password, bool clearPass);

// Plain http to another machine: anyone on the way can read the password and the documents.
bool SendsInPlainText(bool secure, const QString &server);

} // namespace config
