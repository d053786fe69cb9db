#include "dialogs/finder/frmFinder.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/keyboard.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using platform::MsgAnswer;

namespace {
const QString NOT_FOUND = QStringLiteral("一致する文字列はありません。");
const QString DONE = QStringLiteral("一括置換を完了しました。");
}

class TestFrmFinder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();

    void modeFixedAtLoad_data();
    void modeFixedAtLoad();
    void buttonsFollowTheirTexts();
    void findNext_data();
    void findNext();
    void findNextMatchesExactlyWhatTheBoxHolds();
    void findNextUsesTheBoxActiveAtTheClick();
    void replaceSkipsTheSelectedOccurrence();
    void replaceWithoutFollowingOccurrence();
    void replaceAll_data();
    void replaceAll();
    void replaceAllIsUndoneByOneCtrlZ();
    void emptySearchTextReplacesNothing();
    void closeDestroysTheDialog();

private:
    frmFinder *open(qint32 mode);
    template<typename T> T *control(const char *name) { return m_finder->findChild<T *>(QLatin1String(name)); }
    void click(const char *name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }
    void type(const char *field, const QString &text);
    void setSelection(int start, int end);

    std::unique_ptr<QPlainTextEdit> m_box;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    QPointer<frmFinder> m_finder;
};

void TestFrmFinder::init()
{
    m_box = std::make_unique<QPlainTextEdit>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
}

void TestFrmFinder::cleanup()
{
    delete m_finder.data();
    QVERIFY2(m_dialogs->unexpected.isEmpty(), qPrintable(m_dialogs->unexpected.join(u'\n')));
    QVERIFY(m_dialogs->allAnswersUsed());
    m_dialogs.reset();
    m_box.reset();
    modPublic::blnReplaceMode = 0;
}

frmFinder *TestFrmFinder::open(qint32 mode)
{
    modPublic::blnReplaceMode = mode;
    QPlainTextEdit *box = m_box.get();
    m_finder = new frmFinder([box] { return box; });
    m_finder->show();
    return m_finder;
}

void TestFrmFinder::type(const char *field, const QString &text)
{
    testsupport::typeText(control<QLineEdit>(field), text);
}

void TestFrmFinder::setSelection(int start, int end)
{
    QTextCursor cursor = m_box->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    m_box->setTextCursor(cursor);
}

void TestFrmFinder::modeFixedAtLoad_data()
{
    QTest::addColumn<qint32>("mode");
    QTest::addColumn<bool>("replace");
    QTest::newRow("0 is find") << 0 << false;
    QTest::newRow("1 is replace") << 1 << true;
    QTest::newRow("any other value is replace") << -7 << true;
}

// The mode is read once at load; later changes to the module value do not affect the dialog.
void TestFrmFinder::modeFixedAtLoad()
{
    QFETCH(qint32, mode);
    QFETCH(bool, replace);
    open(mode);
    modPublic::blnReplaceMode = replace ? 0 : 1;
    QCOMPARE(m_finder->windowTitle(), replace ? QStringLiteral("置換") : QStringLiteral("検索"));
    QCOMPARE(m_finder->IsReplaceMode(), replace);
    QCOMPARE(control<QLabel>("labReplace")->isVisible(), replace);
    QCOMPARE(control<QLineEdit>("txtReplaceWord")->isVisible(), replace);
    QCOMPARE(control<QPushButton>("cmdReplace")->isVisible(), replace);
    QCOMPARE(control<QPushButton>("cmdRepAll")->isVisible(), replace);
    QCOMPARE(control<QGroupBox>("framDirection")->isVisible(), !replace);
    QVERIFY(control<QLineEdit>("txtSearchWord")->isVisible());
    QVERIFY(control<QPushButton>("cmdNext")->isDefault());
    QVERIFY(control<QRadioButton>("optDirection0")->isChecked());
}

// Find next follows the search text alone; Replace and Replace all follow the replacement alone.
void TestFrmFinder::buttonsFollowTheirTexts()
{
    open(1);
    auto *next = control<QPushButton>("cmdNext");
    auto *replace = control<QPushButton>("cmdReplace");
    auto *all = control<QPushButton>("cmdRepAll");
    QVERIFY(!next->isEnabled() && !replace->isEnabled() && !all->isEnabled());
    type("txtSearchWord", QStringLiteral("検索"));
    QVERIFY(next->isEnabled());
    QVERIFY(!replace->isEnabled() && !all->isEnabled());
    type("txtReplaceWord", QStringLiteral("x"));
    QVERIFY(replace->isEnabled() && all->isEnabled());
    control<QLineEdit>("txtSearchWord")->clear();
    QVERIFY(!next->isEnabled());
    QVERIFY(replace->isEnabled() && all->isEnabled());
    QTest::keyClick(control<QLineEdit>("txtReplaceWord"), Qt::Key_Backspace);
    QVERIFY(!replace->isEnabled() && !all->isEnabled());
}

