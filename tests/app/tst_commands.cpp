#include "dialogs/finder/frmFinder.h"
#include "windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTimer>

class TestCommands : public testsupport::WindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        start();
        m_shell = std::make_unique<testsupport::FakeShell>();
        m_clipboard = std::make_unique<testsupport::FakeClipboard>();
        modPublic::blnReplaceMode = 0;
        m_server->files.insert(QStringLiteral("data/b.txt"), QStringLiteral("read from the server"));
        m_modals.clear();
        // A modal dialog is recorded with its owner and closed as soon as its loop runs.
        m_modalWatch.setInterval(0);
        connect(&m_modalWatch, &QTimer::timeout, this, [this] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                m_modals.append(QLatin1String(dialog->metaObject()->className())
                    + (dialog->parentWidget() == m_window.get() ? "" : " (not owned)"));
                dialog->reject();
            }
        });
    }
    void cleanup()
    {
        m_modalWatch.disconnect();
        m_clipboard.reset();
        m_shell.reset();
        finish();
    }

    // Cut and copy put the selection on the clipboard, cut and paste change the text, on either
    // wrap state, pasted line breaks becoming the document's own; nothing selected or nothing to
    // paste does nothing and leaves the clipboard alone.
    void clipboardCommands_data()
    {
        QTest::addColumn<bool>("wrap");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("clip"); // the clipboard's text before; empty: no text, or a picture only
        QTest::addColumn<QString>("text"); // the document's text afterwards, from "abc 日本\r\nxyz"
        QTest::addColumn<QString>("clipboard"); // the clipboard's text afterwards
        QTest::addColumn<int>("writes");
        const QString doc = QStringLiteral("abc 日本\r\nxyz");
        const QString before = QStringLiteral("before");
        const struct {
            const char *name, *command;
            int from, length;
            QString clip, text, clipboard;
            int writes;
        } rows[] = {
            { "cut", "cut", 4, 2, before, "abc \r\nxyz", "日本", 1 },
            { "cut over a line break", "cut", 4, 4, before, "abc yz", "日本\nx", 1 },
            { "cut, nothing selected", "cut", 2, 0, before, doc, before, 0 },
            { "copy", "copy", 0, 3, before, doc, "abc", 1 },
            { "copy onto an empty clipboard", "copy", 7, 3, {}, doc, "xyz", 1 },
            { "copy, nothing selected", "copy", 5, 0, before, doc, before, 0 },
            { "paste over the selection", "paste", 0, 3, before, "before 日本\r\nxyz", before, 0 },
            { "paste, line breaks", "paste", 3, 0, "1\r\n2\r3\n4", "abc1\r\n2\r\n3\r\n4 日本\r\nxyz", "1\r\n2\r3\n4",
                0 },
            { "paste, no text on the clipboard", "paste", 0, 3, {}, doc, {}, 0 },
        };
        for (const bool wrap : { true, false }) {
            for (const auto &row : rows)
                QTest::addRow("%s: %s", wrap ? "wrap on" : "wrap off", row.name)
                    << wrap << row.command << row.from << row.length << row.clip << row.text << row.clipboard
                    << row.writes;
        }
    }
    void clipboardCommands()
    {
        QFETCH(bool, wrap);
        QFETCH(QString, command);
        QFETCH(int, from);
        QFETCH(int, length);
        QFETCH(QString, clip);
        m_window->SetDocumentText(QStringLiteral("abc 日本\r\nxyz"));
        m_window->SetWordWrap(wrap);
        m_window->blnModified = false;
        m_clipboard->text = clip;
        m_clipboard->hasText = !clip.isEmpty();
        select(from, length);

        if (command == QLatin1String("cut"))
            m_window->CutText();
        else if (command == QLatin1String("copy"))
            m_window->CopyText();
        else
            m_window->PasteText();

        QTEST(m_window->DocumentText(), "text");
        QTEST(m_clipboard->Text(), "clipboard");
        QTEST(m_clipboard->writes, "writes");
        QCOMPARE(m_clipboard->clears, m_clipboard->writes); // emptied only to take the new text
        QCOMPARE(m_window->blnModified, m_window->DocumentText() != QStringLiteral("abc 日本\r\nxyz"));
        QCOMPARE(m_window->WordWrap(), wrap);
        QCOMPARE(m_window->PanelText(QStringLiteral("count")), app::CountPanelText(m_window->Counts()));
    }

    // Undo (Ctrl+Z), redo (the platform's keys and Ctrl+Y) and select-all stay with the editing
    // box; undo takes back a cut.
    void boxKeepsItsOwnEditingKeys()
    {
        m_window->SetDocumentText(QStringLiteral("Lumeno web"));
        select(7, 3);
        ShowActive();
        m_window->menuCut->trigger();
        QCOMPARE(m_window->DocumentText(), QStringLiteral("Lumeno "));
        const QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo)
            << QKeySequence(Qt::CTRL | Qt::Key_Y);
        for (const QKeySequence &redo : redoKeys) {
            QTest::keySequence(m_window->txtMain, QKeySequence(Qt::CTRL | Qt::Key_Z));
            QCOMPARE(m_window->DocumentText(), QStringLiteral("Lumeno web"));
            QTest::keySequence(m_window->txtMain, redo);
            QCOMPARE(m_window->DocumentText(), QStringLiteral("Lumeno "));
        }
        QTest::keySequence(m_window->txtMain, QKeySequence::SelectAll);
        QCOMPARE(m_window->txtMain->textCursor().selectedText(), QStringLiteral("Lumeno "));
        QCOMPARE(m_clipboard->writes, 1);
    }

    // The look-up sites get the selection percent-encoded as UTF-8, so that they search for
    // exactly what is selected; nothing selected gives the bare address.
    void lookUpAddresses_data()
    {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("plain word") << "Lumeno" << QByteArray("Lumeno");
        QTest::newRow("two words") << "web server" << QByteArray("web%20server");
        QTest::newRow("AT&T #1") << "AT&T #1" << QByteArray("AT%26T%20%231");
        QTest::newRow("Japanese") << "日本語" << QByteArray("%E6%97%A5%E6%9C%AC%E8%AA%9E");
        QTest::newRow("plus and percent") << "1+1=2 100%" << QByteArray("1%2B1%3D2%20100%25");
        QTest::newRow("slash and question mark") << "a/b?c" << QByteArray("a%2Fb%3Fc");
        QTest::newRow("lines") << "first\r\nsecond" << QByteArray("first%0Asecond");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void lookUpAddresses()
    {
        QFETCH(QString, selection);
        QFETCH(QByteArray, encoded);
        m_window->SetDocumentText(selection);
        m_window->txtMain->selectAll();
        m_window->menuGoogle->trigger();
        m_window->ToolButton(QStringLiteral("wikipedia"))->trigger();
        QCOMPARE(m_shell->opened.size(), 2);
        QCOMPARE(m_shell->opened[0].toEncoded(), "http://www.google.co.jp/search?hl=ja&q=" + encoded);
        QCOMPARE(m_shell->opened[1].toEncoded(), "http://ja.wikipedia.org/wiki/" + encoded);
    }

    // The find dialog opens modeless, owned by the window, in the mode asked for; while it is
    // open a second request only brings it to the front and it keeps its mode; closed, it opens
    // afresh in the new mode.
    void findDialogKeepsTheModeItOpenedIn()
    {
        modPublic::blnReplaceMode = 1;
        m_window->menuReplace->trigger();
        QPointer<frmFinder> first = m_window->Finder();
        QVERIFY(first && first->isVisible() && !first->isModal() && first->IsReplaceMode());
        QCOMPARE(first->parentWidget(), m_window.get());
        m_window->ToolButton(QStringLiteral("search"))->trigger();
        QCOMPARE(m_window->Finder(), first);
        QVERIFY(first->IsReplaceMode());
        QCOMPARE(modPublic::blnReplaceMode, 0);
        first->close();
        QTRY_VERIFY(!first);
        m_window->ToolButton(QStringLiteral("search"))->trigger();
        QVERIFY(m_window->Finder() && !m_window->Finder()->IsReplaceMode());
    }

    // Every menu item (with its shortcut), toolbar button and the box's cut, copy and paste keys
    // run their own operation and nothing else; a key not in the toolbar's table does nothing.
    void commandsReachTheirOperations_data()
    {
        QTest::addColumn<QString>("control"); // the menu item, "tool:" button, "key:" sequence, "dispatch:" key
        QTest::addColumn<bool>("named"); // a file is open: data/a.txt
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<QStringList>("effects");
        const QString help = QStringLiteral("open: ")
            + QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/Lumeno.chm"))
                  .toString(QUrl::FullyEncoded);
        const QStringList cut { QStringLiteral("clipboard: web"), QStringLiteral("text: Lumeno ") };
        const QStringList copy { QStringLiteral("clipboard: web") };
        const QStringList paste { QStringLiteral("text: Lumeno clip") };
        const struct {
            const char *tool, *menu, *shortcut;
            bool named;
            QStringList effects;
        } rows[] = {
            { "new", "menuNew", "Ctrl+N", false, { "text: " } },
            { "open", "menuOpen", "Ctrl+O", false, { "file browser: open" } },
            { "save", "menuSave", "Ctrl+S", false, { "file browser: save" } },
            { "save", "menuSave", "Ctrl+S", true, { "server: SAVEFILE data/a.txt" } },
            { nullptr, "menuSaveAs", "F12", true, { "file browser: save" } },
            { nullptr, "menuShortcut", "Ctrl+L", true, { "local file dialog" } },
            { "print", "menuPrint", "Ctrl+P", false, { "print dialog" } },
            { nullptr, "menuPrintConfig", "", false, { "printer setup" } },
            { nullptr, "menuRecentFiles", "", false, { "server: READFILE data/b.txt", "text: read from the server" } },
            { nullptr, "menuQuit", "", false, { "closed" } },
            { "cut", "menuCut", "Ctrl+X", false, cut },
            { "copy", "menuCopy", "Ctrl+C", false, copy },
            { "paste", "menuPaste", "Ctrl+V", false, paste },
            { "google", "menuGoogle", "Ctrl+G", false, { "open: http://www.google.co.jp/search?hl=ja&q=web" } },
            { "wikipedia", "menuWikipedia", "Ctrl+W", false, { "open: http://ja.wikipedia.org/wiki/web" } },
            { "search", "menuSearch", "Ctrl+F", false, { "find dialog: find" } },
            { nullptr, "menuReplace", "Ctrl+H", false, { "find dialog: replace" } },
            { "font", "menuFont", "", false, { "font dialog" } },
            { "wrap", "menuWrap", "Ctrl+R", false, { "wrap: off" } },
            { "config", "menuOption", "", false, { "modal: frmConfig" } },
            { "help", "menuHelp", "F1", false, { help } },
            { nullptr, "menuVersion", "", false, { "modal: frmVersion" } },
        };
        for (const auto &row : rows) {
            const char *state = row.named ? ", named" : "";
            QTest::addRow("%s%s", row.menu, state) << row.menu << row.named << row.shortcut << row.effects;
            if (row.tool)
                QTest::addRow("tool %s%s", row.tool, state)
                    << QStringLiteral("tool:") + QLatin1String(row.tool) << row.named << QString() << row.effects;
        }
        const std::pair<QKeySequence::StandardKey, QStringList> keys[]
            = { { QKeySequence::Cut, cut }, { QKeySequence::Copy, copy }, { QKeySequence::Paste, paste } };
        for (const auto &[command, effects] : keys) {
            for (const QKeySequence &key : QKeySequence::keyBindings(command)) {
                if (key[0].key() < Qt::Key_F13 || key[0].key() > Qt::Key_F35) // not Sun keyboards' function keys
                    QTest::addRow("key %s", qPrintable(key.toString()))
                        << QStringLiteral("key:") + key.toString() << false << QString() << effects;
            }
        }
        for (const char *key : { "unknown", "", "Save", "replace", "version" })
            QTest::addRow("dispatch '%s'", key)
                << QStringLiteral("dispatch:") + key << false << QString() << QStringList();
    }
    void commandsReachTheirOperations()
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
        m_clipboard->SetText(QStringLiteral("clip"));
        m_clipboard->writes = m_clipboard->clears = 0;
        select(7, 3);
        const QString kind = control.section(u':', 0, 0);
        const QString name = control.section(u':', 1);
        QAction *action
            = kind == QLatin1String("tool") ? m_window->ToolButton(name) : m_window->findChild<QAction *>(control);
        QVERIFY(action || kind == QLatin1String("key") || kind == QLatin1String("dispatch"));
        if (action)
            QTEST(action->shortcut().toString(), "shortcut");
        if (kind == QLatin1String("key"))
            ShowActive();

        m_modalWatch.start();
        if (kind == QLatin1String("key"))
            QTest::keySequence(m_window->txtMain, QKeySequence(name));
        else if (kind == QLatin1String("dispatch"))
            m_window->toolMain_ButtonClick(name);
        else
            action->trigger();
        m_modalWatch.stop();

        QTEST(Effects(), "effects");
        // The dialogs and the browser the commands asked for were answered with Cancel.
        m_dialogs->unexpected.clear();
        m_window->unexpected.clear();
    }

