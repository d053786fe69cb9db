#pragma once

#include <QDialog>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The find / replace dialog: modeless, owned by the main window, working on whichever editing
// box is active when a button is pressed. Its mode (find or replace) is fixed when it opens.
// It deletes itself when closed.
class frmFinder : public QDialog {
    Q_OBJECT
public:
    // activeBox answers the main window's visible editing box at the moment of each operation.
    explicit frmFinder(std::function<QPlainTextEdit *()> activeBox, QWidget *owner = nullptr);

    bool IsReplaceMode() const { return m_blnReplaceMode; }

private:
    void CreateControls();
    void Form_Load();
    QPlainTextEdit *ActiveBox() const;
    void txtSearchWord_Change();
    void txtReplaceWord_Change();
    void cmdNext_Click();
    void cmdReplace_Click();
    void cmdRepAll_Click();
    void cmdClose_Click();

    std::function<QPlainTextEdit *()> m_activeBox;
    bool m_blnReplaceMode = false;

    QLabel *Label1 = nullptr;
    QLineEdit *txtSearchWord = nullptr;
    QLabel *labReplace = nullptr;
    QLineEdit *txtReplaceWord = nullptr;
    QGroupBox *framDirection = nullptr;
    QRadioButton *optDirection[2] = {};
    QPushButton *cmdNext = nullptr;
    QPushButton *cmdReplace = nullptr;
    QPushButton *cmdRepAll = nullptr;
    QPushButton *cmdClose = nullptr;
};
