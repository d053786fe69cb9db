// The main window's rules as plain functions: counts, line breaks, recent files, shortcut files,
// the settings read at start-up and written at the end, window measures and look-ups.

#include "app/appsettings.h"
#include "app/history.h"
#include "app/linebreaks.h"
#include "app/shortcutfile.h"
#include "app/textcounts.h"
#include "app/weblookup.h"
#include "app/windowgeometry.h"
#include "platform/twips.h"
#include "support/fakeplatform.h"

#include <QPlainTextDocumentLayout>
#include <QRandomGenerator>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

using app::LineBreakStyle;

namespace {

// "a b c" <-> the recent files data/a, data/b, data/c.
app::History HistoryOf(const QString &names)
{
    app::History history;
    const QStringList files = names.split(u' ', Qt::SkipEmptyParts);
    for (int i = 0; i < files.size(); ++i)
        history[i] = { QStringLiteral("data"), files[i] };
    return history;
}

QString NamesOf(const app::History &history)
{
    return app::HistoryCaptions(history).join(u' ');
}

} // namespace

class tst_Rules : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void counts_data();
    void counts();
    void countsFollowEveryEdit();
    void lineBreaks_data();
    void lineBreaks();
    void history_data();
    void history();
    void shortcutFile_data();
    void shortcutFile();
    void startupSettings_data();
    void startupSettings();
    void exitSettingsComeBack();
    void twips_data();
    void twips();
    void lookUpAddresses();
};

void tst_Rules::counts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("panel");
    QTest::newRow("empty") << "" << QStringLiteral("0バイト, 0文字（全角: 0文字, 半角: 0文字）");
    QTest::newRow("kana and letter") << "あa" << QStringLiteral("3バイト, 2文字（全角: 1文字, 半角: 1文字）");
    QTest::newRow("CR LF") << "\r\n" << QStringLiteral("2バイト, 2文字（全角: 0文字, 半角: 2文字）");
    QTest::newRow("half-width katakana") << "ｶﾀｶﾅﾞ" << QStringLiteral("5バイト, 5文字（全角: 0文字, 半角: 5文字）");
    QTest::newRow("outside the code page") << "¥😀" << QStringLiteral("3バイト, 3文字（全角: 0文字, 半角: 3文字）");
    QTest::newRow("two lines") << "日本\r\nab" << QStringLiteral("8バイト, 6文字（全角: 2文字, 半角: 4文字）");
}

// The status bar's count in the program's wording: code page 932 bytes, characters, and which
// of them are full-width; what the code page lacks counts as one "?".
void tst_Rules::counts()
{
    QFETCH(QString, text);
    QTEST(app::CountPanelText(app::CountText(text)), "panel");
}

// Counting edit by edit (typing, deleting across lines, replacing, undo, redo) gives what a
// full recount gives, in both line-break styles.
void tst_Rules::countsFollowEveryEdit()
{
    QTextDocument document;
    document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
    app::DocumentCounter counter;
    counter.Reset(document);
    connect(&document, &QTextDocument::contentsChange, this,
        [&](int position, int removed, int added) { counter.ContentsChange(document, position, removed, added); });
    document.setPlainText(QStringLiteral("第1行：ｶﾀｶﾅ\n and ASCII\n").repeated(200));
    QRandomGenerator random(20240611);
    const QString alphabet = QStringLiteral("あ漢ｶa ¥😀\n\n");
    for (int edit = 0; edit < 300; ++edit) {
        const int kind = random.bounded(5);
        const int length = document.characterCount() - 1;
        const int start = random.bounded(0, length + 1);
        QTextCursor cursor(&document);
        cursor.setPosition(start);
        cursor.setPosition(std::min(length, start + random.bounded(0, 200)), QTextCursor::KeepAnchor);
        QString piece;
        for (int i = kind == 2 ? random.bounded(0, 12) : 0; i > 0; --i)
            piece.append(alphabet.at(random.bounded(alphabet.size())));
        if (kind == 3)
            document.undo();
        else if (kind == 4)
            document.redo();
        else
            cursor.insertText(piece);
        for (const LineBreakStyle style : { LineBreakStyle::CrLf, LineBreakStyle::Lf })
            QCOMPARE(counter.Counts(style), app::CountText(app::TextWithLineBreaks(document.toRawText(), style)));
    }
}

void tst_Rules::lineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("saved"); // after the box held it
    QTest::newRow("CR LF") << "a\r\nb\r\n" << "a\r\nb\r\n";
    QTest::newRow("LF only stays LF") << "a\nb\n" << "a\nb\n";
    QTest::newRow("mixed becomes CR LF") << "a\nb\r\nc" << "a\r\nb\r\nc";
    QTest::newRow("CR alone") << "a\rb" << "a\r\nb";
    QTest::newRow("no break") << "a\u00a0b" << "a\u00a0b";
}

