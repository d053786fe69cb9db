// The main window's rules as plain functions: counts, line breaks, recent files, shortcut files,
// the settings read at start-up, window measures.

#include "app/appsettings.h"
#include "app/association.h"
#include "app/linebreaks.h"
#include "app/shortcutfile.h"
#include "app/textcounts.h"
#include "app/transferprogress.h"
#include "platform/twips.h"
#include "support/fakeplatform.h"
#include "support/tables.h"

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

    void counts_data() { testsupport::AddTableRows(QStringLiteral("text-counts.txt")); }
    // The status bar's count in the program's wording: bytes in the document's encoding,
    // characters, and which of them are full-width; what code page 932 lacks counts as one "?".
    void counts()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QTEST(app::CountPanelText(app::CountText(text, textencoding::EncodingNamed(encoding))), "panel");
    }

    void transferProgress_data() { testsupport::AddTableRows(QStringLiteral("transfer-progress.txt")); }
    void transferProgress()
    {
        QFETCH(QString, done);
        QFETCH(QString, total);
        QTEST(app::TransferProgressText(done.toLongLong(), total.toLongLong()), "text");
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
                for (const textencoding::TextEncoding encoding : textencoding::kEncodings)
                    QCOMPARE(counter.Counts(style, encoding),
                        app::CountText(app::TextWithLineBreaks(document.toRawText(), style), encoding));
        }
    }

    // Uniform line breaks come back as they were; a document with any CR LF is saved with CR LF
    // throughout, one with LF and no CR LF with LF; lone CRs are not kept. Other characters stay.
    // The counts of the text given to the box are those of the box's paragraphs.
    void lineBreaks_data() { testsupport::AddTableRows(QStringLiteral("line-breaks.txt")); }
    void lineBreaks()
    {
        QFETCH(QString, text);
        QTextDocument box;
        box.setPlainText(text);
        QTEST(app::TextWithLineBreaks(box.toRawText(), app::DetectLineBreaks(text)), "saved");
        app::DocumentCounter fromText, fromBox;
        fromText.Reset(text);
        fromBox.Reset(box);
        QVERIFY(fromText.Agrees(box));
        QCOMPARE(fromText.Counts(LineBreakStyle::CrLf, textencoding::TextEncoding::Utf8),
            fromBox.Counts(LineBreakStyle::CrLf, textencoding::TextEncoding::Utf8));
    }

    void history_data() { testsupport::AddTableRows(QStringLiteral("recent-files.txt")); }
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

    void shortcutFile_data() { testsupport::AddTableRows(QStringLiteral("shortcut-files.txt")); }
    // Only the first line counts: the folder before the first TAB, the name all after it; the
    // extension in any case. (What the program writes it reads back: tst_document.)
    void shortcutFile()
    {
        QFETCH(QString, bytes);
        const std::optional<app::HistoryItem> parsed = app::ParseShortcut(bytes.toLatin1());
        QTEST(parsed.value_or(app::HistoryItem {}).Path, "folder");
        QTEST(parsed.value_or(app::HistoryItem {}).File, "file");
        QVERIFY(
            app::HasShortcutExtension(QStringLiteral("a.LMK")) && !app::HasShortcutExtension(QStringLiteral("almk")));
    }

    void startupSettings_data() { testsupport::AddTableRows(QStringLiteral("startup-settings.txt")); }
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
        const auto &window = read.window;
        QTEST(QStringLiteral("%1 %2 %3 %4").arg(window.left).arg(window.top).arg(window.width).arg(window.height),
            "window");
        QTEST((read.secure ? "https://" : "") + read.server, "server");
        QTEST(app::FontPanelText(read.font), "font");
        QTEST(app::HistoryCaptions(read.history).join(u' '), "history");
        QTEST(QString::number(read.wrap), "wrap");
    }

    void association_data() { testsupport::AddTableRows(QStringLiteral("association.txt")); }
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
