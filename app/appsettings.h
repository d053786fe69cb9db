#pragma once

// What the main window keeps in the settings store from one run to the next, read with the
// defaults of each key and checked: a value that does not convert or lies outside its range
// counts as absent.

#include "app/history.h"
#include "app/windowgeometry.h"

#include <QString>
#include <optional>

namespace platform {
class SettingsStore;
}

namespace app {

inline const QString DEFAULT_SERVER = QStringLiteral("127.0.0.1");
inline const QString DEFAULT_FONT_NAME = QStringLiteral("ＭＳ ゴシック");
inline constexpr double DEFAULT_FONT_SIZE = 11.0;
inline constexpr double MAXIMUM_FONT_SIZE = 400.0;

struct FontSetting {
    QString name = DEFAULT_FONT_NAME;
    double size = DEFAULT_FONT_SIZE;
};

struct StartupSettings {
    TwipsRect window;
    QString server = DEFAULT_SERVER;
    bool secure = false; // https: "Secure" is "1"
    QString storedUser; // the password in its stored form
    bool clearPass = false;
    FontSetting font;
    History history;
    bool wrap = true;
};

// Every start-up setting; builtInWindow is the window's own placement, the default of the four
// "Window" keys. Only the first "Count" (0 to 10) history entries are read.
StartupSettings ReadStartupSettings(const platform::SettingsStore &store, const TwipsRect &builtInWindow);

// A size of zero or less, or one past 400 points, is no font size: the default holds.
double CheckedFontSize(double size);

// "Setting" / "FontSize" and "FontName", as the font command confirms them.
void WriteFontSetting(platform::SettingsStore &store, const FontSetting &font);

// The font panel: the name, a blank, the whole points ("ＭＳ ゴシック 10pt" for 10.5 points).
QString FontPanelText(const FontSetting &font);

// What the window leaves behind when it closes. window is absent for a minimized window, whose
// stored placement stays as it was.
void WriteExitSettings(
    platform::SettingsStore &store, const std::optional<TwipsRect> &window, bool wrap, const History &history);

// "UpdateInfo": the executable's folder and the version, rewritten at every start.
void WriteUpdateInfo(platform::SettingsStore &store, const QString &applicationPath, const QString &version);

} // namespace app
