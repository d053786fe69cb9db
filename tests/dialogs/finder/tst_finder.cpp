// Find and replace: the search rules over plain text, and the dialog applying them to the
// active editing box.

#include "dialogs/finder/frmFinder.h"
#include "dialogs/finder/textsearch.h"
#include "dialogs/placed.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/keyboard.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

using platform::MsgAnswer;

namespace {

const QString NOT_FOUND = QStringLiteral("一致する文字列はありません。");

struct Find {
    const char *name, *text, *word;
    bool up;
    qsizetype from, expected; // from: down, the selection's end; up, its start
};
const Find kFinds[] = {
    { "down: first occurrence", "xabcabc", "abc", false, 0, 1 },
    { "down: straddling from is skipped", "abcabc", "abc", false, 1, 3 },
    { "down: at the end, no wrap", "abcabc", "abc", false, 6, -1 },
    { "down: case significant", "ABC abc", "abc", false, 0, 4 },
    { "down: width significant", "ａｂc ab", "ab", false, 0, 4 },
    { "down: empty word", "abc", "", false, 0, -1 },
    { "up: ends exactly at from", "xabcY", "abc", true, 4, 1 },
    { "up: ending one past from", "xabcY", "abc", true, 3, -1 },
    { "up: last of several", "abcabcabc", "abc", true, 9, 6 },
    { "up: longer than what lies before", "abcabc", "abcabc", true, 5, -1 },
    { "up: from past the end", "abc", "bc", true, 40, 1 },
    { "up: empty word", "abc", "", true, 3, -1 },
};

struct Replace {
    const char *name, *text, *word, *replacement, *expected;
};
const Replace kReplaces[] = {
    { "single pass", "xaa-a", "a", "aa", "xaaaa-aa" },
    { "no overlap", "aaa", "aa", "b", "ba" },
    { "at both ends", "ab-ab", "ab", "Z", "Z-Z" },
    { "nothing found", "abc", "x", "y", "abc" },
    { "empty word", "abc", "", "y", "abc" },
};

// A button pressed on "ab" in the active box, the selection first at selStart..selEnd.
struct Press {
    const char *name, *button;
    bool up;
    const char *text;
    int selStart, selEnd;
    const char *after; // the box's text afterwards
    int found; // where the selection or caret ends up; -1: not found
};
const Press kPresses[] = {
    { "next, down after the selection", "cmdNext", false, "ab ab ab", 0, 2, "ab ab ab", 3 },
    { "next, up wholly before", "cmdNext", true, "abab", 2, 4, "abab", 0 },
    { "next, none", "cmdNext", false, "ab ab", 3, 5, "ab ab", -1 },
    { "replace skips the selection", "cmdReplace", false, "ab ab ab", 0, 2, "ab 置 ab", 4 },
    { "replace, none after", "cmdReplace", false, "ab ab", 3, 5, "ab ab", -1 },
};

} // namespace

class tst_Finder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cleanup() { delete m_finder.data(); }
    void rules();
    void buttons_data();
    void buttons();
    void replaceAllInTheBox_data();
    void replaceAllInTheBox();

private:
    void open(qint32 mode, const QString &word);
    template <typename T> T *control(const char *name) { return m_finder->findChild<T *>(QLatin1String(name)); }

    QPlainTextEdit m_box;
    QPointer<frmFinder> m_finder;
};

// Down: the first occurrence beginning at or after the selection's end; up: the last lying
// wholly before its start; never wrapping, case and width significant. Replace all scans once
// from start to end and does not search what it inserted.
void tst_Finder::rules()
{
    for (const Find &f : kFinds) {
        const QString text = QString::fromUtf8(f.text);
        const QString word = QString::fromUtf8(f.word);
        const qsizetype at = f.up ? finder::FindUp(text, word, f.from) : finder::FindDown(text, word, f.from);
        QVERIFY2(at == f.expected, f.name);
    }
    for (const Replace &r : kReplaces)
        QVERIFY2(
            finder::ReplaceAll(QString::fromUtf8(r.text), QString::fromUtf8(r.word), QString::fromUtf8(r.replacement))
                == QString::fromUtf8(r.expected),
            r.name);
}

// Opens the dialog on m_box with the mode read once at load, and types the words: each button
// follows its own field.
void tst_Finder::open(qint32 mode, const QString &word)
{
    modPublic::blnReplaceMode = mode;
    m_finder = new frmFinder([this] { return &m_box; });
    modPublic::blnReplaceMode = 1 - mode;
    m_finder->show();
    QCOMPARE(m_finder->windowTitle(), mode ? QStringLiteral("置換") : QStringLiteral("検索"));
    for (const char *name : { "labReplace", "txtReplaceWord", "cmdReplace", "cmdRepAll" })
        QCOMPARE(control<QWidget>(name)->isVisible(), mode == 1);
    QCOMPARE(control<QWidget>("framDirection")->isVisible(), mode == 0);
    QCOMPARE(dialogtest::Unplaced(m_finder), QString());
    testsupport::typeText(control<QLineEdit>("txtReplaceWord"), QStringLiteral("置"));
    QVERIFY(control<QPushButton>("cmdRepAll")->isEnabled() && control<QPushButton>("cmdReplace")->isEnabled());
    QVERIFY(!control<QPushButton>("cmdNext")->isEnabled());
    testsupport::typeText(control<QLineEdit>("txtSearchWord"), word);
    QVERIFY(control<QPushButton>("cmdNext")->isEnabled());
}

