#include "app/frmMain.h"
#include "dialogs/finder/frmFinder.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

namespace {

// The main window with the file browser played by the test: every showing is recorded and
// answered with Cancel.
class CommandMain final : public frmMain {
public:
    QList<int> filerModes; // lngFilerMode at each showing
    bool closed = false;

    void ShowFiler() override { filerModes.append(modPublic::lngFilerMode); }
    void RegisterShortcutType() override { }

protected:
    void closeEvent(QCloseEvent *event) override
    {
        frmMain::closeEvent(event);
        closed = event->isAccepted();
    }
};

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();

    void clipboardCommands_data();
    void clipboardCommands();
    void pastedLineBreaksBecomeTheDocumentsOwn();
    void keysRunTheEditMenusCommands_data();
    void keysRunTheEditMenusCommands();
    void boxKeepsItsOwnEditingKeys();
    void lookUpEncodesTheSelectedLines();
    void findDialogKeepsTheModeItOpenedIn();
    void commandsReachTheirOperations_data();
    void commandsReachTheirOperations();
    void unknownToolbarKeyDoesNothing_data();
    void unknownToolbarKeyDoesNothing();

private:
    void Select(int start, int length);
    // Everything the last command did that the fakes and the window can tell.
    QStringList Effects() const;
    void ShowActive();

    std::unique_ptr<testsupport::TempSettings> m_settings;
    std::unique_ptr<testsupport::FakeDialogs> m_dialogs;
    std::unique_ptr<testsupport::FakeShell> m_shell;
    std::unique_ptr<testsupport::FakeClipboard> m_clipboard;
    std::unique_ptr<CommandMain> m_window;
    QString m_textBefore;
    QStringList m_requests; // "SAVEFILE data/a.txt"
    QStringList m_modals; // modal dialogs shown, by class
    QTimer m_modalWatch;
};

void TestCommands::init()
{
    m_settings = std::make_unique<testsupport::TempSettings>();
    m_dialogs = std::make_unique<testsupport::FakeDialogs>();
    m_shell = std::make_unique<testsupport::FakeShell>();
    m_clipboard = std::make_unique<testsupport::FakeClipboard>();
    m_window = std::make_unique<CommandMain>();
    m_window->SetCommandLine(QString());
    modPublic::strCurrentFolder.clear();
    modPublic::strCurrentFile.clear();
    modPublic::blnReplaceMode = 0;
    m_requests.clear();
    m_modals.clear();
    modPublic::setCommandHandler([this](const QString &, const modPublic::FieldList &fields) {
        QString command, file;
        for (const auto &[name, value] : fields) {
            if (name == QLatin1String("command"))
                command = value;
            else if (name == QLatin1String("file"))
                file = value;
        }
        m_requests.append(command + QLatin1Char(' ') + file);
        if (command == QLatin1String("READFILE"))
            return file + QStringLiteral("\nread from the server");
        return command == QLatin1String("SAVEFILE") ? QStringLiteral("Save OK\n") : QStringLiteral("NG");
    });
    // A modal dialog is recorded with its owner and closed as soon as its loop runs.
    m_modalWatch.setInterval(0);
    connect(&m_modalWatch, &QTimer::timeout, this, [this] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        const bool owned = dialog->parentWidget() == m_window.get();
        m_modals.append(QLatin1String(dialog->metaObject()->className()) + (owned ? "" : " (not owned)"));
        dialog->reject();
    });
}

void TestCommands::cleanup()
{
    m_modalWatch.stop();
    m_modalWatch.disconnect();
    modPublic::setCommandHandler(nullptr);
    m_window->blnModified = false;
    m_window.reset();
    QVERIFY2(m_dialogs->unexpected.isEmpty(), qPrintable(m_dialogs->unexpected.join(QLatin1Char('\n'))));
    QVERIFY(m_dialogs->allAnswersUsed());
    m_clipboard.reset();
    m_shell.reset();
    m_dialogs.reset();
    m_settings.reset();
    modPublic::strCurrentFolder.clear();
    modPublic::strCurrentFile.clear();
}

