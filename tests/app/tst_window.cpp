// The main window's wiring: its menus, toolbar and status bar reach the document and the
// platform, its settings come and go with the window, the busy indicator follows requests.

#include "app/frmMain.h"
#include "app/shortcutfile.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/keyboard.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QScreen>
#include <QTest>

using platform::MsgAnswer;

// A window over a fresh store and fake platform; its browser picks the next of `choices` ("" or
// none: Cancel), its server reads a file as its name in capitals and saves whatever it gets.
struct Fixture {
    // stored: "Section/Key=value;..." in the store before the window loads.
    explicit Fixture(const QString &stored = {}, const QString &commandLine = {})
    {
        for (const QString &entry : stored.split(u';', Qt::SkipEmptyParts))
            settings.store().SaveSetting(
                entry.section(u'/', 0, 0), entry.section(u'/', 1).section(u'=', 0, 0), entry.section(u'=', 1));
        window.SetCommandLine(commandLine);
        window.document.seams.showFiler = [this] {
            log.append(QStringLiteral("filer%1").arg(modPublic::lngFilerMode));
            const QString choice = choices.isEmpty() ? QString() : choices.takeFirst();
            if ((modPublic::blnFilerOK = !choice.isEmpty()))
                modPublic::strCurrentFile = choice;
        };
        window.document.seams.readFile = [this](const QString &, const QString &file) {
            log.append(QStringLiteral("read %1 busy=%2 enabled=%3 panel=%4")
                           .arg(file)
                           .arg(window.BusyIndicator()->isVisible())
                           .arg(window.isEnabled())
                           .arg(window.PanelText(QStringLiteral("filename"))));
            return file.toUpper();
        };
        window.document.seams.saveFile = [this](const QString &, const QString &file, const QString &text) {
            log.append(QStringLiteral("save %1 %2").arg(file, text));
            return QStringLiteral("OK");
        };
        modPublic::strCurrentFolder = QStringLiteral("data");
        modPublic::strCurrentFile = QStringLiteral("a.txt");
        window.Form_Load();
    }
    QString Stored(const QString &section, const QString &key) const
    {
        return settings.reopened()->GetSetting(section, key, {});
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

    void commandsReachTheDocument_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("log");
        const char *rows[][2] = { { "menuNew", "" }, { "new", "" }, { "menuOpen", "filer0" }, { "open", "filer0" },
            { "menuSave", "save a.txt A" }, { "save", "save a.txt A" }, { "menuSaveAs", "filer1" } };
        for (const auto &[action, log] : rows)
            QTest::newRow(action) << action << log;
    }
    // The File menu's items and the toolbar's buttons run the document's commands.
    void commandsReachTheDocument()
    {
        QFETCH(QString, action);
        Fixture f;
        f.window.SetDocumentText(QStringLiteral("A"));
        f.window.document.blnModified = false;
        f.window.findChild<QAction *>(action)->trigger();
        QTEST(f.log.join(u'|'), "log");
        QCOMPARE(f.window.DocumentText().isEmpty(), action.endsWith(QLatin1String("ew")));
        // The shortcut command needs an open file.
        emit f.window.mhdFile->aboutToShow();
        QCOMPARE(f.window.menuShortcut->isEnabled(), !action.endsWith(QLatin1String("ew")));
    }

    // While a file is read the window is disabled, the busy indicator and the note are up;
    // after it all is as before, the panel names the file and the recent files list it last.
    void busyWhileTheServerWorks()
    {
        Fixture f;
        f.choices = QStringList { QStringLiteral("b&c.txt"), QStringLiteral("d.txt") };
        f.window.menuOpen->trigger();
        f.window.menuOpen->trigger();
        QCOMPARE(f.log.join(u'|'),
            QStringLiteral("filer0|read b&c.txt busy=1 enabled=0 panel=読み込んでいます…|"
                           "filer0|read d.txt busy=1 enabled=0 panel=読み込んでいます…"));
        QVERIFY(!f.window.BusyIndicator()->isVisibleTo(&f.window) && f.window.isEnabled());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(
            f.window.PanelText(QStringLiteral("filename")) + f.window.DocumentText(), QStringLiteral("d.txtD.TXT"));
        QCOMPARE(f.window.menuRecentFiles.size(), 2);
        QCOMPARE(f.window.menuRecentFiles[0]->text(), QStringLiteral("b&&c.txt"));
        f.window.menuRecentFiles[0]->trigger();
        QCOMPARE(f.window.DocumentText(), QStringLiteral("B&C.TXT"));
        QCOMPARE(f.window.menuRecentFiles[1]->text(), QStringLiteral("b&&c.txt"));
    }

