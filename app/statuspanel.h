#pragma once

#include <QLabel>

// One panel of the status bar: a sunken text field that reports a double click.
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatusPanel(const QString &key, QWidget *parent = nullptr);

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