void TestCommands::Select(int start, int length)
{
    QTextCursor cursor(m_window->txtMain->document());
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    m_window->txtMain->setTextCursor(cursor);
}

void TestCommands::ShowActive()
{
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->txtMain->setFocus();
    QTRY_VERIFY(m_window->txtMain->hasFocus());
}

QStringList TestCommands::Effects() const
{
    QStringList effects;
    for (int mode : m_window->filerModes)
        effects << (mode == 0 ? QStringLiteral("file browser: open") : QStringLiteral("file browser: save"));
    for (const QString &request : m_requests)
        effects << QStringLiteral("server: ") + request;
    if (m_dialogs->printRequests > 0)
        effects << QStringLiteral("print dialog");
    if (m_dialogs->printerSetupRequests > 0)
        effects << QStringLiteral("printer setup");
    if (!m_dialogs->fontRequests.isEmpty())
        effects << QStringLiteral("font dialog");
    if (!m_dialogs->saveRequests.isEmpty())
        effects << QStringLiteral("local file dialog");
    for (const QString &text : m_dialogs->messageTexts())
        effects << QStringLiteral("message: ") + text;
    if (m_clipboard->writes > 0 || m_clipboard->clears > 0)
        effects << QStringLiteral("clipboard: ") + m_clipboard->text;
    if (m_window->DocumentText() != m_textBefore)
        effects << QStringLiteral("text: ") + m_window->DocumentText();
    for (const QUrl &url : m_shell->opened)
        effects << QStringLiteral("open: ") + url.toString(QUrl::FullyEncoded);
    if (frmFinder *finder = m_window->Finder())
        effects << (finder->IsReplaceMode() ? QStringLiteral("find dialog: replace")
                                            : QStringLiteral("find dialog: find"));
    if (!m_window->WordWrap())
        effects << QStringLiteral("wrap: off");
    for (const QString &modal : m_modals)
        effects << QStringLiteral("modal: ") + modal;
    if (m_window->closed)
        effects << QStringLiteral("closed");
    return effects;
}

// Cut and copy put the selection on the clipboard, cut and paste change the text, on either
// wrap state; nothing selected or nothing to paste does nothing and leaves the clipboard alone.
void TestCommands::clipboardCommands_data()
{
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<int>("selectionLength");
    QTest::addColumn<bool>("clipboardHasText"); // false: empty, or a picture only
    QTest::addColumn<QString>("text"); // the document's text afterwards
    QTest::addColumn<QString>("clipboard"); // the clipboard's text afterwards
    QTest::addColumn<int>("clipboardWrites");
    QTest::addColumn<bool>("modified");
    // The document is "abc 日本\r\nxyz"; the clipboard holds "before" when it holds text.
    const QString doc = QStringLiteral("abc 日本\r\nxyz");
    const QString before = QStringLiteral("before");
    for (const bool wrap : { true, false }) {
        const char *state = wrap ? "wrap on" : "wrap off";
        QTest::addRow("%s: cut", state) << wrap << "cut" << 4 << 2 << true << QStringLiteral("abc \r\nxyz")
                                        << QStringLiteral("日本") << 1 << true;
        QTest::addRow("%s: cut over a line break", state)
            << wrap << "cut" << 4 << 4 << true << QStringLiteral("abc yz") << QStringLiteral("日本\nx") << 1 << true;
        QTest::addRow("%s: cut, nothing selected", state)
            << wrap << "cut" << 2 << 0 << true << doc << before << 0 << false;
        QTest::addRow("%s: copy", state) << wrap << "copy" << 0 << 3 << true << doc << QStringLiteral("abc") << 1
                                         << false;
        QTest::addRow("%s: copy onto an empty clipboard", state)
            << wrap << "copy" << 7 << 3 << false << doc << QStringLiteral("xyz") << 1 << false;
        QTest::addRow("%s: copy, nothing selected", state)
            << wrap << "copy" << 5 << 0 << true << doc << before << 0 << false;
        QTest::addRow("%s: paste over the selection", state)
            << wrap << "paste" << 0 << 3 << true << QStringLiteral("before 日本\r\nxyz") << before << 0 << true;
        QTest::addRow("%s: paste, no text on the clipboard", state)
            << wrap << "paste" << 0 << 3 << false << doc << QString() << 0 << false;
    }
}

