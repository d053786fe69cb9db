#include "dialogs/finder/textsearch.h"
#include "support/fakeplatform.h"

#include <QTest>

using namespace finder;

class TestTextSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }

    void find_data();
    void find();
    void replaceAll_data();
    void replaceAll();
    void replaceAllSpanCoversOnlyTheChangedPart();
};

void TestTextSearch::find_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<qsizetype>("from");   // down: the selection's end; up: its start
    QTest::addColumn<qsizetype>("expected");
    const auto row = [](const char *name, bool up, const QString &text, const QString &word, qsizetype from,
                         qsizetype expected) { QTest::newRow(name) << up << text << word << from << expected; };
    row("down: first occurrence", false, "xabcabc", "abc", 0, 1);
    row("down: occurrence starting at from", false, "abcabc", "abc", 3, 3);
    row("down: occurrence straddling from is skipped", false, "abcabc", "abc", 1, 3);
    row("down: caret at the end, no wrap", false, "abcabc", "abc", 6, -1);
    row("down: after the last, no wrap", false, "abcabc", "abc", 4, -1);
    row("down: second of two adjacent selected", false, "abab", "ab", 4, -1);
    row("down: capitals do not match small letters", false, "ABC abc", "ABC", 1, -1);
    row("down: small letters skip capitals", false, "ABC abc", "abc", 0, 4);
    row("down: half-width does not match full-width", false, "ａｂｃ", "abc", 0, -1);
    row("down: full-width does not match half-width", false, "abcａｂｃ", "ａｂ", 0, 3);
    row("down: katakana widths differ", false, "ｶﾀｶﾅ カタカナ", "カナ", 0, 7);
    row("down: across a line break", false, "ab\ncd", "b\nc", 0, 1);
    row("down: empty word finds nothing", false, "abc", "", 0, -1);
    row("down: empty text", false, "", "a", 0, -1);
    row("down: from past the end", false, "abc", "c", 9, -1);
    row("up: ends exactly at the selection start", true, "xabcY", "abc", 4, 1);
    row("up: ending one past the selection start", true, "xabcY", "abc", 3, -1);
    row("up: caret at 0", true, "abcabc", "abc", 0, -1);
    row("up: last of several", true, "abcabcabc", "abc", 9, 6);
    row("up: last wholly before", true, "abcabcabc", "abc", 8, 3);
    row("up: second of two adjacent selected", true, "abab", "ab", 2, 0);
    row("up: word longer than what lies before", true, "abcabc", "abcabc", 5, -1);
    row("up: capitals do not match small letters", true, "abc ABC", "abc", 7, 0);
    row("up: half-width does not match full-width", true, "ａｂ", "ab", 2, -1);
    row("up: end past the text is its end", true, "abc", "bc", 40, 1);
    row("up: empty word finds nothing", true, "abc", "", 3, -1);
}

// Find next down: the first occurrence that begins at or after the end of the selection; up:
// the last lying wholly before the selection; never wrapping, case and width significant.
void TestTextSearch::find()
{
    QFETCH(bool, up);
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(qsizetype, from);
    QFETCH(qsizetype, expected);
    QCOMPARE(up ? FindUp(text, word, from) : FindDown(text, word, from), expected);
}

void TestTextSearch::replaceAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qsizetype>("count");
    QTest::newRow("a by aa, single pass") << "aaa" << "a" << "aa" << "aaaaaa" << qsizetype(3);
    QTest::newRow("replacement holding the word") << "xay" << "a" << "bab" << "xbaby" << qsizetype(1);
    QTest::newRow("occurrences do not overlap") << "aaa" << "aa" << "b" << "ba" << qsizetype(1);
    QTest::newRow("adjacent occurrences") << "aaaa" << "aa" << "b" << "bb" << qsizetype(2);
    QTest::newRow("at both ends") << "ab-ab" << "ab" << "Z" << "Z-Z" << qsizetype(2);
    QTest::newRow("case is significant") << "Aa" << "a" << "b" << "Ab" << qsizetype(1);
    QTest::newRow("width is significant") << "ａa" << "a" << "b" << "ａb" << qsizetype(1);
    QTest::newRow("Japanese") << "東京と京都" << "京" << "きょう" << "東きょうときょう都" << qsizetype(2);
    QTest::newRow("across lines") << "a\nb\na" << "a" << "cc" << "cc\nb\ncc" << qsizetype(2);
    QTest::newRow("nothing found") << "abc" << "x" << "y" << "abc" << qsizetype(0);
    QTest::newRow("empty word replaces nothing") << "abc" << "" << "y" << "abc" << qsizetype(0);
    QTest::newRow("empty text") << "" << "a" << "b" << "" << qsizetype(0);
}

// Replace all scans once from start to end and does not search what it inserted.
void TestTextSearch::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    QFETCH(qsizetype, count);
    QCOMPARE(ReplaceAll(text, word, replacement), expected);
    QCOMPARE(ReplaceAllSpan(text, word, replacement).count, count);
}

// The editing box rewrites only from the first occurrence to the end of the last one.
void TestTextSearch::replaceAllSpanCoversOnlyTheChangedPart()
{
    const ReplaceSpan span = ReplaceAllSpan(u"xxaYYaZZ", u"a", u"bb");
    QCOMPARE(span.start, qsizetype(2));
    QCOMPARE(span.removed, qsizetype(4));
    QCOMPARE(span.inserted, QStringLiteral("bbYYbb"));
}

QTEST_GUILESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