// A document keeps LF line breaks only when it has no CR LF at all; the box's paragraph breaks
// become the document's line breaks again, every other character as it was.
void tst_Rules::lineBreaks()
{
    QFETCH(QString, text);
    QTextDocument box;
    box.setPlainText(text);
    QTEST(app::TextWithLineBreaks(box.toRawText(), app::DetectLineBreaks(text)), "saved");
}

void tst_Rules::history_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("count");
    QTest::newRow("first") << "" << "a" << "a" << 1;
    QTest::newRow("appended last") << "a b" << "c" << "a b c" << 3;
    QTest::newRow("listed moves last") << "a b c" << "a" << "b c a" << 3;
    QTest::newRow("last stays") << "a b c" << "c" << "a b c" << 3;
    QTest::newRow("full drops oldest") << "0 1 2 3 4 5 6 7 8 9" << "x" << "1 2 3 4 5 6 7 8 9 x" << 10;
    QTest::newRow("full, listed") << "0 1 2 3 4 5 6 7 8 9" << "0" << "1 2 3 4 5 6 7 8 9 0" << 10;
    QTest::newRow("ampersand escaped") << "" << "R&D" << "R&&D" << 1;
}

// The recent files: the oldest first, the most recent last, each file once, ten at most.
void tst_Rules::history()
{
    QFETCH(QString, before);
    QFETCH(QString, added);
    app::History history = HistoryOf(before);
    app::AddToHistory(history, { QStringLiteral("data"), added });
    QTEST(NamesOf(history), "after");
    QTEST(app::StoredHistoryCount(history), "count");
    QTEST(app::HistoryLength(history), "count");
    app::AddToHistory(history, { QStringLiteral("other"), added });
    QCOMPARE(history[app::HistoryLength(history) - 1].Path, QStringLiteral("other"));
}

void tst_Rules::shortcutFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("target"); // folder | name, empty when unusable
    QTest::newRow("as written") << QByteArray("F\tmemo.txt\r\n") << "F|memo.txt";
    QTest::newRow("tabs in the name") << QByteArray("F\tx\ty\r\n") << "F|x\ty";
    QTest::newRow("no line break") << QByteArray("data\ta.txt") << "data|a.txt";
    QTest::newRow("LF, second line ignored") << QByteArray("data\ta\nother\tb\n") << "data|a";
    QTest::newRow("CR alone ends the line") << QByteArray("data\ta\rb") << "data|a";
    QTest::newRow("code page 932") << QByteArray("data/\x94\x4e\x93\x78\t\x83\x81\x83\x82.txt\r\n") << "data/年度|メモ.txt";
    QTest::newRow("no tab") << QByteArray("data a.txt\r\n") << QString();
    QTest::newRow("tab on the second line") << QByteArray("data\r\n\ta.txt") << QString();
}

// Only the first line counts: the folder before the first TAB, the name all after it; what
// the program writes it reads back.
void tst_Rules::shortcutFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, target);
    const std::optional<app::HistoryItem> parsed = app::ParseShortcut(bytes);
    QCOMPARE(parsed ? parsed->Path + u'|' + parsed->File : QString(), target);
    if (parsed)
        QCOMPARE(app::ParseShortcut(app::ShortcutBytes(*parsed)), parsed);
    QVERIFY(app::HasShortcutExtension(QStringLiteral("a.LMK")) && !app::HasShortcutExtension(QStringLiteral("almk")));
    QCOMPARE(app::ShortcutFilePath(QStringLiteral("/t/a")), QStringLiteral("/t/a.lmk"));
    QCOMPARE(app::ShortcutFilePath(QStringLiteral("/t/a.Lmk")), QStringLiteral("/t/a.Lmk"));
}

void tst_Rules::startupSettings_data()
{
    QTest::addColumn<QString>("stored"); // Section/Key=value;...
    QTest::addColumn<QString>("read"); // window | server | font | history | wrap
    QTest::newRow("first run") << "" << "1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11 | - | 1";
    QTest::newRow("as stored") << "Window/Left=15;Window/Width=9000;Setting/Server=x.jp;Setting/FontName=IPAGothic;Setting/FontSize=10.5;Setting/Wrap=False;History/Count=2;History/File1=a;History/File2=b"
                               << "15 2 9000 4 | x.jp | IPAGothic 10.5 | a b | 0";
    QTest::newRow("not numbers") << "Window/Width=wide;Window/Left=1e;Setting/FontSize=big;Setting/Wrap=yes" << "1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11 | - | 1";
    QTest::newRow("font size 0") << "Setting/FontSize=0" << "1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11 | - | 1";
    QTest::newRow("font size 400") << "Setting/FontSize=400" << "1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 400 | - | 1";
    QTest::newRow("font size past 400") << "Setting/FontSize=400.5" << "1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11 | - | 1";
    QTest::newRow("blank font name") << "Setting/FontName= " << "1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11 | - | 1";
    QTest::newRow("count past ten") << "History/Count=25;History/File1=a;History/File10=j;History/File11=k" << "1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11 | a | 1";
    QTest::newRow("count below zero") << "History/Count=-1;History/File1=a" << "1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11 | - | 1";
    QTest::newRow("count short of the files") << "History/Count=1;History/File1=a;History/File2=b" << "1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11 | a | 1";
}

