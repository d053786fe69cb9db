#include "frmFinder.h"

#include "dialogs/finder/textsearch.h"
#include "platform/dialogs.h"
#include "protocol/modPublic.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

const QString NOT_FOUND = QStringLiteral("一致する文字列はありません。");

// The box's text with the positions of its cursor: one character per cursor step, line breaks
// as LF. The raw text keeps no-break spaces as they are, so matching stays exact.
QString BoxText(const QPlainTextEdit &box)
{
    QString text = box.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

void SelectSpan(QPlainTextEdit &box, qsizetype start, qsizetype length)
{
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(int(start));
    cursor.setPosition(int(start + length), QTextCursor::KeepAnchor);
    box.setTextCursor(cursor);
}

} // namespace

frmFinder::frmFinder(std::function<QPlainTextEdit *()> activeBox, QWidget *owner)
    : QDialog(owner)
    , m_activeBox(std::move(activeBox))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
        | Qt::MSWindowsFixedSizeDialogHint);
    CreateControls();
    Form_Load();
}

void frmFinder::CreateControls()
{
    Label1 = new QLabel(QStringLiteral("検索文字列(&T)："), this);
    txtSearchWord = new QLineEdit(this);
    labReplace = new QLabel(QStringLiteral("置換文字列(&C)："), this);
    txtReplaceWord = new QLineEdit(this);
    framDirection = new QGroupBox(QStringLiteral("検索方向(&D)："), this);
    optDirection[0] = new QRadioButton(QStringLiteral("下方向"), framDirection);
    optDirection[1] = new QRadioButton(QStringLiteral("上方向"), framDirection);
    cmdNext = new QPushButton(QStringLiteral("次を検索(&N)"), this);
    cmdReplace = new QPushButton(QStringLiteral("置換(&R)"), this);
    cmdRepAll = new QPushButton(QStringLiteral("すべて置換(&A)"), this);
    cmdClose = new QPushButton(QStringLiteral("閉じる(&E)"), this);

    Label1->setObjectName(QStringLiteral("Label1"));
    txtSearchWord->setObjectName(QStringLiteral("txtSearchWord"));
    labReplace->setObjectName(QStringLiteral("labReplace"));
    txtReplaceWord->setObjectName(QStringLiteral("txtReplaceWord"));
    framDirection->setObjectName(QStringLiteral("framDirection"));
    optDirection[0]->setObjectName(QStringLiteral("optDirection0"));
    optDirection[1]->setObjectName(QStringLiteral("optDirection1"));
    cmdNext->setObjectName(QStringLiteral("cmdNext"));
    cmdReplace->setObjectName(QStringLiteral("cmdReplace"));
    cmdRepAll->setObjectName(QStringLiteral("cmdRepAll"));
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    Label1->setBuddy(txtSearchWord);
    labReplace->setBuddy(txtReplaceWord);
    txtSearchWord->setMinimumWidth(220);
    optDirection[0]->setChecked(true);
    // Find next answers Enter, unless another button has the focus: then that one does.
    cmdNext->setDefault(true);
    cmdNext->setEnabled(false);
    cmdReplace->setEnabled(false);
    cmdRepAll->setEnabled(false);

    auto *directionRow = new QHBoxLayout(framDirection);
    directionRow->addWidget(optDirection[0]);
    directionRow->addWidget(optDirection[1]);
    directionRow->addStretch();

    auto *fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(txtSearchWord, 0, 1);
    fields->addWidget(labReplace, 1, 0);
    fields->addWidget(txtReplaceWord, 1, 1);
    fields->addWidget(framDirection, 2, 0, 1, 2);
    fields->setRowStretch(3, 1);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *button : { cmdNext, cmdReplace, cmdRepAll, cmdClose })
        buttons->addWidget(button);
    buttons->addStretch();

    auto *form = new QHBoxLayout(this);
    form->addLayout(fields);
    form->addLayout(buttons);
    form->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(txtSearchWord, txtReplaceWord);
    setTabOrder(txtReplaceWord, optDirection[0]);
    setTabOrder(optDirection[0], optDirection[1]);
    setTabOrder(optDirection[1], cmdNext);
    setTabOrder(cmdNext, cmdReplace);
    setTabOrder(cmdReplace, cmdRepAll);
    setTabOrder(cmdRepAll, cmdClose);

    connect(txtSearchWord, &QLineEdit::textChanged, this, &frmFinder::txtSearchWord_Change);
    connect(txtReplaceWord, &QLineEdit::textChanged, this, &frmFinder::txtReplaceWord_Change);
    connect(cmdNext, &QPushButton::clicked, this, &frmFinder::cmdNext_Click);
    connect(cmdReplace, &QPushButton::clicked, this, &frmFinder::cmdReplace_Click);
    connect(cmdRepAll, &QPushButton::clicked, this, &frmFinder::cmdRepAll_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmFinder::cmdClose_Click);
}

