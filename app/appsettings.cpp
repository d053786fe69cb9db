#include "appsettings.h"

#include "platform/settingsstore.h"

#include <cmath>

namespace app {

namespace {

const QString WINDOW = QStringLiteral("Window");
const QString SETTING = QStringLiteral("Setting");
const QString HISTORY = QStringLiteral("History");
const QString UPDATE_INFO = QStringLiteral("UpdateInfo");

QString PathKey(int n)
{
    return QStringLiteral("Path") + QString::number(n);
}

QString FileKey(int n)
{
    return QStringLiteral("File") + QString::number(n);
}

} // namespace

double CheckedFontSize(double size)
{
    return size > 0 && size <= MAXIMUM_FONT_SIZE ? size : DEFAULT_FONT_SIZE;
}

StartupSettings ReadStartupSettings(const platform::SettingsStore &store, const TwipsRect &builtInWindow)
{
    StartupSettings settings;
    settings.window.width = store.GetNumber(WINDOW, QStringLiteral("Width"), builtInWindow.width);
    settings.window.height = store.GetNumber(WINDOW, QStringLiteral("Height"), builtInWindow.height);
    settings.window.left = store.GetNumber(WINDOW, QStringLiteral("Left"), builtInWindow.left);
    settings.window.top = store.GetNumber(WINDOW, QStringLiteral("Top"), builtInWindow.top);

    settings.server = store.GetSetting(SETTING, QStringLiteral("Server"), DEFAULT_SERVER);
    // Only "1" means https, so that a store written before https keeps its plain meaning.
    settings.secure = store.GetSetting(SETTING, QStringLiteral("Secure"), QString()) == QLatin1String("1");
    settings.storedUser = store.GetSetting(SETTING, QStringLiteral("User"), QString());
    settings.clearPass = store.GetBool(SETTING, QStringLiteral("ClearPass"), false);
    settings.font.size = CheckedFontSize(store.GetNumber(SETTING, QStringLiteral("FontSize"), DEFAULT_FONT_SIZE));
    settings.font.name = store.GetSetting(SETTING, QStringLiteral("FontName"), DEFAULT_FONT_NAME);
    if (settings.font.name.trimmed().isEmpty())
        settings.font.name = DEFAULT_FONT_NAME;

    const int count = std::clamp(store.GetInteger(HISTORY, QStringLiteral("Count"), 0), 0, HISTORY_SIZE);
    for (int n = 1; n <= count; ++n)
        settings.history[n - 1]
            = { store.GetSetting(HISTORY, PathKey(n), QString()), store.GetSetting(HISTORY, FileKey(n), QString()) };

    settings.wrap = store.GetBool(SETTING, QStringLiteral("Wrap"), true);
    return settings;
}

void WriteFontSetting(platform::SettingsStore &store, const FontSetting &font)
{
    store.SaveSetting(SETTING, QStringLiteral("FontSize"), SingleText(font.size));
    store.SaveSetting(SETTING, QStringLiteral("FontName"), font.name);
}

QString FontPanelText(const FontSetting &font)
{
    return font.name + QLatin1Char(' ') + QString::number(static_cast<qint64>(std::floor(font.size)))
        + QStringLiteral("pt");
}

void WriteExitSettings(
    platform::SettingsStore &store, const std::optional<TwipsRect> &window, bool wrap, const History &history)
{
    if (window) {
        store.SaveSetting(WINDOW, QStringLiteral("Width"), SingleText(window->width));
        store.SaveSetting(WINDOW, QStringLiteral("Height"), SingleText(window->height));
        store.SaveSetting(WINDOW, QStringLiteral("Left"), SingleText(window->left));
        store.SaveSetting(WINDOW, QStringLiteral("Top"), SingleText(window->top));
    }
    store.SaveSetting(SETTING, QStringLiteral("Wrap"), platform::BoolText(wrap));
    for (int n = 1; n <= HISTORY_SIZE; ++n) {
        store.SaveSetting(HISTORY, PathKey(n), history[n - 1].Path);
        store.SaveSetting(HISTORY, FileKey(n), history[n - 1].File);
    }
    store.SaveSetting(HISTORY, QStringLiteral("Count"), QString::number(StoredHistoryCount(history)));
}

void WriteUpdateInfo(platform::SettingsStore &store, const QString &applicationPath, const QString &version)
{
    store.SaveSetting(UPDATE_INFO, QStringLiteral("ApplicationPath"), applicationPath);
    store.SaveSetting(UPDATE_INFO, QStringLiteral("CurrentVersion"), version);
}

} // namespace app