private:
    void ShowActive()
    {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_window->txtMain->setFocus();
        QTRY_VERIFY(m_window->txtMain->hasFocus());
    }
    // Everything the last command did that the fakes and the window can tell.
    QStringList Effects() const
    {
        QStringList effects;
        const auto note = [&](bool happened, const QString &effect) {
            if (happened)
                effects << effect;
        };
        for (int mode : m_window->filerModes)
            effects << (mode == 0 ? QStringLiteral("file browser: open") : QStringLiteral("file browser: save"));
        for (const QString &request : m_server->requests)
            effects << QStringLiteral("server: ") + request;
        note(m_dialogs->printRequests > 0, QStringLiteral("print dialog"));
        note(m_dialogs->printerSetupRequests > 0, QStringLiteral("printer setup"));
        note(!m_dialogs->fontRequests.isEmpty(), QStringLiteral("font dialog"));
        note(!m_dialogs->saveRequests.isEmpty(), QStringLiteral("local file dialog"));
        for (const QString &text : m_dialogs->messageTexts())
            effects << QStringLiteral("message: ") + text;
        note(m_clipboard->writes > 0 || m_clipboard->clears > 0, QStringLiteral("clipboard: ") + m_clipboard->text);
        note(m_window->DocumentText() != QStringLiteral("Lumeno web"),
            QStringLiteral("text: ") + m_window->DocumentText());
        for (const QUrl &url : m_shell->opened)
            effects << QStringLiteral("open: ") + url.toString(QUrl::FullyEncoded);
        if (frmFinder *finder = m_window->Finder())
            effects << (finder->IsReplaceMode() ? "find dialog: replace" : "find dialog: find");
        note(!m_window->WordWrap(), QStringLiteral("wrap: off"));
        for (const QString &modal : m_modals)
            effects << QStringLiteral("modal: ") + modal;
        note(!m_window->isVisible(), QStringLiteral("closed"));
        return effects;
    }

    std::unique_ptr<testsupport::FakeShell> m_shell;
    std::unique_ptr<testsupport::FakeClipboard> m_clipboard;
    QStringList m_modals; // modal dialogs shown, by class
    QTimer m_modalWatch;
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
