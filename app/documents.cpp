// The document's life cycle and the recent-files list.

#include "frmMain.h"

#include "platform/dialogs.h"
#include "protocol/modPublic.h"

#include <QAction>
#include <QMenu>

bool frmMain::ConfirmSave()
{
    if (!blnModified)
        return true;
    switch (platform::AskYesNoCancel(this, QStringLiteral("変更された内容をファイルに保存しますか？"))) {
    case platform::MsgAnswer::Yes:
        // The caller goes on whatever the save's outcome; a failed save has said so itself.
        SaveCurrentDocument();
        return true;
    case platform::MsgAnswer::No:
        return true;
    default:
        return false;
    }
}

void frmMain::SaveCurrentDocument()
{
    if (modPublic::strCurrentFile.isEmpty())
        SaveDocumentAs();
    else
        SaveDocument();
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
    SetPanelText(QStringLiteral("filename"), QStringLiteral("(No File)"));
}

// Opening through the file browser and saving to the server arrive with the document life
// cycle; until then these commands leave the document as it is.
void frmMain::OpenDocument() { }
void frmMain::SaveDocument() { }
void frmMain::SaveDocumentAs() { }
void frmMain::menuRecentFiles_Click(int index)
{
    Q_UNUSED(index)
}

void frmMain::AddToHistory()
{
    app::AddToHistory(arrHistory, { modPublic::strCurrentFolder, modPublic::strCurrentFile });
    RefreshHistoryMenu();
}

void frmMain::RefreshHistoryMenu()
{
    while (menuRecentFiles.size() > 1)
        delete menuRecentFiles.takeLast();
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
