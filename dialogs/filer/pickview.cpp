#include "dialogs/filer/pickview.h"

#include <QKeyEvent>

PickView::PickView(QWidget *parent)
    : QTreeWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { emit picked(item); });
}

void PickView::keyPressEvent(QKeyEvent *event)
{
    QTreeWidgetItem *before = currentItem();
    QTreeWidget::keyPressEvent(event);
    QTreeWidgetItem *after = currentItem();
    if (after && after != before && after->isSelected())
        emit picked(after);
}

QItemSelectionModel::SelectionFlags PickView::selectionCommand(const QModelIndex &index, const QEvent *event) const
{
    const QItemSelectionModel::SelectionFlags flags = QTreeWidget::selectionCommand(index, event);
    if (!index.isValid() || flags.testFlag(QItemSelectionModel::Deselect))
        return QItemSelectionModel::NoUpdate;
    return flags;
}
