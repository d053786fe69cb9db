// Find and replace: the search rules over plain text, and the dialog applying them to the
// active editing box.

#include "dialogs/finder/frmFinder.h"
#include "dialogs/finder/textsearch.h"
#include "dialogs/placed.h"
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
#include <QRegularExpression>
#include <QTest>

using platform::MsgAnswer;

namespace {
const QString NOT_FOUND = QStringLiteral("一致する文字列はありません。");
}

class tst_Finder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();
    void find_data();
    void find();
    void replaceAll_data();
    void replaceAll();
    void modeFixedAtLoad_data();
    void modeFixedAtLoad();
    void findNextAndReplace_data();
    void findNextAndReplace();
    void replaceAllInTheBox_data();
    void replaceAllInTheBox();

private:
    void open(qint32 mode, const QString &word, const QString &replacement = {});
    template <typename T> T *control(const char *name) { return m_finder->findChild<T *>(QLatin1String(name)); }
    void click(const char *name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

    std::unique_ptr<QPlainTextEdit> m_box;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    QPointer<frmFinder> m_finder;
};

void tst_Finder::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    m_box = std::make_unique<QPlainTextEdit>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
}

void tst_Finder::cleanup()
{
    delete m_finder.data();
    m_dialogs.reset();
    m_box.reset();
}

// Opens the dialog on m_box and types the words; the buttons follow their own texts only.
void tst_Finder::open(qint32 mode, const QString &word, const QString &replacement)
{
    modPublic::blnReplaceMode = mode;
    m_finder = new frmFinder([this] { return m_box.get(); });
    modPublic::blnReplaceMode = 1 - mode; // read once, at load
    QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
    m_finder->show();
    QCOMPARE(dialogtest::Unplaced(m_finder), QString());
    testsupport::typeText(control<QLineEdit>("txtReplaceWord"), replacement);
    QCOMPARE(control<QPushButton>("cmdNext")->isEnabled(), false);
    testsupport::typeText(control<QLineEdit>("txtSearchWord"), word);
    QCOMPARE(control<QPushButton>("cmdNext")->isEnabled(), !word.isEmpty());
    QCOMPARE(control<QPushButton>("cmdRepAll")->isEnabled(), !replacement.isEmpty());
    QCOMPARE(control<QPushButton>("cmdReplace")->isEnabled(), !replacement.isEmpty());
}

void tst_Finder::find_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<qsizetype>("from"); // down: the selection's end; up: its start
    QTest::addColumn<qsizetype>("expected");
    const auto row = [](const char *name, bool up, const char *text, const char *word, qsizetype from,
                         qsizetype expected) { QTest::newRow(name) << up << text << word << from << expected; };
    row("down: first occurrence", false, "xabcabc", "abc", 0, 1);
    row("down: straddling from is skipped", false, "abcabc", "abc", 1, 3);
    row("down: at the end, no wrap", false, "abcabc", "abc", 6, -1);
    row("down: case significant", false, "ABC abc", "abc", 0, 4);
    row("down: width significant", false, "ａｂc ab", "ab", 0, 4);
    row("down: empty word", false, "abc", "", 0, -1);
    row("up: ends exactly at from", true, "xabcY", "abc", 4, 1);
    row("up: ending one past from", true, "xabcY", "abc", 3, -1);
    row("up: last of several", true, "abcabcabc", "abc", 9, 6);
    row("up: longer than what lies before", true, "abcabc", "abcabc", 5, -1);
    row("up: from past the end", true, "abc", "bc", 40, 1);
}

// Down: the first occurrence beginning at or after the selection's end; up: the last lying
// wholly before its start; never wrapping, case and width significant.
void tst_Finder::find()
{
    QFETCH(bool, up);
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(qsizetype, from);
    QFETCH(qsizetype, expected);
    QCOMPARE(up ? finder::FindUp(text, word, from) : finder::FindDown(text, word, from), expected);
}

void tst_Finder::replaceAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("single pass") << "xaa-a"
                                 << "a"
                                 << "aa"
                                 << "xaaaa-aa";
    QTest::newRow("no overlap") << "aaa"
                                << "aa"
                                << "b"
                                << "ba";
    QTest::newRow("at both ends") << "ab-ab"
                                  << "ab"
                                  << "Z"
                                  << "Z-Z";
    QTest::newRow("nothing found") << "abc"
                                   << "x"
                                   << "y"
                                   << "abc";
    QTest::newRow("empty word") << "abc"
                                << ""
                                << "y"
                                << "abc";
}

// Replace all scans once from start to end and does not search what it inserted.
void tst_Finder::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    QCOMPARE(finder::ReplaceAll(text, word, replacement), expected);
}

void tst_Finder::modeFixedAtLoad_data()
{
    QTest::addColumn<qint32>("mode");
    QTest::addColumn<bool>("replace");
    QTest::newRow("0 is find") << 0 << false;
    QTest::newRow("1 is replace") << 1 << true;
    QTest::newRow("any other value is replace") << -7 << true;
}

