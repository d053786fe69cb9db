// The main window's wiring: its menus, toolbar, status bar and box reach the document and the
// platform, its settings come and go with the window, the busy indicator follows requests. The
// rules behind each command are tst_document's and tst_rules'.

#include "app/frmMain.h"
#include "app/shortcutfile.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/keyboard.h"
#include "support/layout.h"
#include "support/scriptedserver.h"
#include "support/tables.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QTest>

using platform::MsgAnswer;

// A window over a fresh store and fake platform; its browser picks the next of `choices` (none:
// Cancel), its server reads a file as its name in capitals and saves whatever it gets.
struct Fixture {
    // stored: "Section/Key=value;..." in the store before the window loads.
    explicit Fixture(const QString &stored = {})
    {
        for (const QString &entry : stored.split(u';', Qt::SkipEmptyParts))
            settings.store().SaveSetting(
                entry.section(u'/', 0, 0), entry.section(u'/', 1).section(u'=', 0, 0), entry.section(u'=', 1));
        window.document.seams.showFiler = [this] {
            log.append(QStringLiteral("filer%1").arg(modPublic::lngFilerMode));
            if ((modPublic::blnFilerOK = !choices.isEmpty()))
                modPublic::strCurrentFile = choices.takeFirst();
        };
        window.document.seams.readFile = [this](const QString &, const QString &file) {
            // The busy indicator comes up while the request runs on, not at once.
            const bool busyAtOnce = window.BusyIndicator()->isVisible();
            const bool busyLater = QTest::qWaitFor([this] { return window.BusyIndicator()->isVisible(); });
            log.append(QStringLiteral("read %1 busy=%2%3 enabled=%4 panel=%5")
                           .arg(file)
                           .arg(busyAtOnce)
                           .arg(busyLater)
                           .arg(window.isEnabled())
                           .arg(window.PanelText(QStringLiteral("filename"))));
            return std::optional(modPublic::RemoteDocument { file.toUpper(), {} });
        };
        window.document.seams.saveFile
            = [this](const QString &, const QString &file, const QByteArray &text, const modPublic::SaveCondition &) {
                  log.append(QStringLiteral("save %1 %2").arg(file, QString::fromLatin1(text)));
                  return modPublic::SaveOutcome { modPublic::SaveResult::Saved, {} };
              };
        modPublic::strCurrentFolder = QStringLiteral("data");
        modPublic::strCurrentFile = QStringLiteral("a.txt");
        window.Form_Load();
    }
    QString Stored(const QString &key) const
    {
        return settings.reopened()->GetSetting(key.section(u'/', 0, 0), key.section(u'/', 1), {});
    }

    QStringList log, choices;
    testsupport::TempSettings settings;
    testsupport::FakeDialogs dialogs;
    testsupport::FakeClipboard clipboard;
    testsupport::FakeShell shell;
    struct : frmMain {
        void RegisterShortcutType() override { }
    } window;
};

