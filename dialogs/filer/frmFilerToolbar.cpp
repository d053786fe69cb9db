// The file browser's toolbar: creating, deleting and renaming folders and files on the server,
// and what the server kept of them.

#include "dialogs/filer/filerrules.h"
#include "dialogs/filer/frmFiler.h"
#include "dialogs/filer/pickview.h"
#include "dialogs/history/frmHistory.h"
#include "platform/dialogs.h"
#include "platform/twips.h"
#include "protocol/modPublic.h"
#include "resources/resources.h"

#include <QAction>
#include <QLineEdit>
#include <QToolBar>

namespace {

const QString kRoot = QStringLiteral("data");

struct ToolButton {
    QString key; // also the action's object name and its picture's name
    QString tooltip;
};

// In toolbar order: the folder group, a gap, the file group, a gap, the history group.
const ToolButton kFolderButtons[] = {
    { QStringLiteral("newfolder"), QStringLiteral("新規フォルダ作成") },
    { QStringLiteral("deletefolder"), QStringLiteral("フォルダ削除") },
    { QStringLiteral("renamefolder"), QStringLiteral("フォルダ名変更") },
};
const ToolButton kFileButtons[] = {
    { QStringLiteral("deletefile"), QStringLiteral("ファイル削除") },
    { QStringLiteral("renamefile"), QStringLiteral("ファイル名変更") },
};
// Only where the server keeps history: the versions of the picked file, what was deleted from
// the picked folder.
const ToolButton kVersionsButton { QStringLiteral("versions"), QStringLiteral("以前のバージョン") };
const ToolButton kDeletedButton { QStringLiteral("deleted"), QStringLiteral("削除したファイルとフォルダ") };

QString Joined(const QString &folder, const QString &name)
{
    return folder + QLatin1Char('/') + name;
}

} // namespace

QToolBar *frmFiler::BuildToolbar()
{
    toolOpt = new QToolBar(this);
    toolOpt->setObjectName(QStringLiteral("toolOpt"));
    toolOpt->setIconSize(QSize(16, 16));
    const auto addPlaceholder = [this](int twips) {
        auto *space = new QWidget(toolOpt);
        space->setFixedWidth(platform::TwipsToPixels(twips, platform::TwipsPerPixelAt(logicalDpiX())));
        toolOpt->addWidget(space);
    };
    const auto addButtons = [this](const auto &buttons) {
        for (const ToolButton &button : buttons) {
            QAction *action = toolOpt->addAction(
                resources::Picture(QStringLiteral("filer/") + button.key + QStringLiteral(".png")), button.tooltip);
            action->setObjectName(button.key);
            action->setToolTip(button.tooltip);
            connect(action, &QAction::triggered, this, [this, key = button.key] { toolOpt_ButtonClick(key); });
        }
    };
    addPlaceholder(6500);
    addButtons(kFolderButtons);
    addPlaceholder(240);
    addButtons(kFileButtons);
    addPlaceholder(240);
    addButtons(std::initializer_list<ToolButton> { kVersionsButton, kDeletedButton });
    return toolOpt;
}

void frmFiler::EnableToolButtons(int mask)
{
    for (const ToolButton &button : kFolderButtons)
        toolOpt->findChild<QAction *>(button.key)->setEnabled(mask & 1);
    for (const ToolButton &button : kFileButtons)
        toolOpt->findChild<QAction *>(button.key)->setEnabled(mask & 2);
    toolOpt->findChild<QAction *>(kVersionsButton.key)->setEnabled(m_blnHistory && (mask & 2));
    toolOpt->findChild<QAction *>(kDeletedButton.key)->setEnabled(m_blnHistory && (mask & 1));
}

void frmFiler::toolOpt_ButtonClick(const QString &key)
{
    const QString folder = SelectedFolderPath();
    if (folder.isEmpty())
        return;
    if (key == QLatin1String("newfolder"))
        NewFolder(folder);
    else if (key == QLatin1String("deletefolder"))
        DeleteFolder(folder);
    else if (key == QLatin1String("renamefolder"))
        RenameFolder(folder);
    else if (key == QLatin1String("deletefile"))
        DeleteFile(folder);
    else if (key == QLatin1String("renamefile"))
        RenameFile(folder);
    else if (key == kVersionsButton.key)
        ShowVersions(folder);
    else if (key == kDeletedButton.key)
        ShowDeleted(folder);
}