void TestFrmFinder::findNext_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<int>("found");   // -1: not found, selection kept

    QTest::newRow("down, caret at the end, no wrap") << "ab ab" << "ab" << false << 5 << 5 << -1;
    QTest::newRow("down, second of two adjacent selected") << "abab" << "ab" << false << 2 << 4 << -1;
    QTest::newRow("up, occurrence ends at the selection start") << "xabcY" << "abc" << true << 4 << 5 << 1;
    QTest::newRow("up, caret at 0") << "abc" << "abc" << true << 0 << 0 << -1;
    QTest::newRow("up, second of two adjacent selected") << "abab" << "ab" << true << 2 << 4 << 0;
    QTest::newRow("half-width does not match full-width") << "ａｂ" << "ab" << false << 0 << 0 << -1;
}

// Find next selects the occurrence in the chosen direction or reports it missing, keeping the selection.
void TestFrmFinder::findNext()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(bool, up);
    QFETCH(int, selStart);
    QFETCH(int, selEnd);
    QFETCH(int, found);
    m_box->setPlainText(text);
    setSelection(selStart, selEnd);
    open(0);
    type("txtSearchWord", word);
    control<QRadioButton>(up ? "optDirection1" : "optDirection0")->setChecked(true);
    click("cmdNext");
    const QTextCursor cursor = m_box->textCursor();
    if (found < 0) {
        QCOMPARE(m_dialogs->messageTexts(), QStringList{NOT_FOUND});
        QCOMPARE(m_dialogs->messages.first().request.icon, platform::MsgIcon::Information);
        QCOMPARE(cursor.selectionStart(), selStart);
        QCOMPARE(cursor.selectionEnd(), selEnd);
    } else {
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(cursor.selectionStart(), found);
        QCOMPARE(cursor.selectionEnd(), found + int(word.size()));
        QCOMPARE(cursor.selectedText(), word);
    }
    QCOMPARE(m_box->toPlainText(), text);
}

// A space does not match a no-break space, and positions after line breaks select the right text.
void TestFrmFinder::findNextMatchesExactlyWhatTheBoxHolds()
{
    m_box->setPlainText(QStringLiteral("a\u00A0b\r\nline a b"));
    open(0);
    type("txtSearchWord", QStringLiteral("a b"));
    click("cmdNext");
    QCOMPARE(m_box->textCursor().selectionStart(), 9);
    QCOMPARE(m_box->textCursor().selectedText(), QStringLiteral("a b"));
    QVERIFY(m_dialogs->messages.isEmpty());
}

// Every operation works on the box that is active when its button is pressed.
void TestFrmFinder::findNextUsesTheBoxActiveAtTheClick()
{
    QPlainTextEdit wrapping, plain;
    wrapping.setPlainText(QStringLiteral("word"));
    plain.setPlainText(QStringLiteral("---word"));
    QPlainTextEdit *active = &wrapping;
    modPublic::blnReplaceMode = 0;
    m_finder = new frmFinder([&active] { return active; });
    type("txtSearchWord", QStringLiteral("word"));
    active = &plain;
    click("cmdNext");
    QCOMPARE(plain.textCursor().selectionStart(), 3);
    QVERIFY(!wrapping.textCursor().hasSelection());
}

// Replace never replaces the current selection: it replaces the next occurrence after it.
void TestFrmFinder::replaceSkipsTheSelectedOccurrence()
{
    m_box->setPlainText(QStringLiteral("ab ab ab"));
    open(1);
    type("txtSearchWord", QStringLiteral("ab"));
    type("txtReplaceWord", QStringLiteral("置"));
    click("cmdNext");
    QCOMPARE(m_box->textCursor().selectionStart(), 0);
    click("cmdReplace");
    QCOMPARE(m_box->toPlainText(), QStringLiteral("ab 置 ab"));
    QVERIFY(!m_box->textCursor().hasSelection());
    QCOMPARE(m_box->textCursor().position(), 4);
    click("cmdReplace");
    QCOMPARE(m_box->toPlainText(), QStringLiteral("ab 置 置"));
    QVERIFY(m_dialogs->messages.isEmpty());
}

