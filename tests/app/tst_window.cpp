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
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QTest>

using platform::MsgAnswer;

namespace {

class Window : public frmMain {
public:
    void RegisterShortcutType() override { }
};

} // namespace

class tst_Window : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();
    void commandsReachTheDocument_data();
    void commandsReachTheDocument();
    void busyWhileTheServerWorks();
    void settingsComeAndGo();
    void boxPanelsWrapAndFont();
    void clipboardAndShell();
    void printsEachCopy();
    void commandLineShortcutOpensOnce();

private:
    // Loads a window over the store; its browser picks the next of `choices` ("" cancels).
    Window &Load(const QString &commandLine = {})
    {
        m_window = std::make_unique<Window>();
        m_window->SetCommandLine(commandLine);
        m_window->document.seams.showFiler = [this] {
            m_log.append(QStringLiteral("filer%1").arg(modPublic::lngFilerMode));
            const QString choice = m_choices.isEmpty() ? QString() : m_choices.takeFirst();
            modPublic::blnFilerOK = !choice.isEmpty();
            modPublic::strCurrentFolder = QStringLiteral("data");
            modPublic::strCurrentFile = choice;
        };
        m_window->document.seams.readFile = [this](const QString &, const QString &file) {
            m_log.append(QStringLiteral("read %1 busy=%2 enabled=%3 panel=%4")
                    .arg(file)
                    .arg(m_window->BusyIndicator()->isVisible())
                    .arg(m_window->isEnabled())
                    .arg(m_window->PanelText(QStringLiteral("filename"))));
            return file.toUpper();
        };
        m_window->document.seams.saveFile = [this](const QString &, const QString &file, const QString &text) {
            m_log.append(QStringLiteral("save %1 %2").arg(file, text));
            return QStringLiteral("OK");
        };
        m_window->Form_Load();
        return *m_window;
    }
    QString Store(const QString &section, const QString &key) { return m_settings->store().GetSetting(section, key, {}); }

    QStringList m_log;
    QStringList m_choices;
    std::unique_ptr<testsupport::TempSettings> m_settings;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<testsupport::FakeClipboard> m_clipboard;
    std::unique_ptr<testsupport::FakeShell> m_shell;
    std::unique_ptr<Window> m_window;
};

void tst_Window::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    m_log.clear();
    m_settings = std::make_unique<testsupport::TempSettings>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
    m_clipboard = std::make_unique<testsupport::FakeClipboard>();
    m_shell = std::make_unique<testsupport::FakeShell>();
    modPublic::strCurrentFolder = QStringLiteral("data");
    modPublic::strCurrentFile = QStringLiteral("a.txt");
}

void tst_Window::cleanup()
{
    m_window.reset();
    m_shell.reset();
    m_clipboard.reset();
    m_dialogs.reset();
    m_settings.reset();
}

void tst_Window::commandsReachTheDocument_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("log");
    QTest::newRow("menuNew") << "menuNew" << "";
    QTest::newRow("new button") << "new" << "";
    QTest::newRow("menuOpen") << "menuOpen" << "filer0";
    QTest::newRow("open button") << "open" << "filer0";
    QTest::newRow("menuSave") << "menuSave" << "save a.txt A";
    QTest::newRow("save button") << "save" << "save a.txt A";
    QTest::newRow("menuSaveAs") << "menuSaveAs" << "filer1";
}

// The File menu's items and the toolbar's buttons run the document's commands.
void tst_Window::commandsReachTheDocument()
{
    QFETCH(QString, action);
    Window &window = Load();
    window.SetDocumentText(QStringLiteral("A"));
    window.document.blnModified = false;
    window.findChild<QAction *>(action)->trigger();
    QTEST(m_log.join(u'|'), "log");
    QCOMPARE(window.DocumentText().isEmpty(), action.endsWith(QLatin1String("ew")));
}

