#include "app/linebreaks.h"
#include "app/textcounts.h"
#include "support/fakeplatform.h"

#include <QPlainTextDocumentLayout>
#include <QRandomGenerator>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using app::LineBreakStyle;

class TestTextCounts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }

    // The status bar reads the counts in exactly the program's wording, line breaks and
    // characters outside the code page counted as one-byte characters.
    void panelText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("panel");
        QTest::newRow("empty") << QString() << QStringLiteral("0バイト, 0文字（全角: 0文字, 半角: 0文字）");
        QTest::newRow("kana and letter") << "あa" << QStringLiteral("3バイト, 2文字（全角: 1文字, 半角: 1文字）");
        QTest::newRow("CR LF") << "\r\n" << QStringLiteral("2バイト, 2文字（全角: 0文字, 半角: 2文字）");
        QTest::newRow("LF alone") << "\n" << QStringLiteral("1バイト, 1文字（全角: 0文字, 半角: 1文字）");
        QTest::newRow("half-width katakana") << "ｶﾀｶﾅﾞ" << QStringLiteral("5バイト, 5文字（全角: 0文字, 半角: 5文字）");
        QTest::newRow("kanji, full-width")
            << "漢字ＡＢ" << QStringLiteral("8バイト, 4文字（全角: 4文字, 半角: 0文字）");
        QTest::newRow("outside the code page")
            << "¥\u00e9" << QStringLiteral("2バイト, 2文字（全角: 0文字, 半角: 2文字）");
        QTest::newRow("surrogate pair") << "😀" << QStringLiteral("2バイト, 2文字（全角: 0文字, 半角: 2文字）");
        QTest::newRow("two lines") << "日本\r\nab" << QStringLiteral("8バイト, 6文字（全角: 2文字, 半角: 4文字）");
    }
    void panelText()
    {
        QFETCH(QString, text);
        QTEST(app::CountPanelText(app::CountText(text)), "panel");
    }

    // A document keeps LF line breaks only when it has no CR LF at all.
    void lineBreakStyle_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<LineBreakStyle>("style");
        QTest::newRow("empty") << QString() << LineBreakStyle::CrLf;
        QTest::newRow("one line") << "abc" << LineBreakStyle::CrLf;
        QTest::newRow("CR LF") << "a\r\nb\r\n" << LineBreakStyle::CrLf;
        QTest::newRow("LF") << "a\nb\n" << LineBreakStyle::Lf;
        QTest::newRow("mixed") << "a\nb\r\nc" << LineBreakStyle::CrLf;
    }
    void lineBreakStyle()
    {
        QFETCH(QString, text);
        QTEST(app::DetectLineBreaks(text), "style");
    }

    // Counting edit by edit gives what a full recount of the text gives, after every kind of
    // edit: the whole text replaced (as opening a file does), typing, deleting across lines,
    // replacing, undo and redo.
    void incrementalEqualsFullRecount_data()
    {
        QTest::addColumn<LineBreakStyle>("style");
        QTest::newRow("CR LF") << LineBreakStyle::CrLf;
        QTest::newRow("LF") << LineBreakStyle::Lf;
    }
    void incrementalEqualsFullRecount()
    {
        QFETCH(LineBreakStyle, style);
        // Laid out as the editing box lays it out: a document without a layout reports no changes.
        QTextDocument document;
        document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
        app::DocumentCounter counter;
        counter.Reset(document);
        connect(&document, &QTextDocument::contentsChange, this,
            [&](int position, int removed, int added) { counter.ContentsChange(document, position, removed, added); });
        QString large;
        for (int line = 0; line < 4000; ++line)
            large += QStringLiteral("第%1行：ｶﾀｶﾅ and ASCII ですね。\n").arg(line);
        for (const QString &text : { QStringLiteral("短い\r\n文"), QString(), large }) {
            document.setPlainText(text);
            QCOMPARE(counter.Counts(style), app::CountText(app::TextWithLineBreaks(document.toRawText(), style)));
        }

        QRandomGenerator random(20240611);
        const QString alphabet = QStringLiteral("あいう漢字ｶﾅabc ¥😀\n\n");
        for (int edit = 0; edit < 400; ++edit) {
            const int kind = random.bounded(5);
            const int length = document.characterCount() - 1;
            const int start = random.bounded(0, length + 1);
            QTextCursor cursor(&document);
            cursor.setPosition(start);
            cursor.setPosition(
                kind == 0 ? start : std::min(length, start + random.bounded(0, 300)), QTextCursor::KeepAnchor);
            QString piece = kind == 0 ? QStringLiteral("字") : QString(); // a keystroke, or a deletion
            for (int i = kind == 2 ? random.bounded(0, 12) : 0; i > 0; --i) // a replacement with line breaks
                piece.append(alphabet.at(random.bounded(alphabet.size())));
            if (kind == 3)
                document.undo();
            else if (kind == 4)
                document.redo();
            else
                cursor.insertText(piece);
            const QString text = app::TextWithLineBreaks(document.toRawText(), style);
            QCOMPARE(app::CountPanelText(counter.Counts(style)), app::CountPanelText(app::CountText(text)));
        }
    }
};

QTEST_MAIN(TestTextCounts)
#include "tst_textcounts.moc"
