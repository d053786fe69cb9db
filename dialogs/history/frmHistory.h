#pragma once

// The history the server keeps: the earlier versions of one file, or the files and folders
// deleted from one folder, newest first. An item opens as a new untitled document (to read or
// copy from) or is restored on the server, after the user agreed. The outcome is read after the
// dialog has closed.

#include "codec/textencoding.h"
#include "dialogs/history/historyrules.h"

#include <QDialog>
#include <QList>
#include <optional>

class QPushButton;
class QTreeWidget;

class frmHistory : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Versions, Deleted };
    // path: the file's path for its versions, the folder's for what was deleted from it.
    // canOpen: whether an item may be opened as a document here.
    frmHistory(Kind kind, const QString &path, bool canOpen, QWidget *owner = nullptr);

    // The content the user chose to open as a new untitled document.
    const std::optional<textencoding::DecodedText> &OpenedText() const { return m_openedText; }
    // Something was restored on the server: what the caller shows of it is out of date.
    bool Restored() const { return m_blnRestored; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildControls();
    void Form_Load();
    void lsviewItems_SelectionChanged();
    void cmdOpen_Click();
    void cmdRestore_Click();
    bool IsDeletedList() const { return m_kind == Kind::Deleted; }
    std::optional<history::Item> SelectedItem() const;
    QString RestoreQuestion(const history::Item &item) const;
    bool RestoreItem(const history::Item &item);

    QTreeWidget *lsviewItems = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdRestore = nullptr;
    QPushButton *cmdClose = nullptr;

    Kind m_kind;
    QString m_path;
    bool m_canOpen;
    QList<history::Item> m_items; // in the list's order
    std::optional<textencoding::DecodedText> m_openedText;
    bool m_blnRestored = false;
    int m_busy = 0;
};
