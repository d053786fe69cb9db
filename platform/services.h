#pragma once

// Everything the program takes from the operating system, reached through one object: the
// application leaves it as it is (the real desktop), tests put their stand-ins into it for
// their lifetime. The accessors (platform::dialogs(), settingsStore(), ComputerName(), Rnd()
// and the rest) read it.

#include <QByteArray>
#include <QString>
#include <optional>
#include <random>

namespace platform {

class Clipboard;
class Dialogs;
class SettingsStore;
class Shell;

struct Services {
    Dialogs *dialogs = nullptr; // nullptr: the Qt dialogs
    Clipboard *clipboard = nullptr; // nullptr: the system clipboard
    Shell *shell = nullptr; // nullptr: QDesktopServices
    SettingsStore *settings = nullptr; // nullptr: the user's own store
    std::optional<QString> computerName; // absent: the host name
    // Certificate authorities trusted besides the system's, as PEM; tests put their own here.
    QByteArray extraAuthoritiesPem;
    std::mt19937_64 random { 0x4c756d656e6f }; // seeded once when the main window loads
};

// The one services object of the process.
Services &services();

} // namespace platform
