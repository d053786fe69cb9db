// Start-up, the first activation and shutdown of the main window.

#include "frmMain.h"

#include "app/appsettings.h"
#include "app/shortcutfile.h"
#include "app/windowgeometry.h"
#include "codec/codec.h"
#include "dialogs/version/versiontext.h"
#include "platform/cp932.h"
#include "platform/dialogs.h"
#include "platform/machine.h"
#include "platform/random.h"
#include "platform/settingsstore.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"

#include <QAction>

void frmMain::Form_Load()
{
    platform::Randomize();
    blnCommandLineDone = false;
    m_builtInOuter = frameGeometry();
    LoadSettings();
    platform::SettingsStore &store = platform::settingsStore();
    app::WriteUpdateInfo(store, platform::AppPath(), version::CurrentVersionText(version::ProgramVersion()));
    if (!store.SetAsideFile().isEmpty())
        platform::ShowError(this,
            QStringLiteral("設定ファイルが壊れていたため、既定の設定で起動しました。\r\n"
                           "壊れたファイルは次の名前で残してあります：\r\n")
                + store.SetAsideFile());
    SyncSettings(store);
    RegisterShortcutType();
    // A stored placement means the outer bounds, frame included; the frame is known only once
    // the window is shown, with some window managers a moment later.
    if (m_storedOuter != m_builtInOuter)
        m_pendingOuter = m_storedOuter;
    show();
    // Shown, the start-up window is the active one (also where no window manager activates it).
    activateWindow();
    AdoptFrame();
    OfferDrafts();
    // The command line's document opens at once, its text often in the window's first paint:
    // waiting for the window manager's activation would only hold it back.
    Form_Activate();
}

// The command line's document is asked for before the window is built, so that its text is in
// by the time the window first shows; opening it then takes up this request.
void frmMain::StartReadingCommandLine()
{
    const std::optional<app::HistoryItem> target = app::ReadShortcut(m_strCommandLine);
    if (!target)
        return;
    ApplyConnectionSettings(app::ReadStartupSettings(platform::settingsStore(), {}));
    modPublic::StartReadingRemoteDocument(target->Path, target->File);
    // The tables are built while the connection is made; then the request takes its body.
    cp932::Prepare();
    inetConn->DeliverArrived();
}

void frmMain::ApplyConnectionSettings(const app::StartupSettings &settings)
{
    modPublic::strServer = settings.server;
    modPublic::blnSecure = settings.secure;
    modPublic::strPassword = modPublic::Decode(settings.storedUser);
    modPublic::blnClearPass = settings.clearPass;
}

void frmMain::AdoptFrame()
{
    const QSize frame = frameGeometry().size() - size();
    if (frame == m_frame)
        return;
    m_frame = frame;
    UpdateMinimumSize();
    if (m_pendingOuter) {
        const QRect outer = *m_pendingOuter;
        m_pendingOuter.reset();
        ApplyOuterGeometry(outer);
    }
}

void frmMain::LoadSettings()
{
    const app::TwipsPerPixel scale = app::ScreenTwipsPerPixel(screen());
    const app::StartupSettings settings
        = app::ReadStartupSettings(platform::settingsStore(), app::ToTwips(m_builtInOuter, scale));

    // The designed placement stands until the store holds another.
    m_storedOuter = app::ToPixels(settings.window, scale);
    if (m_storedOuter != m_builtInOuter)
        ApplyOuterGeometry(m_storedOuter);
    modPublic::strServer = settings.server;
    modPublic::blnSecure = settings.secure;
    modPublic::strPassword = modPublic::Decode(settings.storedUser);
    modPublic::blnClearPass = settings.clearPass;

    m_font = settings.font;
    ApplyEditorFont();
    SetPanelText(QStringLiteral("font"), app::FontPanelText(m_font));

    document.arrHistory = settings.history;
    RefreshHistoryMenu();

    ToolButton(QStringLiteral("wrap"))->setChecked(settings.wrap);
    menuWrap->setChecked(settings.wrap);
    ShowWrapState(settings.wrap);
}

void frmMain::ApplyOuterGeometry(const QRect &outer)
{
    const QSize frame = frameGeometry().size() - size();
    resize(outer.size() - frame);
    move(outer.topLeft());
}

void frmMain::UpdateMinimumSize()
{
    setMinimumSize(std::max(0, app::MINIMUM_WIDTH_PIXELS - m_frame.width()),
        std::max(0, app::MINIMUM_HEIGHT_PIXELS - m_frame.height()));
}

void frmMain::Form_Activate()
{
    // The command line's document waits for the drafts' questions, and a draft restored then is
    // not replaced unasked. Message boxes take the activation and give it back: the document is
    // marked done before its prompt.
    if (m_blnOfferingDrafts || m_strCommandLine.isEmpty() || blnCommandLineDone)
        return;
    blnCommandLineDone = true;
    if (document.ConfirmSave())
        document.OpenShortcut(m_strCommandLine);
}

void frmMain::Form_Unload(int &Cancel)
{
    if (!document.ConfirmSave()) {
        Cancel = 1;
        return;
    }
    // Saved, or given up by the user: a clean exit leaves no draft.
    DropDraft();
    FlushDrafts();
    WriteExitSettings();
}

void frmMain::WriteExitSettings()
{
    std::optional<app::TwipsRect> window;
    if (!isMinimized())
        window = app::ToTwips(frameGeometry(), app::ScreenTwipsPerPixel(screen()));
    platform::SettingsStore &store = platform::settingsStore();
    app::WriteExitSettings(store, window, menuWrap->isChecked(), document.arrHistory);
    SyncSettings(store);
}

// A store that cannot be written loses this run's settings: the user hears of it once a run.
void frmMain::SyncSettings(platform::SettingsStore &store)
{
    if (store.Sync() || m_blnStoreFailureShown)
        return;
    m_blnStoreFailureShown = true;
    platform::ShowError(this, QStringLiteral("設定を保存できませんでした。\r\n") + store.FileName());
}
