// The main window's rules as plain functions: counts, line breaks, recent files, shortcut files,
// the settings read at start-up, window measures.

#include "app/appsettings.h"
#include "app/association.h"
#include "app/linebreaks.h"
#include "app/shortcutfile.h"
#include "app/textcounts.h"
#include "platform/twips.h"
#include "support/fakeplatform.h"

#include <QPlainTextDocumentLayout>
#include <QRandomGenerator>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

using app::LineBreakStyle;

class tst_Rules : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void counts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("panel");
        QTest::newRow("empty") << "" << QStringLiteral("0バイト, 0文字（全角: 0文字, 半角: 0文字）");
        QTest::newRow("kana, letter, CR LF") << "あa\r\n"
                                             << QStringLiteral("5バイト, 4文字（全角: 1文字, 半角: 3文字）");
        QTest::newRow("half-width katakana") << "ｶﾀｶﾅﾞ" << QStringLiteral("5バイト, 5文字（全角: 0文字, 半角: 5文字）");
        QTest::newRow("outside the code page")
            << "¥😀漢" << QStringLiteral("5バイト, 4文字（全角: 1文字, 半角: 3文字）");
    }
    // The status bar's count in the program's wording: code page 932 bytes, characters, and
    // which of them are full-width; what the code page lacks counts as one "?" each.
    void counts()
    {
        QFETCH(QString, text);
        QTEST(app::CountPanelText(app::CountText(text)), "panel");
    }

    // Counting edit by edit (typing, deleting across lines, replacing, undo, redo) gives what a
    // full recount gives, in both line-break styles.
    void countsFollowEveryEdit()
    {
        QTextDocument document;
        document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
        app::DocumentCounter counter;
        connect(&document, &QTextDocument::contentsChange, this,
            [&](int position, int removed, int added) { counter.ContentsChange(document, position, removed, added); });
        document.setPlainText(QStringLiteral("第1行：ｶﾀｶﾅ\n and ASCII\n").repeated(200));
        counter.Reset(document);
        QRandomGenerator random(20240611);
        const QString alphabet = QStringLiteral("あ漢ｶa ¥😀\n\n");
        for (int edit = 0; edit < 300; ++edit) {
            const int kind = random.bounded(5), length = document.characterCount() - 1;
            QTextCursor cursor(&document);
            cursor.setPosition(random.bounded(0, length + 1));
            cursor.setPosition(std::min(length, cursor.position() + random.bounded(0, 200)), QTextCursor::KeepAnchor);
            QString piece;
            for (int i = kind == 2 ? random.bounded(0, 12) : 0; i > 0; --i)
                piece.append(alphabet.at(random.bounded(alphabet.size())));
            kind == 3 ? document.undo() : kind == 4 ? document.redo() : cursor.insertText(piece);
            for (const LineBreakStyle style : { LineBreakStyle::CrLf, LineBreakStyle::Lf })
                QCOMPARE(counter.Counts(style), app::CountText(app::TextWithLineBreaks(document.toRawText(), style)));
        }
    }

    // Uniform line breaks come back as they were; a document with any CR LF is saved with CR LF
    // throughout, one with LF and no CR LF with LF; lone CRs are not kept. Other characters stay.
    void lineBreaks()
    {
        const std::pair<QString, QString> rows[] = { { "a\r\nb\r\n", "a\r\nb\r\n" }, { "a\nb\n", "a\nb\n" },
            { "a\nb\r\nc", "a\r\nb\r\nc" }, { "a\rb", "a\r\nb" }, { "a\r\nb\rc", "a\r\nb\r\nc" },
            { "a\nb\rc", "a\nb\nc" }, { "a\u00a0b", "a\u00a0b" } };
        for (const auto &[text, saved] : rows) {
            QTextDocument box;
            box.setPlainText(text);
            QCOMPARE(app::TextWithLineBreaks(box.toRawText(), app::DetectLineBreaks(text)), saved);
        }
    }

    void history_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("after");
        const char *rows[][4] = { { "first", "", "a", "a" }, { "appended last", "a b", "c", "a b c" },
            { "listed moves last", "a b c", "a", "b c a" }, { "last stays", "a b c", "c", "a b c" },
            { "full drops oldest", "0 1 2 3 4 5 6 7 8 9", "x", "1 2 3 4 5 6 7 8 9 x" },
            { "full, listed", "0 1 2 3 4 5 6 7 8 9", "0", "1 2 3 4 5 6 7 8 9 0" },
            { "ampersand escaped", "", "R&D", "R&&D" } };
        for (const auto &[name, before, added, after] : rows)
            QTest::newRow(name) << before << added << after;
    }
    // The recent files: the oldest first, the most recent last, each file once, ten at most;
    // the same name in another folder is another file.
    void history()
    {
        QFETCH(QString, before);
        QFETCH(QString, added);
        app::History history; // "a b c": data/a, data/b, data/c, the oldest first
        const QStringList files = before.split(u' ', Qt::SkipEmptyParts);
        for (int i = 0; i < files.size(); ++i)
            history[i] = { QStringLiteral("data"), files[i] };
        app::AddToHistory(history, { QStringLiteral("data"), added });
        QTEST(app::HistoryCaptions(history).join(u' '), "after");
        QCOMPARE(app::StoredHistoryCount(history), app::HistoryCaptions(history).size());
        app::AddToHistory(history, { QStringLiteral("other"), added });
        QCOMPARE(history[app::HistoryLength(history) - 1].Path, QStringLiteral("other"));
    }

    void shortcutFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("target"); // folder | name, empty when unusable
        QTest::newRow("tabs in the name") << QByteArray("F\tx\ty\r\n") << "F|x\ty";
        QTest::newRow("no line break") << QByteArray("data\ta.txt") << "data|a.txt";
        QTest::newRow("LF, second line ignored") << QByteArray("data\ta\nother\tb\n") << "data|a";
        QTest::newRow("CR alone ends the line") << QByteArray("data\ta\rb") << "data|a";
        QTest::newRow("code page 932") << QByteArray("data/\x94\x4e\t\x83\x81.txt\r\n") << "data/年|メ.txt";
        QTest::newRow("tab on the second line") << QByteArray("data\r\n\ta.txt") << QString();
    }
    // Only the first line counts: the folder before the first TAB, the name all after it; the
    // extension in any case. (What the program writes it reads back: tst_document.)
    void shortcutFile()
    {
        QFETCH(QByteArray, bytes);
        const std::optional<app::HistoryItem> parsed = app::ParseShortcut(bytes);
        QTEST(parsed ? parsed->Path + u'|' + parsed->File : QString(), "target");
        QVERIFY(
            app::HasShortcutExtension(QStringLiteral("a.LMK")) && !app::HasShortcutExtension(QStringLiteral("almk")));
    }

    void startupSettings_data()
    {
        QTest::addColumn<QString>("stored"); // Section/Key=value;...
        QTest::addColumn<QString>("read"); // window | server | font | history | wrap
        // name => the stored values => what start-up reads
        static const char table[] = R"(
first run =>  => 1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11pt | - | 1
as stored => Window/Left=15;Window/Width=9000;Setting/Server=x.jp;Setting/FontName=IPAGothic;Setting/FontSize=10.5;Setting/Wrap=False;History/Count=2;History/File1=a;History/File2=b => 15 2 9000 4 | x.jp | IPAGothic 10pt | a b | 0
not numbers => Window/Width=wide;Window/Left=1e;Setting/FontSize=big;Setting/Wrap=yes => 1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11pt | - | 1
font size 0, blank name => Setting/FontSize=0;Setting/FontName=  => 1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11pt | - | 1
font size 400 => Setting/FontSize=400 => 1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 400pt | - | 1
font size past 400 => Setting/FontSize=400.5 => 1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11pt | - | 1
count past ten => History/Count=25;History/File1=a;History/File10=j;History/File11=k => 1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11pt | a | 1
count below zero => History/Count=-1;History/File1=a => 1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11pt | - | 1
count short of the files => History/Count=1;History/File1=a;History/File2=b => 1 2 3 4 | 127.0.0.1 | ＭＳ ゴシック 11pt | a | 1
)";
        for (const QString &line : QString::fromUtf8(table).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList c = line.split(QStringLiteral(" => "));
            QTest::newRow(qPrintable(c[0])) << c[1] << c[2];
        }
    }
    // Every value read at start-up is checked: one that does not convert or lies outside its
    // range counts as absent and the default holds (for the window: its own placement).
    void startupSettings()
    {
        QFETCH(QString, stored);
        testsupport::TempSettings settings;
        for (const QString &entry : stored.split(u';', Qt::SkipEmptyParts))
            settings.store().SaveSetting(
                entry.section(u'/', 0, 0), entry.section(u'/', 1).section(u'=', 0, 0), entry.section(u'=', 1));
        const app::StartupSettings read = app::ReadStartupSettings(settings.store(), { 1, 2, 3, 4 });
        const QString history = app::HistoryCaptions(read.history).join(u' ');
        QTEST(QStringLiteral("%1 %2 %3 %4 | %5 | %6 | %7 | %8")
                  .arg(read.window.left)
                  .arg(read.window.top)
                  .arg(read.window.width)
                  .arg(read.window.height)
                  .arg(read.server, app::FontPanelText(read.font), history.isEmpty() ? QStringLiteral("-") : history)
                  .arg(int(read.wrap)),
            "read");
    }

    void association_data()
    {
        QTest::addColumn<QString>("obstacle"); // a file where a folder goes; with "/", a folder where a file goes
        QTest::addColumn<QString>("step"); // whose message is shown; empty: none
        const QString icons = QStringLiteral("icons/hicolor/48x48/");
        const std::pair<QString, const char *> rows[] = { { "", "" }, { "mime/packages/Lumeno.LocalShortcut.xml", "" },
            { "mime", "RegCreateKeyEx[1]" }, { "mime/packages/Lumeno.LocalShortcut.xml/", "RegSetValueEx[1]" },
            { "applications", "RegCreateKeyEx[2]" }, { "applications/lumeno.desktop/", "RegSetValueEx[2-1]" },
            { icons + "mimetypes", "RegCreateKeyEx[3]" },
            { icons + "mimetypes/application-x-lumeno-localshortcut.png/", "RegSetValueEx[3]" },
            { icons + "apps", "RegCreateKeyEx[4]" }, { icons + "apps/lumeno.png/", "RegSetValueEx[4]" } };
        for (const auto &[obstacle, step] : rows)
            QTest::newRow(qPrintable(obstacle.isEmpty() ? QStringLiteral("all written") : obstacle))
                << obstacle << step;
    }
    // The shortcut type's association is written only when its package is absent, each step
    // that fails shows its own message, and the entry runs the program with the file.
    void association()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, step);
        QTemporaryDir home;
        const QDir dir(home.path());
        QVERIFY(dir.mkpath(obstacle.endsWith(u'/') ? obstacle : QFileInfo(dir.filePath(obstacle)).path()));
        if (!obstacle.isEmpty() && !obstacle.endsWith(u'/'))
            QVERIFY(QFile(dir.filePath(obstacle)).open(QIODevice::WriteOnly));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(home.path())); // no cache tools
        const QString failure = app::RegisterAssociation(home.path(), QStringLiteral("/opt/my tools/lumeno"));
        qputenv("PATH", path);
        QCOMPARE(failure, step.isEmpty() ? QString() : QStringLiteral("レジストリ操作エラー(%1)").arg(step));
        QFile entry(dir.filePath(QStringLiteral("applications/lumeno.desktop")));
        QCOMPARE(entry.open(QIODevice::ReadOnly) && entry.readAll().contains("Exec=\"/opt/my tools/lumeno\" %f\n"),
            obstacle.isEmpty() || step.endsWith(QLatin1String("[3]")) || step.endsWith(QLatin1String("[4]")));
        const QFileInfo icon(dir.filePath(QStringLiteral("icons/hicolor/48x48/apps/lumeno.png")));
        QCOMPARE(icon.isFile() ? icon.size() : -1,
            obstacle.isEmpty() ? QFileInfo(QStringLiteral(":/app/lumeno.png")).size() : -1);
        QCOMPARE(app::DesktopExecArgument(QStringLiteral("/a\"b`c$d\\e%")),
            QStringLiteral("\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e%%\""));
    }

    // Twips to pixels with the screen's resolution, rounded, within what a widget can take.
    void twips()
    {
        QCOMPARE(platform::TwipsToPixels(22.5, 15) - platform::TwipsToPixels(22.4, 15), 1);
        QCOMPARE(platform::TwipsToPixels(1440, platform::TwipsPerPixelAt(144)), 144);
        QCOMPARE(platform::TwipsToPixels(150, platform::TwipsPerPixelAt(0)), 10);
        QCOMPARE(platform::TwipsToPixels(1e300, 15), QWIDGETSIZE_MAX);
    }
};

QTEST_MAIN(tst_Rules)
#include "tst_rules.moc"