void TestCommands::clipboardCommands()
{
    QFETCH(bool, wrap);
    QFETCH(QString, command);
    QFETCH(int, selectionStart);
    QFETCH(int, selectionLength);
    QFETCH(bool, clipboardHasText);
    m_window->SetDocumentText(QStringLiteral("abc 日本\r\nxyz"));
    m_window->SetWordWrap(wrap);
    m_window->blnModified = false;
    if (clipboardHasText)
        m_clipboard->text = QStringLiteral("before");
    m_clipboard->hasText = clipboardHasText;
    Select(selectionStart, selectionLength);

    if (command == QLatin1String("cut"))
        m_window->CutText();
    else if (command == QLatin1String("copy"))
        m_window->CopyText();
    else
        m_window->PasteText();

    QTEST(m_window->DocumentText(), "text");
    QTEST(m_clipboard->Text(), "clipboard");
    QTEST(m_clipboard->writes, "clipboardWrites");
    // The clipboard is emptied only to take the new text.
    QCOMPARE(m_clipboard->clears, m_clipboard->writes);
    QTEST(m_window->blnModified, "modified");
    QCOMPARE(m_window->WordWrap(), wrap);
    QCOMPARE(m_window->PanelText(QStringLiteral("count")), app::CountPanelText(m_window->Counts()));
}

// Pasted text with CR LF or CR line breaks gives one line break each, in the document's style.
void TestCommands::pastedLineBreaksBecomeTheDocumentsOwn()
{
    m_window->SetDocumentText(QStringLiteral("top\r\nend"));
    m_clipboard->SetText(QStringLiteral("one\r\ntwo\rthree\nfour"));
    Select(3, 0);

    m_window->PasteText();

    QCOMPARE(m_window->DocumentText(), QStringLiteral("topone\r\ntwo\r\nthree\r\nfour\r\nend"));
}

// The platform's cut, copy and paste keys in the editing box run the Edit menu's commands, so
// they reach the same clipboard as the menu and the toolbar.
void TestCommands::keysRunTheEditMenusCommands_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clipboard");
    const QString doc = QStringLiteral("Lumeno web");
    const struct {
        QKeySequence::StandardKey command;
        const char *name;
        QString text;
        QString clipboard;
    } commands[] = {
        { QKeySequence::Cut, "cut", QStringLiteral("Lumeno "), QStringLiteral("web") },
        { QKeySequence::Copy, "copy", doc, QStringLiteral("web") },
        { QKeySequence::Paste, "paste", QStringLiteral("Lumeno clip"), QStringLiteral("clip") },
    };
    for (const auto &command : commands) {
        for (const QKeySequence &key : QKeySequence::keyBindings(command.command)) {
            if (key[0].key() >= Qt::Key_F13 && key[0].key() <= Qt::Key_F35)
                continue; // the function keys of Sun keyboards
            QTest::addRow("%s: %s", command.name, qPrintable(key.toString()))
                << key << command.text << command.clipboard;
        }
    }
}

void TestCommands::keysRunTheEditMenusCommands()
{
    QFETCH(QKeySequence, key);
    m_window->SetDocumentText(QStringLiteral("Lumeno web"));
    m_clipboard->text = QStringLiteral("clip");
    m_clipboard->hasText = true;
    Select(7, 3);
    ShowActive();

    QTest::keySequence(m_window->txtMain, key);

    QTEST(m_window->DocumentText(), "text");
    QTEST(m_clipboard->Text(), "clipboard");
}

