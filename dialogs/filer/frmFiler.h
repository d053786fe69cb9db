#pragma once

// The server file browser: opens a remote file or chooses the folder and name a document is
// saved under, and manages the server's folders and files from its toolbar. Built afresh for
// every showing; the outcome goes back through modPublic (lngFilerMode in; blnFilerOK,
// strCurrentFolder and strCurrentFile out, written only when the user accepts; in save mode
// encFilerEncoding both ways).

#include "codec/textencoding.h"

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <functional>
#include <optional>

class PickView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolBar;
class QTreeWidgetItem;

class frmFiler : public QDialog {
    Q_OBJECT
public:
    explicit frmFiler(QWidget *owner = nullptr);

    // Makes sure the folder's subfolders are in the tree, then lists its files.
    void ShowFolder(const QString &path);
    // Rebuilds the tree from the root, opens it down to the folder, lists and selects it.
    void RebuildFolderTree(const QString &path);
    // Bit 0 enables the folder buttons, bit 1 the file buttons; each group's history button
    // only where the server keeps history.
    void EnableToolButtons(int mask);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildControls();
    QToolBar *BuildToolbar();
    void Form_Load();
    void trviewFolders_NodeClick(QTreeWidgetItem *node);
    void lsviewFiles_ItemClick(QTreeWidgetItem *item);
    void cmdOK_Click();
    void toolOpt_ButtonClick(const QString &key);

    // The toolbar's commands, given the selected folder's path.
    void NewFolder(const QString &folder);
    void DeleteFolder(const QString &folder);
    void RenameFolder(const QString &folder);
    void DeleteFile(const QString &folder);
    void RenameFile(const QString &folder);
    void ShowVersions(const QString &folder);
    void ShowDeleted(const QString &folder);
    void OpenUntitled(const std::optional<textencoding::DecodedText> &text);
    void RefreshFileList(const QString &folder);

    bool IsSaveMode() const;
    void ResetTree();
    void AddFolderNodes(const QString &path, const QStringList &names);
    void FillFileList(const QStringList &lines);
    // False, after telling the user, when code page 932 cannot carry the name: it would reach
    // the server with "?" in place of those characters, as another name.
    bool NameTravels(const QString &name);
    // The input box until its answer is a name that travels; empty when the user cancels.
    QString AskName(const QString &prompt, const QString &initialText);
    QString SelectedFolderPath() const;
    QString SelectedFileName() const;
    // Runs one server request with the dialog disabled and the wait cursor up; "NG" or no
    // listing is failure.
    std::optional<QStringList> Listing(std::optional<QStringList> (*operation)(const QString &), const QString &path);
    bool Succeeded(const std::function<QString()> &request);

    PickView *trviewFolders = nullptr;
    PickView *lsviewFiles = nullptr;
    QLineEdit *txtName = nullptr;
    QLabel *labEncoding = nullptr; // save mode only
    QComboBox *cboEncoding = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
    QToolBar *toolOpt = nullptr;

    QHash<QString, QTreeWidgetItem *> m_nodes; // folder nodes by key (full path)
    QIcon m_folderIcon; // closed when not selected, open when selected
    int m_busy = 0;
    bool m_blnHistory = false; // the server keeps history
};