    // Start-up applies the stored settings and writes "UpdateInfo"; closing asks about unsaved
    // text, may be cancelled, and otherwise writes the settings back.
    void settingsComeAndGo()
    {
        Fixture f(QStringLiteral("Setting/Wrap=False;Setting/FontSize=12.5;History/Count=1;History/File1=old.txt"));
        QVERIFY(!f.window.WordWrap() && !f.window.menuWrap->isChecked());
        QVERIFY(!f.window.ToolButton(QStringLiteral("wrap"))->isChecked());
        QCOMPARE(f.window.txtMain->font().pointSizeF(), 12.5);
        QCOMPARE(f.window.PanelText(QStringLiteral("font")), QStringLiteral("ＭＳ ゴシック 12pt"));
        QCOMPARE(f.window.menuRecentFiles[0]->text(), QStringLiteral("old.txt"));
        QCOMPARE(f.Stored(QStringLiteral("UpdateInfo"), QStringLiteral("ApplicationPath")),
            QCoreApplication::applicationDirPath());
        QVERIFY(!f.Stored(QStringLiteral("UpdateInfo"), QStringLiteral("CurrentVersion")).isEmpty());

        testsupport::typeText(f.window.txtMain, QStringLiteral("x"));
        f.window.menuWrap->trigger();
        f.dialogs.answerMessage(MsgAnswer::Cancel, QStringLiteral("変更された内容をファイルに保存しますか？"));
        QVERIFY(!f.window.close() && f.window.isVisible());
        QCOMPARE(f.Stored(QStringLiteral("Setting"), QStringLiteral("Wrap")), QStringLiteral("False"));
        f.dialogs.answerMessage(MsgAnswer::No);
        QVERIFY(f.window.close());
        QCOMPARE(f.Stored(QStringLiteral("Setting"), QStringLiteral("Wrap")), QStringLiteral("True"));
        QCOMPARE(f.Stored(QStringLiteral("History"), QStringLiteral("File1")), QStringLiteral("old.txt"));
        QCOMPARE(f.Stored(QStringLiteral("Window"), QStringLiteral("Width")).toDouble(),
            f.window.frameGeometry().width() * 1440.0 / f.window.screen()->logicalDotsPerInchX());
    }

    // The box fills the client area; typing updates the count panel and marks the document;
    // word wrap follows the menu and the button together; the font comes from the font dialog.
    void boxPanelsWrapAndFont()
    {
        Fixture f;
        QVERIFY(!f.window.menuRecentFiles[0]->isEnabled());
        QVERIFY(f.window.txtMain->width() > f.window.centralWidget()->width() - 10);
        QVERIFY(f.window.txtMain->height() > f.window.centralWidget()->height() - 10);
        QVERIFY(!f.window.document.blnModified);
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
        f.window.ToolButton(QStringLiteral("font"))->trigger();
        QCOMPARE(f.dialogs.fontRequests[0].family + QString::number(f.dialogs.fontRequests[0].pointSize),
            QStringLiteral("ＭＳ ゴシック11"));
        QCOMPARE(f.window.txtMain->font().pointSizeF(), 20.5);
        QCOMPARE(f.window.PanelText(QStringLiteral("font")), QStringLiteral("IPAGothic 20pt"));
        QCOMPARE(f.Stored(QStringLiteral("Setting"), QStringLiteral("FontName")), QStringLiteral("IPAGothic"));
    }

    // Cut, copy and paste go through the clipboard with LF line breaks; look-ups and help go to
    // the desktop's "open".
    void clipboardAndShell()
    {
        Fixture f;
        f.window.SetDocumentText(QStringLiteral("ab\r\ncd"));
        f.window.txtMain->selectAll();
        f.window.menuCopy->trigger();
        QCOMPARE(f.clipboard.text, QStringLiteral("ab\ncd"));
        f.window.menuGoogle->trigger();
        f.window.menuCut->trigger();
        f.clipboard.SetText(QStringLiteral("xy"));
        f.window.menuPaste->trigger();
        f.window.menuPaste->trigger();
        QCOMPARE(f.window.DocumentText(), QStringLiteral("xyxy"));
        f.window.menuHelp->trigger();
        QCOMPARE(f.shell.opened.value(0).toEncoded(), QByteArray("http://www.google.co.jp/search?hl=ja&q=ab%0Acd"));
        QCOMPARE(f.shell.opened.value(1),
            QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/Lumeno.chm")));
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
        for (const QString name : { QStringLiteral("1.pdf"), QStringLiteral("2.pdf") }) {
            QFile pdf(dir.filePath(name));
            QVERIFY2(pdf.open(QIODevice::ReadOnly), qPrintable(name));
            QVERIFY(pdf.readAll().count("/Type /Page\n") >= 2);
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
            QCoreApplication::processEvents();
        };
        QMimeData text;
        text.setText(QStringLiteral("x\ry\r\n"));
        drop(text);
        QCOMPARE(f.window.DocumentText(), QStringLiteral("x\r\ny\r\n"));
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("l.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("\x82\xa0\n") == 3);
        file.close();
        QMimeData files;
        files.setUrls({ QUrl::fromLocalFile(file.fileName()) });
        files.setText(file.fileName());
        f.dialogs.answerMessage(MsgAnswer::No, QStringLiteral("変更された内容をファイルに保存しますか？"));
        drop(files);
        QCOMPARE(
            f.window.DocumentText() + f.window.PanelText(QStringLiteral("filename")), QStringLiteral("あ\n(No File)"));
    }

    // The command line names a shortcut; its file opens at the first activation only.
    void commandLineShortcutOpensOnce()
    {
        QTemporaryDir dir;
        QVERIFY(app::WriteShortcut(
            dir.filePath(QStringLiteral("s.lmk")), { QStringLiteral("data"), QStringLiteral("s.txt") }));
        Fixture f({}, dir.filePath(QStringLiteral("s.lmk")));
        f.window.Form_Activate();
        f.window.Form_Activate();
        QCOMPARE(f.log.size(), 1);
        QCOMPARE(f.window.DocumentText() + modPublic::strCurrentFile, QStringLiteral("S.TXTs.txt"));
    }
};

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
