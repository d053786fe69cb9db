#pragma once

// The main window: the application. It holds the one document in its editing box, the menu
// bar, the toolbar and the status bar, reads the settings when it loads and writes them back
// when it closes.

#include "app/appsettings.h"
#include "app/document.h"
#include "app/draftschedule.h"
#include "app/drops.h"
#include "app/history.h"
#include "app/linebreaks.h"
#include "app/readpreview.h"
#include "app/serverwait.h"
#include "app/textcounts.h"
#include "app/weblookup.h"

#include <QDateTime>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QPrinter>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace platform {
class SettingsStore;
}
namespace app {
class DraftStore;
struct Draft;
} // namespace app

class QAction;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QThreadPool;
class QTimer;
class QToolBar;
class StatusPanel;
class frmFinder;
class inetConn;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // --- Start-up and shutdown (startup.cpp) --------------------------------------------------
    // Seeds the random generator, reads the settings, writes "UpdateInfo", registers the
    // shortcut type and shows the window.
    void Form_Load();
    // On every activation: the command line, if any, is opened as a shortcut the first time
    // (after the drafts' questions, and after the save prompt when a draft was restored).
    void Form_Activate();
    // Before the window closes: the save prompt may cancel (Cancel set non-zero); otherwise the
    // settings are written back.
    void Form_Unload(int &Cancel);
    // The command line as the platform gives it, after the program's own name.
    QString CommandLine() const { return m_strCommandLine; }
    void SetCommandLine(const QString &commandLine) { m_strCommandLine = commandLine; }

    bool blnCommandLineDone = false;

    // --- Editor view (editorview.cpp) ---------------------------------------------------------
    // The box every command that reads or edits the document works on.
    QPlainTextEdit *ActiveBox() const;
    // The document's text with its own line breaks, every character as it is.
    QString DocumentText() const;
    // Puts a text into the box and keeps its line-break style (a change of the text: the
    // document becomes modified, as every change makes it).
    void SetDocumentText(const QString &text);
    app::LineBreakStyle DocumentLineBreaks() const { return m_lineBreaks; }
    app::TextCounts Counts() const;

    void SetWordWrap(bool wrap);
    bool WordWrap() const;
    void ChooseEditorFont();
    app::FontSetting EditorFont() const { return m_font; }

    // The status bar's panels by key: "filename", "font", "count".
    QString PanelText(const QString &key) const;
    void SetPanelText(const QString &key, const QString &text);

    // --- The document (document.h) and its window side (documents.cpp) -------------------------
    // Its seams reach this window, the file browser and the server; tests replace single seams.
    app::Document document;
    void RefreshHistoryMenu();
    void menuRecentFiles_Click(int index);
    // Shows the file browser modally in the mode lngFilerMode names.
    void ShowFiler();
    // Shown in the status bar while a request to the server runs.
    QProgressBar *BusyIndicator();

    // --- File-type association and drops (shortcuts.cpp) --------------------------------------
    virtual void RegisterShortcutType();
    void menuShortcut_Click();
    void mhdFile_Click();
    // A drop on the editing box, at this position of its viewport.
    void txtMain_OLEDragDrop(const app::DroppedData &data, QPoint position);
    // Makes the editing box hand its drops to txtMain_OLEDragDrop (from the constructor).
    void AcceptDrops();

private:
    void ConnectDocument();
    void ShowProgress(const QString &note);
    void ShowTransferProgress(qint64 done, qint64 total);
    void ShowReadPreview(qint64 done, qint64 total);
    QProgressBar *m_barBusy = nullptr;
    // The indicator and the wait cursor show once a request has run for more than a moment: a
    // quick one would only make them flicker, and building them costs the first request a frame.
    QTimer *tmrBusy = nullptr;
    QString m_strPanelBeforeProgress;
    QString m_strProgressNote; // while a request runs
    std::unique_ptr<app::ReadPreview> m_readPreview; // while a document is read
    std::vector<std::unique_ptr<app::WindowLock>> m_locks;

public:
    // --- Drafts of the modified document on the local disk (drafts.cpp) -----------------------
    // The clock the draft schedule reads, in milliseconds; tests set their own.
    std::function<qint64()> DraftClock;
    // Writes the draft when the schedule says it is due; the draft timer calls it.
    void tmrDraft_Timer();
    // Waits until every draft handed to the writer is on the disk or failed, and its failure told.
    void FlushDrafts();
    // The drafts of editors that are gone, offered one after another (start-up).
    void OfferDrafts();
    // The program is ended from outside: the draft of a modified document is written at once,
    // the settings as at a close; the draft then stays whatever happens until the end.
    void EndFromOutside();
    // This editor's draft; empty until it is first written.
    QString DraftPath() const;

private:
    void ConnectDrafts();
    void DraftChanged();
    void DropDraft();
    void WriteDraft();
    void DraftWritten(bool written);
    bool RestoreDraft(const app::Draft &draft);
    app::Draft DraftOfDocument() const;
    std::unique_ptr<app::DraftStore> m_drafts;
    std::unique_ptr<QThreadPool> m_draftWriter; // after m_drafts: it goes first, once idle
    std::atomic<quint64> m_draftGeneration = 0;
    app::DraftSchedule m_draftSchedule;
    QTimer *tmrDraft = nullptr;
    QDateTime m_draftChanged;
    bool m_blnDraftFailureShown = false;
    bool m_blnEndedFromOutside = false;
    bool m_blnOfferingDrafts = false;

