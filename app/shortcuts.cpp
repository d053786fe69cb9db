// The file-type association of local shortcuts (.lmk), and drops on the editing box.

#include "frmMain.h"

#include "app/association.h"
#include "app/drops.h"
#include "platform/dialogs.h"
#include "protocol/modPublic.h"

#include <QAction>
#include <QCoreApplication>
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
    menuVersions->setEnabled(!modPublic::strCurrentFile.isEmpty() && modPublic::ServerKeepsHistory());
}

void frmMain::menuShortcut_Click()
{
    document.CreateShortcut();
}

void frmMain::AcceptDrops()
{
    new app::DropTarget(txtMain->viewport(),
        [this](const app::DroppedData &data, QPoint position) { txtMain_OLEDragDrop(data, position); });
}

void frmMain::txtMain_OLEDragDrop(const app::DroppedData &data, QPoint position)
{
    using Kind = app::DroppedData::Kind;
    if (data.kind == Kind::Files) {
        document.OpenDroppedFiles(data.files);
        return;
    }
    if (data.kind != Kind::Text)
        return;
    // A selection is replaced; without one the text goes where it was dropped.
    QTextCursor cursor = txtMain->textCursor();
    if (!cursor.hasSelection())
        cursor = txtMain->cursorForPosition(position);
    QString text = data.text;
    cursor.insertText(text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n'));
    txtMain->setTextCursor(cursor);
}