// Undo (Ctrl+Z), redo (the platform's keys and Ctrl+Y) and select-all stay with the editing
// box; undo takes back a cut.
void TestCommands::boxKeepsItsOwnEditingKeys()
{
    m_window->SetDocumentText(QStringLiteral("Lumeno web"));
    Select(7, 3);
    ShowActive();

    m_window->menuCut->trigger();
    QCOMPARE(m_window->DocumentText(), QStringLiteral("Lumeno "));
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    redoKeys << QKeySequence(Qt::CTRL | Qt::Key_Y);
    for (const QKeySequence &redo : std::as_const(redoKeys)) {
        QTest::keySequence(m_window->txtMain, QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(m_window->DocumentText(), QStringLiteral("Lumeno web"));
        QTest::keySequence(m_window->txtMain, redo);
        QVERIFY2(m_window->DocumentText() == QStringLiteral("Lumeno "), qPrintable(redo.toString()));
    }
    QTest::keySequence(m_window->txtMain, QKeySequence::SelectAll);
    QCOMPARE(m_window->txtMain->textCursor().selectedText(), QStringLiteral("Lumeno "));
    QCOMPARE(m_clipboard->writes, 1);
}

// A selection over several lines is looked up with its line breaks encoded, not cut short.
void TestCommands::lookUpEncodesTheSelectedLines()
{
    m_window->SetDocumentText(QStringLiteral("AT&T\r\n#1 日本"));
    Select(0, 10);

    m_window->menuWikipedia->trigger();
    m_window->menuGoogle->trigger();

    QCOMPARE(m_shell->opened.size(), 2);
    QCOMPARE(
        m_shell->opened[0].toEncoded(), QByteArray("http://ja.wikipedia.org/wiki/AT%26T%0A%231%20%E6%97%A5%E6%9C%AC"));
    QCOMPARE(m_shell->opened[1].toEncoded(),
        QByteArray("http://www.google.co.jp/search?hl=ja&q=AT%26T%0A%231%20%E6%97%A5%E6%9C%AC"));
}

// The find dialog opens modeless, owned by the window, in the mode asked for; while it is
// open a second request only brings it to the front and it keeps its mode; closed, it opens
// afresh in the new mode.
void TestCommands::findDialogKeepsTheModeItOpenedIn()
{
    modPublic::blnReplaceMode = 1;
    m_window->menuReplace->trigger();
    QPointer<frmFinder> first = m_window->Finder();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(!first->isModal());
    QCOMPARE(first->parentWidget(), m_window.get());
    QVERIFY(first->IsReplaceMode());

    m_window->ToolButton(QStringLiteral("search"))->trigger();
    QCOMPARE(m_window->Finder(), first);
    QVERIFY(first->IsReplaceMode());
    QCOMPARE(modPublic::blnReplaceMode, 0);
    QVERIFY(m_window->isEnabled());

    first->close();
    QTRY_VERIFY(!first);
    m_window->ToolButton(QStringLiteral("search"))->trigger();
    QVERIFY(m_window->Finder());
    QVERIFY(!m_window->Finder()->IsReplaceMode());
}

// Every toolbar button and menu item runs its own operation and nothing else.
void TestCommands::commandsReachTheirOperations_data()
{
    QTest::addColumn<QString>("control"); // "tool:<key>" or the menu item's name
    QTest::addColumn<bool>("named"); // a file is open: data/a.txt
    QTest::addColumn<QStringList>("effects");
    const QString help = QStringLiteral("open: ")
        + QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/Lumeno.chm"))
              .toString(QUrl::FullyEncoded);
    const struct {
        const char *tool;
        const char *menu;
        bool named;
        QStringList effects;
    } rows[] = {
        { "new", "menuNew", false, { QStringLiteral("text: ") } },
        { "open", "menuOpen", false, { QStringLiteral("file browser: open") } },
        { "save", "menuSave", false, { QStringLiteral("file browser: save") } },
        { "save", "menuSave", true, { QStringLiteral("server: SAVEFILE data/a.txt") } },
        { nullptr, "menuSaveAs", true, { QStringLiteral("file browser: save") } },
        { nullptr, "menuShortcut", true, { QStringLiteral("local file dialog") } },
        { "print", "menuPrint", false, { QStringLiteral("print dialog") } },
        { nullptr, "menuPrintConfig", false, { QStringLiteral("printer setup") } },
        { nullptr, "menuRecentFiles", false,
            { QStringLiteral("server: READFILE data/b.txt"), QStringLiteral("text: read from the server") } },
        { nullptr, "menuQuit", false, { QStringLiteral("closed") } },
        { "cut", "menuCut", false, { QStringLiteral("clipboard: web"), QStringLiteral("text: Lumeno ") } },
        { "copy", "menuCopy", false, { QStringLiteral("clipboard: web") } },
        { "paste", "menuPaste", false, { QStringLiteral("text: Lumeno clip") } },
        { "google", "menuGoogle", false, { QStringLiteral("open: http://www.google.co.jp/search?hl=ja&q=web") } },
        { "wikipedia", "menuWikipedia", false, { QStringLiteral("open: http://ja.wikipedia.org/wiki/web") } },
        { "search", "menuSearch", false, { QStringLiteral("find dialog: find") } },
        { nullptr, "menuReplace", false, { QStringLiteral("find dialog: replace") } },
        { "font", "menuFont", false, { QStringLiteral("font dialog") } },
        { "wrap", "menuWrap", false, { QStringLiteral("wrap: off") } },
        { "config", "menuOption", false, { QStringLiteral("modal: frmConfig") } },
        { "help", "menuHelp", false, { help } },
        { nullptr, "menuVersion", false, { QStringLiteral("modal: frmVersion") } },
    };
    for (const auto &row : rows) {
        const char *state = row.named ? ", named" : "";
        QTest::addRow("%s%s", row.menu, state) << QString::fromLatin1(row.menu) << row.named << row.effects;
        if (row.tool)
            QTest::addRow("tool %s%s", row.tool, state)
                << QStringLiteral("tool:") + QLatin1String(row.tool) << row.named << row.effects;
    }
}

void TestCommands::commandsReachTheirOperations()
{
    QFETCH(QString, control);
    QFETCH(bool, named);
    m_window->SetDocumentText(QStringLiteral("Lumeno web"));
    m_window->blnModified = false;
    if (named) {
        modPublic::strCurrentFolder = QStringLiteral("data");
        modPublic::strCurrentFile = QStringLiteral("a.txt");
    }
    m_window->arrHistory = { { QStringLiteral("data"), QStringLiteral("b.txt") } };
    m_window->RefreshHistoryMenu();
    m_clipboard->text = QStringLiteral("clip");
    m_clipboard->hasText = true;
    Select(7, 3);
    m_textBefore = m_window->DocumentText();
    QAction *action = control.startsWith(QLatin1String("tool:")) ? m_window->ToolButton(control.mid(5))
                                                                 : m_window->findChild<QAction *>(control);
    QVERIFY(action);

    m_modalWatch.start();
    action->trigger();
    m_modalWatch.stop();

    QTEST(Effects(), "effects");
    // The dialogs the commands asked for were answered with Cancel, as the fake does unasked.
    m_dialogs->unexpected.clear();
}

// A key that is not in the toolbar's table does nothing.
void TestCommands::unknownToolbarKeyDoesNothing_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("unknown") << QStringLiteral("unknown");
    QTest::newRow("empty") << QString();
    QTest::newRow("other case") << QStringLiteral("Save");
    QTest::newRow("replace has no button") << QStringLiteral("replace");
    QTest::newRow("version has no button") << QStringLiteral("version");
}

void TestCommands::unknownToolbarKeyDoesNothing()
{
    QFETCH(QString, key);
    m_window->SetDocumentText(QStringLiteral("Lumeno web"));
    m_window->blnModified = true;
    Select(7, 3);
    m_textBefore = m_window->DocumentText();

    m_modalWatch.start();
    m_window->toolMain_ButtonClick(key);
    m_modalWatch.stop();

    QCOMPARE(Effects(), QStringList());
    QVERIFY(m_window->blnModified);
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