// After a file command the list is refilled and no file is picked any more.
void frmFiler::RefreshFileList(const QString &folder)
{
    ShowFolder(folder);
    txtName->clear();
    EnableToolButtons(1);
}

void frmFiler::NewFolder(const QString &folder)
{
    const QString name = AskName(QStringLiteral("作成するフォルダ名を入力してください。"), {});
    if (name.isEmpty())
        return;
    if (!Succeeded([&] { return modPublic::NewRemoteFolder(Joined(folder, name)); })) {
        platform::ShowError(this, QStringLiteral("フォルダの作成に失敗しました。"));
        return;
    }
    RebuildFolderTree(folder);
    // The user looks for the folder just made: open its parent so it shows.
    if (QTreeWidgetItem *parent = m_nodes.value(folder))
        parent->setExpanded(true);
}

void frmFiler::DeleteFolder(const QString &folder)
{
    if (folder == kRoot) {
        platform::ShowError(this, QStringLiteral("ルートフォルダは削除できません。"));
        return;
    }
    const QString shownName = trviewFolders->selectedItems().first()->text(0);
    if (!platform::AskYesNo(this,
            QStringLiteral("フォルダ") + shownName
                + QStringLiteral("とそれ以下のすべてのファイル、フォルダを削除しますか？")))
        return;
    if (!Succeeded([&] { return modPublic::DeleteRemoteFolder(folder); })) {
        platform::ShowError(this, QStringLiteral("フォルダの削除に失敗しました。"));
        return;
    }
    RebuildFolderTree(filer::ParentFolderPath(folder));
}

void frmFiler::RenameFolder(const QString &folder)
{
    if (folder == kRoot) {
        platform::ShowError(this, QStringLiteral("ルートフォルダの名前は変更できません。"));
        return;
    }
    const QString name = AskName(QStringLiteral("新しいフォルダ名を入力してください。"), {});
    if (name.isEmpty())
        return;
    if (!Succeeded([&] { return modPublic::RenameRemoteFolder(folder, name); })) {
        platform::ShowError(this, QStringLiteral("フォルダ名の変更に失敗しました。"));
        return;
    }
    RebuildFolderTree(filer::ParentFolderPath(folder));
}

void frmFiler::DeleteFile(const QString &folder)
{
    const QString file = SelectedFileName();
    if (file.isEmpty())
        return;
    if (!Succeeded([&] { return modPublic::DeleteRemoteFile(Joined(folder, file)); })) {
        platform::ShowError(this, QStringLiteral("ファイルの削除に失敗しました。"));
        return;
    }
    RefreshFileList(folder);
}

void frmFiler::RenameFile(const QString &folder)
{
    const QString file = SelectedFileName();
    if (file.isEmpty())
        return;
    const QString name = AskName(QStringLiteral("新しいファイル名を入力してください。"), file);
    if (name.isEmpty() || name == file)
        return;
    if (!Succeeded([&] { return modPublic::RenameRemoteFile(Joined(folder, file), name); })) {
        platform::ShowError(this, QStringLiteral("ファイル名の変更に失敗しました。"));
        return;
    }
    RefreshFileList(folder);
}

void frmFiler::ShowVersions(const QString &folder)
{
    const QString file = SelectedFileName();
    if (file.isEmpty())
        return;
    frmHistory dialog(frmHistory::Kind::Versions, Joined(folder, file), !IsSaveMode(), this);
    dialog.exec();
    if (dialog.Restored())
        RefreshFileList(folder);
    OpenUntitled(dialog.OpenedText());
}

void frmFiler::ShowDeleted(const QString &folder)
{
    frmHistory dialog(frmHistory::Kind::Deleted, folder, !IsSaveMode(), this);
    dialog.exec();
    // A folder may have come back as well as a file.
    if (dialog.Restored())
        RebuildFolderTree(folder);
    OpenUntitled(dialog.OpenedText());
}

// The browser closes without a file chosen; the caller opens the text instead.
void frmFiler::OpenUntitled(const std::optional<textencoding::DecodedText> &text)
{
    if (!text)
        return;
    modPublic::strFilerUntitled = text;
    reject();
}