class tst_Window : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void commands_data() { testsupport::AddTableRows(QStringLiteral("window-commands.txt")); }
    // Each menu item and toolbar button runs its own command, on the selection where it has one.
    void commands()
    {
        const QString action = QString::fromLatin1(QTest::currentDataTag());
        Fixture f;
        f.window.SetDocumentText(QStringLiteral("ab\r\ncd"));
        f.window.txtMain->selectAll();
        f.window.document.blnModified = false;
        f.clipboard.SetText(QStringLiteral("xy"));
        if (action.endsWith(QLatin1String("rint")))
            f.dialogs.answerPrint(false);
        if (action.endsWith(QLatin1String("ont")))
            f.dialogs.answerFont(std::nullopt);
        f.window.findChild<QAction *>(action)->trigger();
        QTEST(f.log.join(u','), "requests");
        QTEST(f.window.DocumentText(), "text");
        QTEST(f.clipboard.text, "clipboard");
        QTEST(QString::fromUtf8(f.shell.opened.value(0).toEncoded())
                  .replace(QCoreApplication::applicationDirPath(), "APP"),
            "opened");
        // The shortcut item is greyed in the open menu without a file; its key always answers.
        emit f.window.mhdFile->aboutToShow();
        QCOMPARE(f.window.menuShortcut->isEnabled(), !action.endsWith(QLatin1String("ew")));
        emit f.window.mhdFile->aboutToHide();
        QVERIFY(f.window.menuShortcut->isEnabled());
    }

    // The versions item is enabled when the File menu opens on a file of the server last checked,
    // when that server keeps history.
    void versionsMenuFollowsTheServer()
    {
        Fixture f;
        testsupport::ScriptedHttpServer server;
        modPublic::strServer = server.serverText();
        QString enabled;
        const auto menuOpens = [&] {
            emit f.window.mhdFile->aboutToShow();
            enabled += QString::number(f.window.menuVersions->isEnabled());
        };
        for (const char *reply : { "OK\n", "OK\nfeatures: history\n" }) {
            server.reply(QString::fromLatin1(reply), QStringLiteral("CHECK"));
            QVERIFY(modPublic::CheckServer(modPublic::strServer, modPublic::strPassword));
            menuOpens();
        }
        f.window.menuNew->trigger();
        menuOpens();
        QCOMPARE(enabled, QStringLiteral("010"));
    }

    // While a file is read the window is disabled, the busy indicator and the note are up;
    // after it all is as before, the panel names the file and the recent-files menu lists it.
    void busyWhileTheServerWorks()
    {
        Fixture f;
        f.choices = QStringList { QStringLiteral("b&c.txt"), QStringLiteral("d.txt") };
        f.window.menuOpen->trigger();
        f.window.ToolButton(QStringLiteral("open"))->trigger();
        QCOMPARE(f.log.join(u'|'),
            QStringLiteral("filer0|read b&c.txt busy=01 enabled=0 panel=読み込んでいます…|"
                           "filer0|read d.txt busy=01 enabled=0 panel=読み込んでいます…"));
        QVERIFY(!f.window.BusyIndicator()->isVisibleTo(&f.window) && f.window.isEnabled()
            && !QApplication::overrideCursor());
        QCOMPARE(f.window.PanelText(QStringLiteral("filename")), QStringLiteral("d.txt"));
        QCOMPARE(QString::number(f.window.menuRecentFiles.size()) + f.window.menuRecentFiles[0]->text(),
            QStringLiteral("2b&&c.txt"));
        f.window.menuRecentFiles[0]->trigger();
        QCOMPARE(f.window.DocumentText() + f.window.menuRecentFiles[1]->text(), QStringLiteral("B&C.TXTb&&c.txt"));
    }

    // A document read in pieces shows its first lines while the rest comes, the panel counting;
    // the result is what a whole read gives. A reading broken off half-way leaves the box's
    // document as it was: text, undo history, cursor, modified.
    void readInPieces()
    {
        Fixture f;
        f.window.document.seams.readFile = modPublic::ReadRemoteDocument;
        QTextDocument *own = f.window.txtMain->document();
        QStringList seen;
        connect(f.window.inetConn, &inetConn::TransferProgress, this,
            [&] { seen << f.window.txtMain->toPlainText() + '|' + f.window.PanelText(QStringLiteral("filename")); });
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: 29\r\n\r\n", start = "data/a.txt\nfirst\r\nsec";
        for (const bool whole : { true, false }) {
            testsupport::ScriptedHttpServer server;
            modPublic::strServer = server.serverText();
            server.replyRaw(whole ? QList { head, start, QByteArray("ond\r\nend") } : QList { head, start }, true, 100);
            if (!whole)
                f.dialogs.answerMessage(MsgAnswer::OK, QStringLiteral("ファイルの取得に失敗しました。"));
            QCOMPARE(f.window.document.LoadRemoteDocument({ "data", "a.txt" }), whole);
            QVERIFY(seen.contains(QStringLiteral("first\n|読み込んでいます… 1 / 1 KB (72%)")));
            QCOMPARE(f.window.txtMain->document(), own);
            QCOMPARE(f.window.DocumentText(), whole ? "first\r\nsecond\r\nend" : "xfirst\r\nsecond\r\nend");
            QCOMPARE(own->isUndoAvailable() + f.window.document.blnModified, !whole + !whole);
            QCOMPARE(f.window.txtMain->textCursor().position(), int(!whole));
            f.window.txtMain->textCursor().insertText(QStringLiteral("x"));
            seen.clear();
        }
    }

    // Start-up applies the stored settings; closing asks about unsaved text, may be cancelled,
    // and otherwise writes the window's placement back. (The rest of what closing writes, the
    // end-to-end run reads back.)
    void settingsComeAndGo()
    {
        Fixture f(QStringLiteral(
            "Window/Width=6000;Setting/Wrap=False;Setting/FontSize=12.5;History/Count=1;History/File1=old.txt"));
        QCOMPARE(f.window.frameGeometry().width(), 400); // 15 twips a pixel at 96 dots an inch
        QVERIFY(!f.window.WordWrap() && !f.window.menuWrap->isChecked()
            && !f.window.ToolButton(QStringLiteral("wrap"))->isChecked());
        QCOMPARE(f.window.txtMain->font().pointSizeF(), 12.5);
        QCOMPARE(f.window.PanelText(QStringLiteral("font")), QStringLiteral("ＭＳ ゴシック 12pt"));
        QCOMPARE(f.window.menuRecentFiles[0]->text(), QStringLiteral("old.txt"));
        QCOMPARE(f.Stored(QStringLiteral("UpdateInfo/ApplicationPath")), QCoreApplication::applicationDirPath());
        testsupport::typeText(f.window.txtMain, QStringLiteral("x"));
        f.dialogs.answerMessage(MsgAnswer::Cancel, QStringLiteral("変更された内容をファイルに保存しますか？"));
        QVERIFY(!f.window.close() && f.window.isVisible());
        f.dialogs.answerMessage(MsgAnswer::No);
        f.window.resize(f.window.width() + 100, f.window.height()); // 500 pixels outside
        QVERIFY(f.window.close());
        QCOMPARE(f.Stored(QStringLiteral("Window/Width")), QStringLiteral("7500"));
    }

    void badStore_data() { testsupport::AddTableRows(QStringLiteral("bad-stores.txt")); }
    // A store that is damaged or cannot be written: the editor starts with its defaults and says
    // so once in the run, not again when it closes.
    void badStore()
    {
        QFETCH(QString, blocker);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("Lumeno.ini")));
        QVERIFY(blocker.isEmpty() ? file.open(QIODevice::WriteOnly) && file.write("[Setting]\nServ") == 14
                                  : QDir(dir.path()).mkdir(blocker));
        file.close();
        platform::SettingsStore store(file.fileName());
        testsupport::Installed<platform::SettingsStore *> installed(platform::services().settings, &store);
        testsupport::FakeDialogs dialogs;
        dialogs.answerMessage(MsgAnswer::OK);
        frmMain window;
        window.Form_Load();
        QVERIFY(window.close());
        QFETCH(QString, message);
        QVERIFY2(dialogs.messageTexts().constFirst().startsWith(message), qPrintable(dialogs.messageTexts()[0]));
    }

    // The window as laid out; typing marks the document and updates the count panel;
    // the menu and the button switch word wrap together; the font chosen goes to the box, the
    // panel and the store.
    void boxWrapAndFont()
    {
        Fixture f;
        QVERIFY(!f.window.menuRecentFiles[0]->isEnabled() && !f.window.document.blnModified);
        QCOMPARE(testsupport::LayoutDifference(&f.window, "main"), QString());
        testsupport::typeText(f.window.txtMain, QStringLiteral("日本a"));
        QVERIFY(f.window.document.blnModified);
        QCOMPARE(
            f.window.PanelText(QStringLiteral("count")), QStringLiteral("5バイト, 3文字（全角: 2文字, 半角: 1文字）"));
        f.window.menuWrap->trigger();
        QVERIFY(!f.window.WordWrap() && !f.window.ToolButton(QStringLiteral("wrap"))->isChecked());
        f.window.ToolButton(QStringLiteral("wrap"))->trigger();
        QVERIFY(f.window.WordWrap() && f.window.menuWrap->isChecked());
        QCOMPARE(f.window.txtMain->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        f.dialogs.answerFont(platform::FontChoice { QStringLiteral("IPAGothic"), 20.5 });
        f.window.menuFont->trigger();
        QCOMPARE(f.window.txtMain->font().pointSizeF(), 20.5);
        QCOMPARE(f.window.PanelText(QStringLiteral("font")), QStringLiteral("IPAGothic 20pt"));
        QCOMPARE(f.Stored(QStringLiteral("Setting/FontName")), QStringLiteral("IPAGothic"));
    }

    // Each copy is a job of its own; a long text runs over pages.
    void printsEachCopy()
    {
        Fixture f;
        f.window.SetDocumentText(QStringLiteral("行\r\n").repeated(300));
        QTemporaryDir dir;
        f.window.BeforePrintJob = [&](QPrinter &printer, int copy) {
            printer.setOutputFileName(dir.filePath(QStringLiteral("%1.pdf").arg(copy)));
        };
        f.dialogs.answerPrint(true, 2);
        f.window.menuPrint->trigger();
        for (const char *name : { "1.pdf", "2.pdf" }) {
            QFile pdf(dir.filePath(name));
            QVERIFY2(pdf.open(QIODevice::ReadOnly) && pdf.readAll().count("/Type /Page\n") >= 2, name);
        }
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("3.pdf"))));
    }

    // Text dropped on the box goes in with the box's line breaks; dropped files go to the document.
    void drops()
    {
        Fixture f;
        const auto drop = [&f](const QMimeData &data) {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(f.window.txtMain->viewport(), &enter);
            QDropEvent event(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(f.window.txtMain->viewport(), &event);
            QCoreApplication::processEvents(); // the drop target hands the drop on later
        };
        QMimeData text;
        text.setText(QStringLiteral("x\ry\r\n"));
        drop(text);
        QCOMPARE(f.window.DocumentText(), QStringLiteral("x\r\ny\r\n"));
        QTemporaryDir dir;
        QVERIFY(app::WriteShortcut(dir.filePath("d.lmk"), { QStringLiteral("data"), QStringLiteral("d.txt") }));
        QMimeData files;
        files.setUrls({ QUrl::fromLocalFile(dir.filePath("d.lmk")) });
        f.dialogs.answerMessage(MsgAnswer::No, QStringLiteral("変更された内容をファイルに保存しますか？"));
        drop(files);
        QCOMPARE(f.window.DocumentText(), QStringLiteral("D.TXT"));
    }
};

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
