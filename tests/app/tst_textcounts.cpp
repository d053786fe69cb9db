#include "app/linebreaks.h"
#include "app/textcounts.h"
#include "support/fakeplatform.h"

#include <QPlainTextDocumentLayout>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using app::LineBreakStyle;

class TestTextCounts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void panelText_data();
    void panelText();
    void lineBreakStyle_data();
    void lineBreakStyle();
    void documentTextKeepsEveryCharacter_data();
    void documentTextKeepsEveryCharacter();
    void incrementalEqualsFullRecount_data();
    void incrementalEqualsFullRecount();
    void wholeDocumentReplaced();
};

// The status bar reads the counts in exactly the program's wording, line breaks and
// characters outside the code page counted as one-byte characters.
void TestTextCounts::panelText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("panel");
    QTest::newRow("empty") << QString() << QStringLiteral("0バイト, 0文字（全角: 0文字, 半角: 0文字）");
    QTest::newRow("one kana, one letter")
        << QStringLiteral("あa") << QStringLiteral("3バイト, 2文字（全角: 1文字, 半角: 1文字）");
    QTest::newRow("CR LF") << QStringLiteral("\r\n") << QStringLiteral("2バイト, 2文字（全角: 0文字, 半角: 2文字）");
    QTest::newRow("LF alone") << QStringLiteral("\n") << QStringLiteral("1バイト, 1文字（全角: 0文字, 半角: 1文字）");
    QTest::newRow("half-width katakana") << QStringLiteral("ｶﾀｶﾅﾞ")
                                         << QStringLiteral("5バイト, 5文字（全角: 0文字, 半角: 5文字）");
    QTest::newRow("kanji and full-width letters")
        << QStringLiteral("漢字ＡＢ") << QStringLiteral("8バイト, 4文字（全角: 4文字, 半角: 0文字）");
    QTest::newRow("outside the code page")
        << QStringLiteral("¥\u00e9") << QStringLiteral("2バイト, 2文字（全角: 0文字, 半角: 2文字）");
    QTest::newRow("surrogate pair") << QStringLiteral("😀")
                                    << QStringLiteral("2バイト, 2文字（全角: 0文字, 半角: 2文字）");
    QTest::newRow("two lines") << QStringLiteral("日本\r\nab")
                               << QStringLiteral("8バイト, 6文字（全角: 2文字, 半角: 4文字）");
}

void TestTextCounts::panelText()
{
    QFETCH(QString, text);
    QFETCH(QString, panel);
    QCOMPARE(app::CountPanelText(app::CountText(text)), panel);
}

// A document keeps LF line breaks only when it has no CR LF at all.
void TestTextCounts::lineBreakStyle_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<LineBreakStyle>("style");
    QTest::newRow("empty") << QString() << LineBreakStyle::CrLf;
    QTest::newRow("one line") << QStringLiteral("abc") << LineBreakStyle::CrLf;
    QTest::newRow("CR LF") << QStringLiteral("a\r\nb\r\n") << LineBreakStyle::CrLf;
    QTest::newRow("LF") << QStringLiteral("a\nb\n") << LineBreakStyle::Lf;
    QTest::newRow("mixed") << QStringLiteral("a\nb\r\nc") << LineBreakStyle::CrLf;
}

void TestTextCounts::lineBreakStyle()
{
    QFETCH(QString, text);
    QFETCH(LineBreakStyle, style);
    QCOMPARE(app::DetectLineBreaks(text), style);
}

// The text that leaves the view is the text that came in: its line breaks and U+00A0 intact.
void TestTextCounts::documentTextKeepsEveryCharacter_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("CR LF") << QStringLiteral("一行目\r\n二行目\r\n");
    QTest::newRow("LF") << QStringLiteral("first\nsecond\n\nfourth");
    QTest::newRow("no-break space") << QStringLiteral("a\u00a0b\r\nc");
    QTest::newRow("tab and blanks") << QStringLiteral("\t x \r\n  ");
    QTest::newRow("empty lines only") << QStringLiteral("\r\n\r\n\r\n");
}

void TestTextCounts::documentTextKeepsEveryCharacter()
{
    QFETCH(QString, text);
    QTextDocument document;
    document.setPlainText(text);
    QCOMPARE(app::TextWithLineBreaks(document.toRawText(), app::DetectLineBreaks(text)), text);
}

namespace {

QString RandomPiece(QRandomGenerator &random)
{
    static const QString alphabet = QStringLiteral("あいう漢字ｶﾅabc ¥😀\n\n");
    QString piece;
    const int length = random.bounded(0, 12);
    for (int i = 0; i < length; ++i)
        piece.append(alphabet.at(random.bounded(alphabet.size())));
    return piece;
}

QString LargeText()
{
    QString text;
    for (int line = 0; line < 4000; ++line)
        text += QStringLiteral("第%1行：ｶﾀｶﾅ and ASCII ですね。\n").arg(line);
    return text;
}

// A large document laid out as the editing box lays it out (a document without a layout reports
// no changes), counted edit by edit.
struct CountedDocument {
    QTextDocument document;
    app::DocumentCounter counter;

    CountedDocument()
    {
        document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
        document.setPlainText(LargeText());
        counter.Reset(document);
        QObject::connect(
            &document, &QTextDocument::contentsChange, &document, [this](int position, int removed, int added) {
                counter.ContentsChange(document, position, removed, added);
            });
    }
};

} // namespace

// Counting edit by edit gives what a full recount of the text gives, after every kind of edit:
// typing, deleting across lines, replacing, undo and redo.
void TestTextCounts::incrementalEqualsFullRecount_data()
{
    QTest::addColumn<LineBreakStyle>("style");
    QTest::newRow("CR LF") << LineBreakStyle::CrLf;
    QTest::newRow("LF") << LineBreakStyle::Lf;
}

void TestTextCounts::incrementalEqualsFullRecount()
{
    QFETCH(LineBreakStyle, style);
    CountedDocument counted;
    QTextDocument &document = counted.document;
    const app::DocumentCounter &counter = counted.counter;

    QRandomGenerator random(20240611);
    for (int edit = 0; edit < 400; ++edit) {
        const int length = document.characterCount() - 1;
        QTextCursor cursor(&document);
        const int start = random.bounded(0, length + 1);
        const int end = std::min(length, start + random.bounded(0, 300));
        switch (random.bounded(5)) {
        case 0: // a keystroke
            cursor.setPosition(start);
            cursor.insertText(QStringLiteral("字"));
            break;
        case 1: // a deletion, often across lines
            cursor.setPosition(start);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            break;
        case 2: // a replacement with line breaks
            cursor.setPosition(start);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            cursor.insertText(RandomPiece(random));
            break;
        case 3:
            document.undo();
            break;
        default:
            document.redo();
            break;
        }
        const QString text = app::TextWithLineBreaks(document.toRawText(), style);
        QCOMPARE(app::CountPanelText(counter.Counts(style)), app::CountPanelText(app::CountText(text)));
    }
}

// Replacing the whole text, as opening a file does, leaves the counts of the new text.
void TestTextCounts::wholeDocumentReplaced()
{
    CountedDocument counted;
    QTextDocument &document = counted.document;
    const app::DocumentCounter &counter = counted.counter;
    for (const QString &text : { QStringLiteral("短い\r\n文"), QString(), LargeText() }) {
        document.setPlainText(text);
        const LineBreakStyle style = app::DetectLineBreaks(text);
        QCOMPARE(counter.Counts(style), app::CountText(app::TextWithLineBreaks(document.toRawText(), style)));
    }
}

QTEST_MAIN(TestTextCounts)
#include "tst_textcounts.moc"