public:
    // --- Commands (commands.cpp) --------------------------------------------------------------
    using WebSite = app::WebSite;
    void CutText();
    void CopyText();
    void PasteText();
    void PrintDocument();
    void PrinterSetup();
    void ShowFindDialog(int mode);
    void LookUpSelection(WebSite site);
    void ShowHelp();
    void ShowServerSettings();
    void ShowVersion();
    // The earlier versions the server kept of the current file.
    void ShowFileVersions();
    // Runs the command of the toolbar button with this key; an unknown key does nothing.
    void toolMain_ButtonClick(const QString &key);
    // The toolbar button with this key, or nullptr.
    QAction *ToolButton(const QString &key) const;
    // The selected text of the active box, its line breaks as LF.
    QString SelectedText() const;
    // The printer of this run: printer setup's choice holds for every later print.
    QPrinter &Printer();
    // Runs before each print job with its copy number, from 1 (tests send each job to a file).
    std::function<void(QPrinter &printer, int copy)> BeforePrintJob;
    // The find / replace dialog while it is open.
    QPointer<frmFinder> Finder() const { return m_finder; }

private:
    // Sends the box's cut, copy and paste keys to the Edit menu's commands; Ctrl+Y redoes.
    void RouteEditKeys();
    std::unique_ptr<QPrinter> m_printer;
    QPointer<frmFinder> m_finder;

public:
    // --- Controls -----------------------------------------------------------------------------
    QPlainTextEdit *txtMain = nullptr;
    QToolBar *toolMain = nullptr;
    ::inetConn *inetConn = nullptr;

    QMenu *mhdFile = nullptr;
    QAction *menuNew = nullptr;
    QAction *menuOpen = nullptr;
    QAction *menuSave = nullptr;
    QAction *menuSaveAs = nullptr;
    QAction *menuVersions = nullptr;
    QAction *menuShortcut = nullptr;
    QAction *menuPrint = nullptr;
    QAction *menuPrintConfig = nullptr;
    QMenu *mhdRecent = nullptr;
    QList<QAction *> menuRecentFiles;
    QAction *menuQuit = nullptr;

    QMenu *mhdEdit = nullptr;
    QAction *menuCut = nullptr;
    QAction *menuCopy = nullptr;
    QAction *menuPaste = nullptr;
    QAction *menuGoogle = nullptr;
    QAction *menuWikipedia = nullptr;
    QAction *menuSearch = nullptr;
    QAction *menuReplace = nullptr;

    QMenu *mhdView = nullptr;
    QAction *menuFont = nullptr;
    QAction *menuWrap = nullptr;

    QMenu *mhdConfig = nullptr;
    QAction *menuOption = nullptr;

    QMenu *mhdHelp = nullptr;
    QAction *menuHelp = nullptr;
    QAction *menuVersion = nullptr;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // frmMain.cpp: the window as designed.
    void CreateEditor();
    void CreateMenus();
    void CreateToolbar();
    void CreateStatusBar();
    void PlaceAsDesigned();

    // startup.cpp
    void StartReadingCommandLine();
    void ApplyConnectionSettings(const app::StartupSettings &settings);
    void LoadSettings();
    void WriteExitSettings();
    void SyncSettings(platform::SettingsStore &store);
    void ApplyOuterGeometry(const QRect &outer);
    void UpdateMinimumSize();
    void AdoptFrame();

    // editorview.cpp
    void txtMain_Change();
    void txtMain_ContentsChange(int position, int removed, int added);
    void ApplyEditorFont();
    void ShowWrapState(bool wrap);

    // Menu and toolbar handlers (commands.cpp).
    void menuNew_Click();
    void menuOpen_Click();
    void menuSave_Click();
    void menuSaveAs_Click();
    void menuVersions_Click();
    void menuPrint_Click();
    void menuPrintConfig_Click();
    void menuQuit_Click();
    void menuCut_Click();
    void menuCopy_Click();
    void menuPaste_Click();
    void menuGoogle_Click();
    void menuWikipedia_Click();
    void menuSearch_Click();
    void menuReplace_Click();
    void menuFont_Click();
    void menuWrap_Click();
    void menuOption_Click();
    void menuHelp_Click();
    void menuVersion_Click();
    void toolWrap_Click();

    struct ToolbarButton {
        const char *key; // nullptr: a separator; else also the image's name
        const char *description;
        const char *toolTip;
        void (frmMain::*command)();
    };
    // The toolbar in its order, each button with its command; the images are imglstToolbar's.
    static std::span<const ToolbarButton> ToolbarButtons();

    StatusPanel *m_panFileName = nullptr;
    StatusPanel *m_panFont = nullptr;
    StatusPanel *m_panCount = nullptr;

    QString m_strCommandLine;
    bool m_blnStoreFailureShown = false;
    app::FontSetting m_font;
    app::LineBreakStyle m_lineBreaks = app::LineBreakStyle::CrLf;
    app::DocumentCounter m_counter;
    bool m_blnSettingWholeText = false;
    QRect m_builtInOuter; // the designed outer bounds, before the stored ones apply
    QRect m_storedOuter; // the outer bounds the settings asked for
    std::optional<QRect> m_pendingOuter; // those bounds, until the frame is known
    QSize m_frame; // what the window frame adds to the client area
};