// The mode, read when the dialog opens, shows the replace controls or the direction.
void tst_Finder::modeFixedAtLoad()
{
    QFETCH(qint32, mode);
    QFETCH(bool, replace);
    open(mode, QString());
    QCOMPARE(m_finder->windowTitle(), replace ? QStringLiteral("置換") : QStringLiteral("検索"));
    for (const char *name : { "labReplace", "txtReplaceWord", "cmdReplace", "cmdRepAll" })
        QCOMPARE(control<QWidget>(name)->isVisible(), replace);
    QCOMPARE(control<QGroupBox>("framDirection")->isVisible(), !replace);
    QVERIFY(control<QRadioButton>("optDirection0")->isChecked());
    click("cmdClose");
    QTRY_VERIFY(m_finder.isNull()); // gone, so the next opening starts afresh
}

void tst_Finder::findNextAndReplace_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selEnd");
    QTest::addColumn<QString>("after"); // the box's text afterwards
    QTest::addColumn<int>("found"); // where the selection or caret ends up; -1: not found
    QTest::newRow("down after the selection") << "cmdNext" << false << "ab ab ab" << 0 << 2 << "ab ab ab" << 3;
    QTest::newRow("down, across a line") << "cmdNext" << false << "x\nab" << 0 << 0 << "x\nab" << 2;
    QTest::newRow("down, no wrap") << "cmdNext" << false << "ab ab" << 3 << 5 << "ab ab" << -1;
    QTest::newRow("up, wholly before") << "cmdNext" << true << "abab" << 2 << 4 << "abab" << 0;
    QTest::newRow("up, none before") << "cmdNext" << true << "abab" << 0 << 2 << "abab" << -1;
    QTest::newRow("replace skips the selection") << "cmdReplace" << false << "ab ab ab" << 0 << 2 << "ab 置 ab" << 4;
    QTest::newRow("replace, none after") << "cmdReplace" << false << "ab ab" << 3 << 5 << "ab ab" << -1;
}

// Find next selects the occurrence in the chosen direction; Replace replaces the next one
// after the selection, never the selection itself, and leaves the caret after it. Nothing
// found: the message, and the selection stays.
void tst_Finder::findNextAndReplace()
{
    QFETCH(QString, button);
    QFETCH(bool, up);
    QFETCH(QString, text);
    QFETCH(int, selStart);
    QFETCH(int, selEnd);
    QFETCH(QString, after);
    QFETCH(int, found);
    m_box->setPlainText(text);
    QTextCursor cursor = m_box->textCursor();
    cursor.setPosition(selStart);
    cursor.setPosition(selEnd, QTextCursor::KeepAnchor);
    m_box->setTextCursor(cursor);
    open(button == QLatin1String("cmdReplace") ? 1 : 0, QStringLiteral("ab"), QStringLiteral("置"));
    control<QRadioButton>(up ? "optDirection1" : "optDirection0")->setChecked(true);
    if (found < 0)
        m_dialogs->answerMessage(MsgAnswer::OK);
    if (button == QLatin1String("cmdNext"))
        QTest::keyClick(m_finder, Qt::Key_Return); // Find next is the default button
    else
        click(qPrintable(button));
    QCOMPARE(m_dialogs->messageTexts(), found < 0 ? QStringList { NOT_FOUND } : QStringList {});
    QCOMPARE(m_box->toPlainText(), after);
    const QTextCursor now = m_box->textCursor();
    QCOMPARE(now.selectionStart(), found < 0 ? selStart : found);
    QCOMPARE(now.selectedText(), found < 0 ? text.mid(selStart, selEnd - selStart) : after == text ? "ab" : "");
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

// Replace all asks first, then changes the whole text in one edit of the active box: one
// Ctrl+Z brings the text back, and the typing before it stays.
void tst_Finder::replaceAllInTheBox()
{
    QFETCH(QString, word);
    QFETCH(QList<MsgAnswer>, answers);
    QFETCH(QStringList, messages);
    QFETCH(QString, after);
    QPlainTextEdit other;
    m_box->setPlainText(QStringLiteral("猫と犬\n猫"));
    m_box->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_box.get(), "!");
    QPlainTextEdit *active = &other;
    m_finder = new frmFinder([&active] { return active; }); // the box active at the click counts
    testsupport::typeText(m_finder->findChild<QLineEdit *>("txtSearchWord"), word);
    testsupport::typeText(m_finder->findChild<QLineEdit *>("txtReplaceWord"), QStringLiteral("ねこ"));
    active = m_box.get();
    for (MsgAnswer answer : answers)
        m_dialogs->answerMessage(answer);
    click("cmdRepAll");
    QCOMPARE(m_dialogs->messageTexts(), messages);
    QCOMPARE(m_box->toPlainText(), after);
    QCOMPARE(m_box->textCursor().position(), messages.size() == 2 ? 0 : 6); // a new text starts at its start
    QTest::keyClick(m_box.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_box->toPlainText(), messages.size() == 2 ? QStringLiteral("猫と犬\n猫!") : QStringLiteral("猫と犬\n猫"));
}

QTEST_MAIN(tst_Finder)
#include "tst_finder.moc"
