#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;
class QPushButton;

// The version dialog: a fixed 335 x 200 picture with the version, build and copyright lines, a
// link to the user guide and a Close button. Opened modally by the main window.
class frmVersion : public QDialog {
    Q_OBJECT
public:
    explicit frmVersion(QWidget *owner = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateControls();
    void Form_Load();
    void labWeblink_Click();
    void cmdClose_Click();

    QPixmap m_background;
    QPushButton *cmdClose = nullptr;
    QLabel *labVersion = nullptr;
    QLabel *labBuild = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *labWeblink = nullptr;
};