// Every value read at start-up is checked: one that does not convert or lies outside its range
// counts as absent and the default holds (for the window: its own placement).
void tst_Rules::startupSettings()
{
    QFETCH(QString, stored);
    testsupport::TempSettings settings;
    for (const QString &entry : stored.split(u';', Qt::SkipEmptyParts))
        settings.store().SaveSetting(entry.section(u'/', 0, 0), entry.section(u'/', 1).section(u'=', 0, 0),
            entry.section(u'=', 1));
    const app::StartupSettings read = app::ReadStartupSettings(settings.store(), { 1, 2, 3, 4 });
    const app::TwipsRect &w = read.window;
    const QString history = NamesOf(read.history);
    QTEST(QStringLiteral("%1 %2 %3 %4 | %5 | %6 %7 | %8 | %9")
              .arg(w.left).arg(w.top).arg(w.width).arg(w.height)
              .arg(read.server, read.font.name).arg(read.font.size)
              .arg(history.isEmpty() ? QStringLiteral("-") : history)
              .arg(int(read.wrap)),
        "read");
    QCOMPARE(app::FontPanelText(read.font), read.font.name + QStringLiteral(" %1pt").arg(int(read.font.size)));
}

// What the window leaves at the end comes back at the next start; a minimized window leaves
// the stored placement as it was, and the font command's choice is kept.
void tst_Rules::exitSettingsComeBack()
{
    testsupport::TempSettings settings;
    const app::History history = HistoryOf(QStringLiteral("a b"));
    app::WriteExitSettings(settings.store(), app::TwipsRect { 10, 20, 9435.5, 4000 }, false, history);
    app::WriteFontSetting(settings.store(), { QStringLiteral("IPAGothic"), 12.5 });
    app::WriteExitSettings(settings.store(), std::nullopt, false, history);
    const app::StartupSettings read = app::ReadStartupSettings(*settings.reopened(), {});
    QCOMPARE(read.window.left + read.window.top + read.window.width + read.window.height, 10 + 20 + 9435.5 + 4000);
    QCOMPARE(read.wrap, false);
    QCOMPARE(read.history, history);
    QCOMPARE(read.font.name + QString::number(read.font.size), QStringLiteral("IPAGothic12.5"));
    QCOMPARE(settings.store().GetSetting(QStringLiteral("History"), QStringLiteral("Count"), {}), QStringLiteral("2"));
}

void tst_Rules::twips_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("96 dpi") << 9435.0 << 96.0 << 629;
    QTest::newRow("rounds half up") << 22.5 << 96.0 << 2;
    QTest::newRow("rounds down") << 22.4 << 96.0 << 1;
    QTest::newRow("144 dpi") << 1440.0 << 144.0 << 144;
    QTest::newRow("no resolution: 15 a pixel") << 150.0 << 0.0 << 10;
    QTest::newRow("negative") << -30.0 << 96.0 << -2;
    QTest::newRow("huge clamped") << 1e300 << 96.0 << QWIDGETSIZE_MAX;
}

// Twips to pixels with the screen's resolution, rounded, within what a widget can take.
void tst_Rules::twips()
{
    QFETCH(double, twips);
    QFETCH(double, dpi);
    QTEST(platform::TwipsToPixels(twips, platform::TwipsPerPixelAt(dpi)), "pixels");
    const app::TwipsPerPixel scale = app::TwipsPerPixelAt(dpi, 96);
    QCOMPARE(app::ToTwips(app::ToPixels({ twips, 15, 15, 15 }, scale), scale).top, 15.0);
}

// The selection goes to the site percent-encoded as UTF-8, every byte as it is.
void tst_Rules::lookUpAddresses()
{
    QCOMPARE(app::LookUpAddress(app::WebSite::Google, QStringLiteral("日本 a&b")).toEncoded(),
        QByteArray("http://www.google.co.jp/search?hl=ja&q=%E6%97%A5%E6%9C%AC%20a%26b"));
    QCOMPARE(app::LookUpAddress(app::WebSite::Wikipedia, QStringLiteral("東京")).toEncoded(),
        QByteArray("http://ja.wikipedia.org/wiki/%E6%9D%B1%E4%BA%AC"));
}

QTEST_MAIN(tst_Rules)
#include "tst_rules.moc"