// With no occurrence after the selection Replace reports it and changes nothing, even in find direction up.
void TestFrmFinder::replaceWithoutFollowingOccurrence()
{
    m_box->setPlainText(QStringLiteral("ab ab"));
    setSelection(3, 5);
    open(1);
    type("txtSearchWord", QStringLiteral("ab"));
    type("txtReplaceWord", QStringLiteral("x"));
    click("cmdReplace");
    QCOMPARE(m_dialogs->messageTexts(), QStringList{NOT_FOUND});
    QCOMPARE(m_box->toPlainText(), QStringLiteral("ab ab"));
    QCOMPARE(m_box->textCursor().selectionStart(), 3);
}

void TestFrmFinder::replaceAll_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("Yes") << MsgAnswer::Yes;
    QTest::newRow("No") << MsgAnswer::No;
}

// Replace all asks the exact question (No by default); Yes replaces in one pass and says it is
// done, No leaves the text and the selection alone.
void TestFrmFinder::replaceAll()
{
    QFETCH(MsgAnswer, answer);
    m_box->setPlainText(QStringLiteral("a-a\na"));
    setSelection(1, 2);
    open(1);
    type("txtSearchWord", QStringLiteral("a"));
    type("txtReplaceWord", QStringLiteral("aa"));
    m_dialogs->answerMessage(answer);
    click("cmdRepAll");
    const platform::MessageRequest &question = m_dialogs->messages[0].request;
    QCOMPARE(question.text, QStringLiteral("以下の一括置換を実行しますか？\r\n\r\na\r\n↓\r\naa"));
    QCOMPARE(question.icon, platform::MsgIcon::Question);
    QCOMPARE(question.buttons, platform::MsgButtons::YesNo);
    QCOMPARE(question.defaultButton, MsgAnswer::No);
    const bool yes = answer == MsgAnswer::Yes;
    QCOMPARE(m_dialogs->messageTexts().mid(1), yes ? QStringList{DONE} : QStringList{});
    QCOMPARE(m_box->toPlainText(), yes ? QStringLiteral("aa-aa\naa") : QStringLiteral("a-a\na"));
    QCOMPARE(m_box->textCursor().hasSelection(), !yes);
    QCOMPARE(m_box->document()->isModified(), yes);
}

// Replace all is one edit: a single Ctrl+Z in the box restores the text, and typing before it stays.
void TestFrmFinder::replaceAllIsUndoneByOneCtrlZ()
{
    m_box->setPlainText(QStringLiteral("猫と犬\n猫"));
    m_box->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_box.get(), "!");
    const QString before = m_box->toPlainText();
    open(1);
    type("txtSearchWord", QStringLiteral("猫"));
    type("txtReplaceWord", QStringLiteral("ねこ"));
    m_dialogs->answerMessage(MsgAnswer::Yes);
    click("cmdRepAll");
    QCOMPARE(m_box->toPlainText(), QStringLiteral("ねこと犬\nねこ!"));
    QTest::keyClick(m_box.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_box->toPlainText(), before);
    QTest::keyClick(m_box.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_box->toPlainText(), QStringLiteral("猫と犬\n猫"));
}

// With an empty search text Replace and Replace all find nothing and change nothing, asking no question.
void TestFrmFinder::emptySearchTextReplacesNothing()
{
    m_box->setPlainText(QStringLiteral("abc"));
    open(1);
    type("txtReplaceWord", QStringLiteral("x"));
    click("cmdReplace");
    click("cmdRepAll");
    QCOMPARE(m_dialogs->messageTexts(), (QStringList{NOT_FOUND, NOT_FOUND}));
    QCOMPARE(m_box->toPlainText(), QStringLiteral("abc"));
    QVERIFY(!m_box->document()->isUndoAvailable());
}

// Close destroys the dialog, so the next opening starts empty with Down selected.
void TestFrmFinder::closeDestroysTheDialog()
{
    open(0);
    type("txtSearchWord", QStringLiteral("abc"));
    click("cmdClose");
    QTRY_VERIFY(m_finder.isNull());
    open(0);
    QVERIFY(control<QLineEdit>("txtSearchWord")->text().isEmpty());
    QVERIFY(control<QRadioButton>("optDirection0")->isChecked());
}

QTEST_MAIN(TestFrmFinder)
#include "tst_frmFinder.moc"
