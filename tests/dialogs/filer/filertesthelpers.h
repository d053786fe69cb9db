#pragma once

// Reaching into a shown file browser as the user would: by control names and clicks.

#include "dialogs/filer/frmFiler.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

namespace filertest {

inline QTreeWidget *Tree(frmFiler &dlg) { return dlg.findChild<QTreeWidget *>(QStringLiteral("trviewFolders")); }
inline QTreeWidget *List(frmFiler &dlg) { return dlg.findChild<QTreeWidget *>(QStringLiteral("lsviewFiles")); }
inline QLineEdit *Name(frmFiler &dlg) { return dlg.findChild<QLineEdit *>(QStringLiteral("txtName")); }
inline QPushButton *Button(frmFiler &dlg, const char *name) { return dlg.findChild<QPushButton *>(name); }
inline QAction *Tool(frmFiler &dlg, const QString &key)
{
    return dlg.findChild<QToolBar *>(QStringLiteral("toolOpt"))->findChild<QAction *>(key);
}

// The folder node of a full path, or nullptr.
inline QTreeWidgetItem *Node(frmFiler &dlg, const QString &path)
{
    for (QTreeWidgetItemIterator it(Tree(dlg)); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == path)
            return *it;
    }
    return nullptr;
}

inline QStringList Children(QTreeWidgetItem *node)
{
    QStringList names;
    for (int i = 0; node && i < node->childCount(); ++i)
        names.append(node->child(i)->text(0));
    return names;
}

inline QStringList Column(QTreeWidget *list, int column)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts.append(list->topLevelItem(i)->text(column));
    return texts;
}

inline QString SelectedKey(frmFiler &dlg)
{
    const QList<QTreeWidgetItem *> selected = Tree(dlg)->selectedItems();
    return selected.size() == 1 ? selected.first()->data(0, Qt::UserRole).toString() : QString();
}

inline void ClickItem(QTreeWidget *view, QTreeWidgetItem *item)
{
    view->scrollToItem(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(item).center());
}

// False when there is nothing of that name to click.
[[nodiscard]] inline bool ClickFolder(frmFiler &dlg, const QString &path)
{
    QTreeWidgetItem *node = Node(dlg, path);
    if (node)
        ClickItem(Tree(dlg), node);
    return node;
}

[[nodiscard]] inline bool ClickFile(frmFiler &dlg, const QString &name)
{
    const QList<QTreeWidgetItem *> rows = List(dlg)->findItems(name, Qt::MatchExactly, 0);
    if (!rows.isEmpty())
        ClickItem(List(dlg), rows.first());
    return !rows.isEmpty();
}

} // namespace filertest