void tst_Finder::buttons_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(kPresses)); ++row)
        QTest::newRow(kPresses[row].name) << row;
}

// Find next selects the occurrence in the chosen direction; Replace replaces the next one
// after the selection, never the selection itself, and leaves the caret after it. Nothing
// found: the message, and the selection stays. Close ends the dialog for good.
void tst_Finder::buttons()
{
    QFETCH(int, row);
    const Press &p = kPresses[row];
    const QString text = QString::fromUtf8(p.text);
    m_box.setPlainText(text);
    QTextCursor cursor = m_box.textCursor();
    cursor.setPosition(p.selStart);
    cursor.setPosition(p.selEnd, QTextCursor::KeepAnchor);
    m_box.setTextCursor(cursor);
    const bool next = QLatin1String(p.button) == QLatin1String("cmdNext");
    open(next ? 0 : 1, QStringLiteral("ab"));
    control<QRadioButton>(p.up ? "optDirection1" : "optDirection0")->setChecked(true);
    testsupport::FakeDialogs dialogs;
    if (p.found < 0)
        dialogs.answerMessage(MsgAnswer::OK);
    if (next)
        QTest::keyClick(m_finder, Qt::Key_Return); // Find next is the default button
    else
        QTest::mouseClick(control<QPushButton>(p.button), Qt::LeftButton);
    QCOMPARE(dialogs.messageTexts(), p.found < 0 ? QStringList { NOT_FOUND } : QStringList {});
    QCOMPARE(m_box.toPlainText(), QString::fromUtf8(p.after));
    QCOMPARE(m_box.textCursor().selectionStart(), p.found < 0 ? p.selStart : p.found);
    QCOMPARE(m_box.textCursor().selectedText(),
        p.found < 0 ? text.mid(p.selStart, p.selEnd - p.selStart)
            : next  ? "ab"
                    : "");
    QTest::mouseClick(control<QPushButton>("cmdClose"), Qt::LeftButton);
    QTRY_VERIFY(m_finder.isNull());
}

void tst_Finder::replaceAllInTheBox_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QList<MsgAnswer>>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("after");
    const QString question = QStringLiteral("以下の一括置換を実行しますか？\r\n\r\n猫\r\n↓\r\nねこ");
    QTest::newRow("yes") << "猫" << QList<MsgAnswer> { MsgAnswer::Yes, MsgAnswer::OK }
                         << QStringList { question, "一括置換を完了しました。" } << "ねこと犬\nねこ!";
    QTest::newRow("no") << "猫" << QList<MsgAnswer> { MsgAnswer::No } << QStringList { question } << "猫と犬\n猫!";
    QTest::newRow("empty word") << "" << QList<MsgAnswer> { MsgAnswer::OK } << QStringList { NOT_FOUND }
                                << "猫と犬\n猫!";
}

// Replace all asks first, then changes the whole text in one edit of the box active at the
// click: one Ctrl+Z brings the text back, and the typing before it stays.
void tst_Finder::replaceAllInTheBox()
{
    QFETCH(QString, word);
    QFETCH(QList<MsgAnswer>, answers);
    QFETCH(QStringList, messages);
    QFETCH(QString, after);
    testsupport::FakeDialogs dialogs;
    QPlainTextEdit other;
    m_box.setPlainText(QStringLiteral("猫と犬\n猫"));
    m_box.moveCursor(QTextCursor::End);
    QTest::keyClicks(&m_box, "!");
    QPlainTextEdit *active = &other;
    m_finder = new frmFinder([&active] { return active; });
    testsupport::typeText(control<QLineEdit>("txtSearchWord"), word);
    testsupport::typeText(control<QLineEdit>("txtReplaceWord"), QStringLiteral("ねこ"));
    active = &m_box;
    for (MsgAnswer answer : answers)
        dialogs.answerMessage(answer);
    QTest::mouseClick(control<QPushButton>("cmdRepAll"), Qt::LeftButton);
    QCOMPARE(dialogs.messageTexts(), messages);
    QCOMPARE(m_box.toPlainText(), after);
    QCOMPARE(m_box.textCursor().position(), messages.size() == 2 ? 0 : 6); // a new text starts at its start
    QTest::keyClick(&m_box, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_box.toPlainText(), messages.size() == 2 ? QStringLiteral("猫と犬\n猫!") : QStringLiteral("猫と犬\n猫"));
}

QTEST_MAIN(tst_Finder)
#include "tst_finder.moc"
