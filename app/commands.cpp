// The commands of the menu bar and the toolbar.

#include "frmMain.h"

#include "protocol/modPublic.h"

#include <QAction>

// --- Menu bar -------------------------------------------------------------------------------

void frmMain::menuNew_Click()
{
    // The design gave the menu item no action of its own; it does what the toolbar's "new" does.
    NewDocument();
}

void frmMain::menuOpen_Click()
{
    OpenDocument();
}

void frmMain::menuSave_Click()
{
    SaveCurrentDocument();
}

void frmMain::menuSaveAs_Click()
{
    SaveDocumentAs();
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
    using Command = void (frmMain::*)();
    // In the toolbar's order: the first key that matches runs.
    static const std::pair<const char *, Command> commands[] = {
        { "new", &frmMain::NewDocument },
        { "open", &frmMain::OpenDocument },
        { "save", &frmMain::SaveCurrentDocument },
        { "print", &frmMain::PrintDocument },
        { "cut", &frmMain::CutText },
        { "copy", &frmMain::CopyText },
        { "paste", &frmMain::PasteText },
        { "google", &frmMain::menuGoogle_Click },
        { "wikipedia", &frmMain::menuWikipedia_Click },
        { "search", &frmMain::menuSearch_Click },
        { "font", &frmMain::ChooseEditorFont },
        { "wrap", &frmMain::toolWrap_Click },
        { "config", &frmMain::ShowServerSettings },
        { "help", &frmMain::ShowHelp },
    };
    for (const auto &[name, command] : commands) {
        if (key == QLatin1String(name)) {
            (this->*command)();
            return;
        }
    }
}

// --- Commands -------------------------------------------------------------------------------
// The clipboard, printing, the web look-ups, the help file and the dialogs arrive with the
// command layer; until then these commands do nothing.

void frmMain::CutText() { }
void frmMain::CopyText() { }
void frmMain::PasteText() { }
void frmMain::PrintDocument() { }
void frmMain::PrinterSetup() { }

void frmMain::ShowFindDialog(int mode)
{
    modPublic::blnReplaceMode = mode;
}

void frmMain::LookUpSelection(WebSite site)
{
    Q_UNUSED(site)
}

void frmMain::ShowHelp() { }
void frmMain::ShowServerSettings() { }
void frmMain::ShowVersion() { }
