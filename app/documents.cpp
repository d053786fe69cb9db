// The document's life cycle and the recent-files list.

#include "frmMain.h"

#include "app/serverwait.h"
#include "dialogs/filer/frmFiler.h"
#include "platform/cp932.h"
#include "platform/dialogs.h"
#include "protocol/modPublic.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>

namespace {

const QString kNG = QStringLiteral("NG");
const QString kFileNamePanel = QStringLiteral("filename");

// Saving replaces what code page 932 lacks with "?": the user decides before that happens.
bool AcceptUnencodableText(QWidget *owner, const QString &text)
{
    return cp932::CanEncode(text)
        || platform::AskYesNo(owner,
            QStringLiteral("この文書にはShift-JISで保存できない文字が含まれています。\r\n"
                           "それらの文字を「?」に置き換えて保存しますか？"));
}

// One save request with the progress shown; false, after the message, when it failed.
bool SaveToServer(frmMain &window, const QString &text)
{
    QString result;
    {
        app::ProgressNote note(window, QStringLiteral("保存しています…"));
        result = modPublic::SaveRemoteFile(modPublic::strCurrentFolder, modPublic::strCurrentFile, text);
    }
    if (result != kNG)
        return true;
    platform::ShowError(&window, QStringLiteral("ファイルの保存に失敗しました。"));
    return false;
}

} // namespace

bool frmMain::ConfirmSave()
{
    if (!blnModified)
        return true;
    switch (platform::AskYesNoCancel(this, QStringLiteral("変更された内容をファイルに保存しますか？"))) {
    case platform::MsgAnswer::Yes:
        // Text that did not reach the server must not be replaced or dropped by the caller.
        return TrySaveCurrentDocument();
    case platform::MsgAnswer::No:
        return true;
    default:
        return false;
    }
}

void frmMain::SaveCurrentDocument()
{
    TrySaveCurrentDocument();
}

bool frmMain::TrySaveCurrentDocument()
{
    return modPublic::strCurrentFile.isEmpty() ? TrySaveDocumentAs() : TrySaveDocument();
}

void frmMain::NewDocument()
{
    if (!ConfirmSave())
        return;
    SetDocumentText(QString());
    ResetDocument();
}

void frmMain::ResetDocument()
{
    modPublic::strCurrentFile.clear();
    modPublic::strCurrentFolder.clear();
    blnModified = false;
    SetPanelText(kFileNamePanel, QStringLiteral("(No File)"));
}

void frmMain::OpenDocument()
{
    if (!ConfirmSave())
        return;
    modPublic::blnFilerOK = false;
    const app::HistoryItem before { modPublic::strCurrentFolder, modPublic::strCurrentFile };
    app::WindowLock lock(*this);
    modPublic::lngFilerMode = 0;
    ShowFiler();
    if (!modPublic::blnFilerOK)
        return;
    // The browser has made its choice the current file; a file that cannot be read gives the
    // document its own name back.
    if (!LoadRemoteDocument({ modPublic::strCurrentFolder, modPublic::strCurrentFile })) {
        modPublic::strCurrentFolder = before.Path;
        modPublic::strCurrentFile = before.File;
    }
}

bool frmMain::LoadRemoteDocument(const app::HistoryItem &file)
{
    QString text;
    {
        app::ProgressNote note(*this, QStringLiteral("読み込んでいます…"));
        text = modPublic::ReadRemoteFile(file.Path, file.File);
    }
    if (text == kNG) {
        platform::ShowError(this, QStringLiteral("ファイルの取得に失敗しました。"));
        return false;
    }
    SetDocumentText(text);
    modPublic::strCurrentFolder = file.Path;
    modPublic::strCurrentFile = file.File;
    SetPanelText(kFileNamePanel, file.File);
    // Setting the text marked the document modified.
    blnModified = false;
    AddToHistory();
    return true;
}

void frmMain::SaveDocument()
{
    TrySaveDocument();
}

bool frmMain::TrySaveDocument()
{
    const QString text = DocumentText();
    if (!AcceptUnencodableText(this, text))
        return false;
    app::WindowLock lock(*this);
    if (!SaveToServer(*this, text))
        return false;
    blnModified = false;
    return true;
}

void frmMain::SaveDocumentAs()
{
    TrySaveDocumentAs();
}

bool frmMain::TrySaveDocumentAs()
{
    const QString text = DocumentText();
    if (!AcceptUnencodableText(this, text))
        return false;
    modPublic::lngFilerMode = 1;
    modPublic::blnFilerOK = false;
    app::WindowLock lock(*this);
    ShowFiler();
    if (!modPublic::blnFilerOK)
        return false;
    // A failed save keeps the chosen folder and name current, as the browser left them.
    if (!SaveToServer(*this, text))
        return false;
    SetPanelText(kFileNamePanel, modPublic::strCurrentFile);
    blnModified = false;
    return true;
}

void frmMain::ShowFiler()
{
    frmFiler filer(this);
    filer.exec();
}

QProgressBar *frmMain::BusyIndicator()
{
    if (!m_barBusy) {
        m_barBusy = new QProgressBar(statusBar());
        m_barBusy->setObjectName(QStringLiteral("barBusy"));
        m_barBusy->setRange(0, 0); // no measure of progress: it keeps moving while the request runs
        m_barBusy->setTextVisible(false);
        m_barBusy->setMaximumWidth(120);
        statusBar()->addPermanentWidget(m_barBusy);
        m_barBusy->hide();
    }
    return m_barBusy;
}

void frmMain::menuRecentFiles_Click(int index)
{
    if (index < 0 || index >= app::HistoryLength(arrHistory))
        return;
    if (!ConfirmSave())
        return;
    // A copy: a successful open moves the entries.
    const app::HistoryItem entry = arrHistory[index];
    app::WindowLock lock(*this);
    LoadRemoteDocument(entry);
}

void frmMain::AddToHistory()
{
    app::AddToHistory(arrHistory, { modPublic::strCurrentFolder, modPublic::strCurrentFile });
    RefreshHistoryMenu();
}

void frmMain::RefreshHistoryMenu()
{
    // Items go later, not at once: the one clicked may be the one that asked for the refresh.
    while (menuRecentFiles.size() > 1) {
        QAction *item = menuRecentFiles.takeLast();
        mhdRecent->removeAction(item);
        item->deleteLater();
    }
    const QStringList captions = app::HistoryCaptions(arrHistory);
    QAction *first = menuRecentFiles.first();
    if (captions.isEmpty()) {
        first->setText(QStringLiteral("(なし)"));
        first->setEnabled(false);
        return;
    }
    first->setText(captions.first());
    first->setEnabled(true);
    for (int i = 1; i < captions.size(); ++i) {
        QAction *entry = mhdRecent->addAction(captions[i]);
        entry->setObjectName(QStringLiteral("menuRecentFiles"));
        entry->setProperty("index", i);
        connect(entry, &QAction::triggered, this, [this, i] { menuRecentFiles_Click(i); });
        menuRecentFiles.append(entry);
    }
}
