// The commands of the menu bar and the toolbar.

#include "frmMain.h"

#include "app/printing.h"
#include "dialogs/config/frmConfig.h"
#include "dialogs/finder/frmFinder.h"
#include "dialogs/history/frmHistory.h"
#include "dialogs/version/frmVersion.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/machine.h"
#include "platform/shell.h"
#include "protocol/modPublic.h"

#include <QAction>
#include <QKeyEvent>
#include <QPlainTextEdit>

// --- Menu bar -------------------------------------------------------------------------------

void frmMain::menuNew_Click()
{
    // The design gave the menu item no action of its own; it does what the toolbar's "new" does.
    document.NewDocument();
}

void frmMain::menuOpen_Click()
{
    document.OpenDocument();
}

void frmMain::menuSave_Click()
{
    document.SaveCurrentDocument();
}

void frmMain::menuSaveAs_Click()
{
    document.SaveDocumentAs();
}

void frmMain::menuVersions_Click()
{
    ShowFileVersions();
}

void frmMain::menuPrint_Click()
{
    PrintDocument();
}

void frmMain::menuPrintConfig_Click()
{
    PrinterSetup();
}

void frmMain::menuQuit_Click()
{
    close();
}

void frmMain::menuCut_Click()
{
    CutText();
}

void frmMain::menuCopy_Click()
{
    CopyText();
}

void frmMain::menuPaste_Click()
{
    PasteText();
}

void frmMain::menuGoogle_Click()
{
    LookUpSelection(WebSite::Google);
}

void frmMain::menuWikipedia_Click()
{
    LookUpSelection(WebSite::Wikipedia);
}

void frmMain::menuSearch_Click()
{
    ShowFindDialog(0);
}

void frmMain::menuReplace_Click()
{
    ShowFindDialog(1);
}

void frmMain::menuFont_Click()
{
    ChooseEditorFont();
}

void frmMain::menuOption_Click()
{
    ShowServerSettings();
}

void frmMain::menuHelp_Click()
{
    ShowHelp();
}

void frmMain::menuVersion_Click()
{
    ShowVersion();
}

// --- Toolbar --------------------------------------------------------------------------------

void frmMain::toolMain_ButtonClick(const QString &key)
{
    for (const ToolbarButton &button : ToolbarButtons()) {
        if (button.key && key == QLatin1String(button.key)) {
            (this->*button.command)();
            return;
        }
    }
}

// --- Clipboard ------------------------------------------------------------------------------

namespace {

// The editing box would cut, copy and paste by itself on the platform's keys. Those keys are
// handed to the Edit menu's actions instead, so keyboard, menu and toolbar run one command.
class EditKeyRouter final : public QObject {
public:
    EditKeyRouter(QList<std::pair<QKeySequence::StandardKey, QAction *>> routes, QObject *parent)
        : QObject(parent)
        , m_routes(std::move(routes))
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        auto *key = static_cast<QKeyEvent *>(event);
        for (const auto &[standardKey, action] : m_routes) {
            if (!key->matches(standardKey))
                continue;
            if (event->type() == QEvent::ShortcutOverride) {
                // Not taken by the box: the action's shortcut fires.
                event->ignore();
            } else {
                // A second binding of the same command that the action does not carry.
                action->trigger();
            }
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QList<std::pair<QKeySequence::StandardKey, QAction *>> m_routes;
};

} // namespace

void frmMain::RouteEditKeys()
{
    txtMain->installEventFilter(new EditKeyRouter(
        { { QKeySequence::Cut, menuCut }, { QKeySequence::Copy, menuCopy }, { QKeySequence::Paste, menuPaste } },
        this));
    // Ctrl+Y redoes as well, as users of other editors expect; where the platform binds it to
    // redo already, the box takes it first.
    auto *redo = new QAction(txtMain);
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    redo->setShortcutContext(Qt::WidgetShortcut);
    connect(redo, &QAction::triggered, txtMain, &QPlainTextEdit::redo);
    txtMain->addAction(redo);
}

QString frmMain::SelectedText() const
{
    return app::TextWithLineBreaks(ActiveBox()->textCursor().selectedText(), app::LineBreakStyle::Lf);
}

void frmMain::CutText()
{
    QTextCursor cursor = ActiveBox()->textCursor();
    if (!cursor.hasSelection())
        return;
    CopyText();
    cursor.removeSelectedText();
    ActiveBox()->setTextCursor(cursor);
}

void frmMain::CopyText()
{
    if (!ActiveBox()->textCursor().hasSelection())
        return;
    platform::Clipboard &clipboard = platform::clipboard();
    clipboard.Clear();
    clipboard.SetText(SelectedText());
}

void frmMain::PasteText()
{
    const platform::Clipboard &clipboard = platform::clipboard();
    if (!clipboard.HasText())
        return;
    QTextCursor cursor = ActiveBox()->textCursor();
    cursor.insertText(clipboard.Text());
    ActiveBox()->setTextCursor(cursor);
}

// --- Printing -------------------------------------------------------------------------------

QPrinter &frmMain::Printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void frmMain::PrintDocument()
{
    QPrinter &printer = Printer();
    printer.setCopyCount(1);
    if (!platform::dialogs().PrintDialog(this, printer))
        return;
    // Each copy is a job of its own, so a printer that cannot make copies prints them all.
    const int copies = qMax(1, printer.copyCount());
    const QString text = DocumentText();
    for (int copy = 1; copy <= copies; ++copy) {
        if (BeforePrintJob)
            BeforePrintJob(printer, copy);
        printer.setCopyCount(1);
        if (!app::PrintText(printer, text)) {
            platform::ShowError(this, QStringLiteral("印刷できませんでした。"));
            return;
        }
    }
}

void frmMain::PrinterSetup()
{
    // The choice stays with this run's printer; the system's default printer is left alone.
    platform::dialogs().PrinterSetup(this, Printer());
}

// --- Dialogs, look-ups and help -------------------------------------------------------------

void frmMain::ShowFindDialog(int mode)
{
    modPublic::blnReplaceMode = mode;
    // An open dialog keeps the mode it was opened in and only comes to the front.
    if (!m_finder)
        m_finder = new frmFinder([this] { return ActiveBox(); }, this);
    m_finder->show();
    m_finder->raise();
    m_finder->activateWindow();
}

void frmMain::LookUpSelection(WebSite site)
{
    platform::shell().Open(app::LookUpAddress(site, SelectedText()));
}

void frmMain::ShowHelp()
{
    platform::shell().Open(QUrl::fromLocalFile(platform::AppPath() + QStringLiteral("/Lumeno.chm")));
}

void frmMain::ShowServerSettings()
{
    frmConfig dialog(this);
    dialog.exec();
}

void frmMain::ShowVersion()
{
    frmVersion dialog(this);
    dialog.exec();
}

void frmMain::ShowFileVersions()
{
    if (modPublic::strCurrentFile.isEmpty())
        return;
    frmHistory dialog(frmHistory::Kind::Versions,
        modPublic::strCurrentFolder + QLatin1Char('/') + modPublic::strCurrentFile, true, this);
    dialog.exec();
    if (dialog.OpenedText())
        document.OpenUntitledText(*dialog.OpenedText());
    else if (dialog.Restored())
        document.CurrentFileRestored();
}
