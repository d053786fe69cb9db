#include "dialogs/finder/textsearch.h"
#include "support/fakeplatform.h"

#include <QTest>

using namespace finder;

class TestTextSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }

    void findDown_data();
    void findDown();
    void findUp_data();
    void findUp();
    void replaceAll_data();
    void replaceAll();
    void replaceAllSpanCoversOnlyTheChangedPart();
    void replaceAllQuestion();
};

void TestTextSearch::findDown_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<qsizetype>("expected");

    QTest::newRow("first occurrence") << "xabcabc" << "abc" << qsizetype(0) << qsizetype(1);
    QTest::newRow("occurrence starting at from") << "abcabc" << "abc" << qsizetype(3) << qsizetype(3);
    QTest::newRow("occurrence straddling from is skipped") << "abcabc" << "abc" << qsizetype(1) << qsizetype(3);
    QTest::newRow("caret at the end, no wrap") << "abcabc" << "abc" << qsizetype(6) << qsizetype(-1);
    QTest::newRow("after the last, no wrap") << "abcabc" << "abc" << qsizetype(4) << qsizetype(-1);
    QTest::newRow("second of two adjacent selected") << "abab" << "ab" << qsizetype(4) << qsizetype(-1);
    QTest::newRow("capitals do not match small letters") << "ABC abc" << "ABC" << qsizetype(1) << qsizetype(-1);
    QTest::newRow("small letters skip capitals") << "ABC abc" << "abc" << qsizetype(0) << qsizetype(4);
    QTest::newRow("half-width does not match full-width") << "ａｂｃ" << "abc" << qsizetype(0) << qsizetype(-1);
    QTest::newRow("full-width does not match half-width") << "abcａｂｃ" << "ａｂ" << qsizetype(0) << qsizetype(3);
    QTest::newRow("katakana widths differ") << "ｶﾀｶﾅ カタカナ" << "カナ" << qsizetype(0) << qsizetype(7);
    QTest::newRow("across a line break") << "ab\ncd" << "b\nc" << qsizetype(0) << qsizetype(1);
    QTest::newRow("empty word finds nothing") << "abc" << "" << qsizetype(0) << qsizetype(-1);
    QTest::newRow("empty text") << "" << "a" << qsizetype(0) << qsizetype(-1);
    QTest::newRow("from past the end") << "abc" << "c" << qsizetype(9) << qsizetype(-1);
}

// Find next down: the first occurrence that begins at or after the end of the selection.
void TestTextSearch::findDown()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(qsizetype, from);
    QFETCH(qsizetype, expected);
    QCOMPARE(FindDown(text, word, from), expected);
}

void TestTextSearch::findUp_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    QTest::addColumn<qsizetype>("end");
    QTest::addColumn<qsizetype>("expected");

    QTest::newRow("ends exactly at the selection start") << "xabcY" << "abc" << qsizetype(4) << qsizetype(1);
    QTest::newRow("ending one past the selection start") << "xabcY" << "abc" << qsizetype(3) << qsizetype(-1);
    QTest::newRow("caret at 0") << "abcabc" << "abc" << qsizetype(0) << qsizetype(-1);
    QTest::newRow("last of several") << "abcabcabc" << "abc" << qsizetype(9) << qsizetype(6);
    QTest::newRow("last wholly before") << "abcabcabc" << "abc" << qsizetype(8) << qsizetype(3);
    QTest::newRow("second of two adjacent selected") << "abab" << "ab" << qsizetype(2) << qsizetype(0);
    QTest::newRow("word longer than what lies before") << "abcabc" << "abcabc" << qsizetype(5) << qsizetype(-1);
    QTest::newRow("capitals do not match small letters") << "abc ABC" << "abc" << qsizetype(7) << qsizetype(0);
    QTest::newRow("half-width does not match full-width") << "ａｂ" << "ab" << qsizetype(2) << qsizetype(-1);
    QTest::newRow("end past the text is its end") << "abc" << "bc" << qsizetype(40) << qsizetype(1);
    QTest::newRow("empty word finds nothing") << "abc" << "" << qsizetype(3) << qsizetype(-1);
}

// Find next up: the last occurrence lying wholly before the selection, never wrapping.
void TestTextSearch::findUp()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    QFETCH(qsizetype, end);
    QFETCH(qsizetype, expected);
    QCOMPARE(FindUp(text, word, end), expected);
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

// The question before Replace all: question, blank line, search text, arrow, replacement.
void TestTextSearch::replaceAllQuestion()
{
    QCOMPARE(ReplaceAllQuestion(QStringLiteral("猫"), QStringLiteral("ねこ")).toUtf8(),
             QByteArray("\xE4\xBB\xA5\xE4\xB8\x8B\xE3\x81\xAE\xE4\xB8\x80\xE6\x8B\xAC\xE7\xBD\xAE\xE6\x8F\x9B"
                        "\xE3\x82\x92\xE5\xAE\x9F\xE8\xA1\x8C\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x81\x8B"
                        "\xEF\xBC\x9F\r\n\r\n\xE7\x8C\xAB\r\n\xE2\x86\x93\r\n\xE3\x81\xAD\xE3\x81\x93"));
}

QTEST_GUILESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