// While a file is read the window is disabled, the busy indicator and the note are up; after
// it all is as before, the panel names the file and the recent-files menu lists it last.
void tst_Window::busyWhileTheServerWorks()
{
    Window &window = Load();
    m_choices = { QStringLiteral("b&c.txt"), QStringLiteral("d.txt") };
    window.menuOpen->trigger();
    window.menuOpen->trigger();
    QCOMPARE(m_log.join(u'|'),
        QStringLiteral("filer0|read b&c.txt busy=1 enabled=0 panel=読み込んでいます…|"
                       "filer0|read d.txt busy=1 enabled=0 panel=読み込んでいます…"));
    QVERIFY(!window.BusyIndicator()->isVisibleTo(&window));
    QVERIFY(window.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(window.PanelText(QStringLiteral("filename")), QStringLiteral("d.txt"));
    QCOMPARE(window.DocumentText(), QStringLiteral("D.TXT"));
    QCOMPARE(window.menuRecentFiles.size(), 2);
    QCOMPARE(window.menuRecentFiles[0]->text() + u'|' + window.menuRecentFiles[1]->text(), QStringLiteral("b&&c.txt|d.txt"));
    window.menuRecentFiles[0]->trigger();
    QCOMPARE(window.DocumentText(), QStringLiteral("B&C.TXT"));
    QCOMPARE(window.menuRecentFiles.size(), 2);
    QCOMPARE(window.menuRecentFiles[1]->text(), QStringLiteral("b&&c.txt"));
}

// Start-up applies the stored settings and writes "UpdateInfo"; closing asks about unsaved
// text, may be cancelled, and otherwise writes the settings back.
void tst_Window::settingsComeAndGo()
{
    platform::SettingsStore &store = m_settings->store();
    store.SaveSetting(QStringLiteral("Setting"), QStringLiteral("Wrap"), QStringLiteral("False"));
    store.SaveSetting(QStringLiteral("Setting"), QStringLiteral("FontSize"), QStringLiteral("12.5"));
    store.SaveSetting(QStringLiteral("History"), QStringLiteral("Count"), QStringLiteral("1"));
    store.SaveSetting(QStringLiteral("History"), QStringLiteral("File1"), QStringLiteral("old.txt"));
    Window &window = Load();
    QVERIFY(!window.WordWrap() && !window.menuWrap->isChecked() && !window.ToolButton(QStringLiteral("wrap"))->isChecked());
    QCOMPARE(window.txtMain->font().pointSizeF(), 12.5);
    QCOMPARE(window.PanelText(QStringLiteral("font")), QStringLiteral("ＭＳ ゴシック 12pt"));
    QCOMPARE(window.menuRecentFiles[0]->text(), QStringLiteral("old.txt"));
    QCOMPARE(Store(QStringLiteral("UpdateInfo"), QStringLiteral("ApplicationPath")), QCoreApplication::applicationDirPath());
    QVERIFY(!Store(QStringLiteral("UpdateInfo"), QStringLiteral("CurrentVersion")).isEmpty());

    testsupport::typeText(window.txtMain, QStringLiteral("x"));
    window.menuWrap->trigger();
    m_dialogs->answerMessage(MsgAnswer::Cancel, QStringLiteral("変更された内容をファイルに保存しますか？"));
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QVERIFY(Store(QStringLiteral("Setting"), QStringLiteral("Wrap")) == QLatin1String("False"));
    m_dialogs->answerMessage(MsgAnswer::No);
    QVERIFY(window.close());
    const auto next = m_settings->reopened();
    QCOMPARE(next->GetSetting(QStringLiteral("Setting"), QStringLiteral("Wrap"), {}), QStringLiteral("True"));
    QCOMPARE(next->GetSetting(QStringLiteral("History"), QStringLiteral("File1"), {}), QStringLiteral("old.txt"));
    QCOMPARE(next->GetNumber(QStringLiteral("Window"), QStringLiteral("Width"), 0), window.frameGeometry().width() * 15.0);
}

// The box fills the client area; typing updates the count panel and marks the document;
// word wrap follows the menu and the button together; the font comes from the font dialog.
void tst_Window::boxPanelsWrapAndFont()
{
    Window &window = Load();
    QVERIFY(window.txtMain->width() > window.centralWidget()->width() - 10);
    QVERIFY(window.txtMain->height() > window.centralWidget()->height() - 10);
    QVERIFY(!window.document.blnModified);
    testsupport::typeText(window.txtMain, QStringLiteral("日本a"));
    QVERIFY(window.document.blnModified);
    QCOMPARE(window.PanelText(QStringLiteral("count")), QStringLiteral("5バイト, 3文字（全角: 2文字, 半角: 1文字）"));
    window.menuWrap->trigger();
    QVERIFY(!window.WordWrap() && !window.ToolButton(QStringLiteral("wrap"))->isChecked());
    window.ToolButton(QStringLiteral("wrap"))->trigger();
    QVERIFY(window.WordWrap() && window.menuWrap->isChecked());
    QCOMPARE(window.txtMain->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    m_dialogs->answerFont(platform::FontChoice { QStringLiteral("IPAGothic"), 20.5 });
    window.ToolButton(QStringLiteral("font"))->trigger();
    QCOMPARE(m_dialogs->fontRequests[0].family + QString::number(m_dialogs->fontRequests[0].pointSize),
        QStringLiteral("ＭＳ ゴシック11"));
    QCOMPARE(window.txtMain->font().pointSizeF(), 20.5);
    QCOMPARE(window.PanelText(QStringLiteral("font")), QStringLiteral("IPAGothic 20pt"));
    QCOMPARE(m_settings->reopened()->GetSetting(QStringLiteral("Setting"), QStringLiteral("FontName"), {}),
        QStringLiteral("IPAGothic"));
}

// Cut, copy and paste go through the clipboard with LF line breaks; look-ups and help go to
// the desktop's "open".
void tst_Window::clipboardAndShell()
{
    Window &window = Load();
    window.SetDocumentText(QStringLiteral("ab\r\ncd"));
    window.txtMain->selectAll();
    window.menuCopy->trigger();
    QCOMPARE(m_clipboard->text, QStringLiteral("ab\ncd"));
    window.menuGoogle->trigger();
    window.menuCut->trigger();
    QCOMPARE(window.DocumentText(), QString());
    m_clipboard->SetText(QStringLiteral("xy"));
    window.menuPaste->trigger();
    window.menuPaste->trigger();
    QCOMPARE(window.DocumentText(), QStringLiteral("xyxy"));
    window.menuHelp->trigger();
    QCOMPARE(m_shell->opened.size(), 2);
    QCOMPARE(m_shell->opened[0].toEncoded(), QByteArray("http://www.google.co.jp/search?hl=ja&q=ab%0Acd"));
    QCOMPARE(m_shell->opened[1], QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/Lumeno.chm")));
}

// Each copy is a job of its own; a long text runs over pages.
void tst_Window::printsEachCopy()
{
    Window &window = Load();
    window.SetDocumentText(QStringLiteral("行\r\n").repeated(300));
    QTemporaryDir dir;
    window.BeforePrintJob = [&](QPrinter &printer, int copy) {
        printer.setOutputFileName(dir.filePath(QStringLiteral("%1.pdf").arg(copy)));
    };
    m_dialogs->answerPrint(true, 2);
    window.menuPrint->trigger();
    for (const QString name : { QStringLiteral("1.pdf"), QStringLiteral("2.pdf") }) {
        QFile pdf(dir.filePath(name));
        QVERIFY2(pdf.open(QIODevice::ReadOnly), qPrintable(name));
        QVERIFY(pdf.readAll().count("/Type /Page\n") >= 2);
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("3.pdf"))));
}

// The command line names a shortcut; its file opens at the first activation only.
void tst_Window::commandLineShortcutOpensOnce()
{
    QTemporaryDir dir;
    const QString lmk = dir.filePath(QStringLiteral("s.lmk"));
    QVERIFY(app::WriteShortcut(lmk, { QStringLiteral("data"), QStringLiteral("s.txt") }));
    Window &window = Load(lmk);
    window.Form_Activate();
    window.Form_Activate();
    QCOMPARE(m_log.size(), 1);
    QCOMPARE(window.DocumentText(), QStringLiteral("S.TXT"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("s.txt"));
}

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
