#include "services.h"

#include "clipboard.h"
#include "dialogs.h"
#include "machine.h"
#include "qtdialogs.h"
#include "random.h"
#include "settingsstore.h"
#include "shell.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <chrono>
#include <unistd.h>

namespace platform {

namespace {

class SystemClipboard final : public Clipboard {
public:
    bool HasText() const override
    {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        return data && data->hasText();
    }
    QString Text() const override { return QGuiApplication::clipboard()->text(); }
    void SetText(const QString &text) override { QGuiApplication::clipboard()->setText(text); }
    void Clear() override { QGuiApplication::clipboard()->clear(); }
};

class DesktopShell final : public Shell {
public:
    void Open(const QUrl &address) override { QDesktopServices::openUrl(address); }
};

} // namespace

Services &services()
{
    static Services theServices;
    return theServices;
}

Dialogs &dialogs()
{
    static QtDialogs qtDialogs;
    Dialogs *chosen = services().dialogs;
    return chosen ? *chosen : qtDialogs;
}

Clipboard &clipboard()
{
    static SystemClipboard system;
    Clipboard *chosen = services().clipboard;
    return chosen ? *chosen : system;
}

Shell &shell()
{
    static DesktopShell desktop;
    Shell *chosen = services().shell;
    return chosen ? *chosen : desktop;
}

SettingsStore &settingsStore()
{
    if (SettingsStore *chosen = services().settings)
        return *chosen;
    // Opened only when asked for: a test that hands in its own store never touches the user's.
    static SettingsStore userStore;
    return userStore;
}

QString ComputerName()
{
    if (const std::optional<QString> &name = services().computerName)
        return *name;
    char buffer[2048] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0)
        return QString();
    return QString::fromLocal8Bit(buffer);
}

QString AppPath()
{
    return QCoreApplication::applicationDirPath();
}

void Randomize()
{
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    services().random.seed(static_cast<std::uint64_t>(now));
}

void Randomize(std::uint64_t seed)
{
    services().random.seed(seed);
}

double Rnd()
{
    // 53 random bits make every double in [0, 1) equally likely and 1.0 impossible.
    return static_cast<double>(services().random() >> 11) * 0x1.0p-53;
}

} // namespace platform
