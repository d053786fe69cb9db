#pragma once

#include <QTreeWidget>

// A tree or report view that reports an item as picked when it is clicked, and when the
// keyboard moves the current item to it, so that keyboard users get what a click gives.
// A picked item stays selected until another one is picked: clicks on empty space or with
// Ctrl do not leave the view without a selection.
class PickView : public QTreeWidget {
    Q_OBJECT
public:
    explicit PickView(QWidget *parent = nullptr);

signals:
    void picked(QTreeWidgetItem *item);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex &index, const QEvent *event = nullptr) const override;
};
