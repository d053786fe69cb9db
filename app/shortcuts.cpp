// Local shortcut files (.lmk), their file-type association, and drops on the editing box.

#include "frmMain.h"

#include "app/association.h"
#include "app/drops.h"
#include "app/serverwait.h"
#include "app/shortcutfile.h"
#include "platform/dialogs.h"
#include "protocol/modPublic.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextCursor>

void frmMain::RegisterShortcutType()
{
    const QString failure = app::RegisterAssociation(app::UserDataHome(), QCoreApplication::applicationFilePath());
    if (!failure.isEmpty())
        platform::ShowError(this, failure);
}

void frmMain::mhdFile_Click()
{
    menuShortcut->setEnabled(!modPublic::strCurrentFile.isEmpty());
}

void frmMain::menuShortcut_Click()
{
    if (modPublic::strCurrentFile.isEmpty()) {
        platform::ShowError(this, QStringLiteral("ファイルを開いていません。"));
        return;
    }
    platform::SaveFileRequest request;
    request.title = QStringLiteral("ローカルショートカットの作成");
    request.proposedName = modPublic::strCurrentFile;
    request.filter = QStringLiteral("Lumenoﾛｰｶﾙｼｮｰﾄｶｯﾄ(*.lmk)");
    request.defaultSuffix = QStringLiteral("lmk");
    const std::optional<QString> chosen = platform::dialogs().SaveFileName(this, request);
    if (!chosen)
        return;
    if (!app::WriteShortcut(app::ShortcutFilePath(*chosen), { modPublic::strCurrentFolder, modPublic::strCurrentFile }))
        platform::ShowError(this, QStringLiteral("ローカルショートカットの作成に失敗しました。"));
}

void frmMain::OpenShortcut(const QString &path)
{
    // The failure message can hand the activation back to the window, which would ask for the
    // command line's shortcut again while this one is still being opened.
    if (m_blnOpeningShortcut)
        return;
    const std::optional<app::HistoryItem> target = app::ReadShortcut(path);
    if (!target)
        return;
    m_blnOpeningShortcut = true;
    {
        app::WindowLock lock(*this);
        LoadRemoteDocument(*target);
    }
    m_blnOpeningShortcut = false;
}

void frmMain::AcceptDrops()
{
    new app::DropTarget(txtMain->viewport(),
        [this](const app::DroppedData &data, QPoint position) { txtMain_OLEDragDrop(data, position); });
}

void frmMain::txtMain_OLEDragDrop(const app::DroppedData &data, QPoint position)
{
    using Kind = app::DroppedData::Kind;
    if (data.kind == Kind::Text) {
        // A selection is replaced; without one the text goes where it was dropped.
        QTextCursor cursor = txtMain->textCursor();
        if (!cursor.hasSelection())
            cursor = txtMain->cursorForPosition(position);
        QString text = data.text;
        cursor.insertText(text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n'));
        txtMain->setTextCursor(cursor);
        return;
    }
    if (data.kind != Kind::Files || !ConfirmSave())
        return;
    if (data.files.size() >= 2)
        platform::ShowInformation(
            this, QStringLiteral("複数のファイルがドロップされましたが、先頭のファイルのみを開きます。"));
    const QString &first = data.files.first();
    if (QFileInfo(first).size() == 0)
        return;
    if (app::HasShortcutExtension(first)) {
        // The shortcut's file opens bound to its name, as from the command line.
        OpenShortcut(first);
        return;
    }
    const std::optional<QString> text = app::ReadLocalTextFile(first);
    if (!text)
        return;
    SetDocumentText(*text);
    ResetDocument();
}