void frmFinder::Form_Load()
{
    m_blnReplaceMode = modPublic::blnReplaceMode != 0;
    setWindowTitle(m_blnReplaceMode ? QStringLiteral("置換") : QStringLiteral("検索"));
    labReplace->setVisible(m_blnReplaceMode);
    txtReplaceWord->setVisible(m_blnReplaceMode);
    cmdReplace->setVisible(m_blnReplaceMode);
    cmdRepAll->setVisible(m_blnReplaceMode);
    framDirection->setVisible(!m_blnReplaceMode);
}

QPlainTextEdit *frmFinder::ActiveBox() const
{
    return m_activeBox ? m_activeBox() : nullptr;
}

void frmFinder::txtSearchWord_Change()
{
    cmdNext->setEnabled(!txtSearchWord->text().isEmpty());
}

void frmFinder::txtReplaceWord_Change()
{
    const bool hasReplacement = !txtReplaceWord->text().isEmpty();
    cmdReplace->setEnabled(hasReplacement);
    cmdRepAll->setEnabled(hasReplacement);
}

// Down looks after the selection, up wholly before it; in replace mode the hidden option keeps
// Down, so Find next searches down.
void frmFinder::cmdNext_Click()
{
    QPlainTextEdit *box = ActiveBox();
    if (!box)
        return;
    const QTextCursor selection = box->textCursor();
    const QString word = txtSearchWord->text();
    const QString text = BoxText(*box);
    const qsizetype p = optDirection[0]->isChecked() ? finder::FindDown(text, word, selection.selectionEnd())
                                                     : finder::FindUp(text, word, selection.selectionStart());
    if (p < 0)
        return platform::ShowInformation(this, NOT_FOUND);
    SelectSpan(*box, p, word.size());
}

// Replaces the first occurrence after the selection, never the selection itself, and leaves
// the caret after the inserted text.
void frmFinder::cmdReplace_Click()
{
    QPlainTextEdit *box = ActiveBox();
    if (!box)
        return;
    const QString word = txtSearchWord->text();
    const qsizetype p = finder::FindDown(BoxText(*box), word, box->textCursor().selectionEnd());
    if (p < 0)
        return platform::ShowInformation(this, NOT_FOUND);
    SelectSpan(*box, p, word.size());
    box->insertPlainText(txtReplaceWord->text());
}

// One pass over the whole text, applied as one edit so that the box's own undo brings the
// previous text back.
void frmFinder::cmdRepAll_Click()
{
    QPlainTextEdit *box = ActiveBox();
    if (!box)
        return;
    const QString word = txtSearchWord->text();
    const QString replacement = txtReplaceWord->text();
    if (word.isEmpty())
        return platform::ShowInformation(this, NOT_FOUND);
    if (!platform::AskYesNo(this, finder::ReplaceAllQuestion(word, replacement)))
        return;
    const finder::ReplaceSpan span = finder::ReplaceAllSpan(BoxText(*box), word, replacement);
    if (span.count > 0) {
        QTextCursor edit(box->document());
        edit.beginEditBlock();
        edit.setPosition(int(span.start));
        edit.setPosition(int(span.start + span.removed), QTextCursor::KeepAnchor);
        edit.insertText(span.inserted);
        edit.endEditBlock();
        // The box holds a new text: the caret goes to its start, the old selection is gone.
        box->setTextCursor(QTextCursor(box->document()));
    }
    platform::ShowInformation(this, QStringLiteral("一括置換を完了しました。"));
}

void frmFinder::cmdClose_Click()
{
    close();
}
