// The dialogs against scripted fakes: the file browser and the settings dialog against a
// scripted server, find and replace on an editing box, the version dialog. The rules that are
// plain functions are tested from tables; the windows prove their wiring.

#include "codec/codec.h"
#include "dialogs/config/frmConfig.h"
#include "dialogs/filer/filerrules.h"
#include "dialogs/filer/frmFiler.h"
#include "dialogs/finder/frmFinder.h"
#include "dialogs/finder/textsearch.h"
#include "dialogs/history/frmHistory.h"
#include "dialogs/version/frmVersion.h"
#include "dialogs/version/versiontext.h"
#include "platform/machine.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/keyboard.h"
#include "support/layout.h"
#include "support/scriptedserver.h"
#include "support/tables.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

using platform::MsgAnswer;

namespace {

// --- The file browser ---------------------------------------------------------------------
const QString kFolderListFailed = QStringLiteral("サーバからのフォルダ情報の取得に失敗しました。");
const QString kFileListFailed = QStringLiteral("サーバからのファイル情報の取得に失敗しました。");

} // namespace

class tst_Dialogs : public QObject {
    Q_OBJECT
    std::unique_ptr<testsupport::ScriptedHttpServer> server;
    std::unique_ptr<testsupport::TempSettings> settings;
    std::unique_ptr<testsupport::FakeDialogs> asked;
    QPointer<QDialog> dlg;
    QPlainTextEdit box;

    template <typename T = QWidget> T *Find(const char *name) { return dlg->findChild<T *>(QLatin1String(name)); }
    void Click(const char *name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
    void Show(QDialog *dialog, const QString &layout)
    {
        dlg = dialog;
        dlg->show();
        QCOMPARE(testsupport::LayoutDifference(dlg, layout), QString());
    }
    // Message boxes from a table's cell: "Y text ; O text", the answer's initial and the text.
    void Script(const QString &asks)
    {
        const QHash<QChar, MsgAnswer> answers { { u'Y', MsgAnswer::Yes }, { u'N', MsgAnswer::No },
            { u'O', MsgAnswer::OK } };
        for (const QString &ask : asks.split(u';', Qt::SkipEmptyParts))
            asked->answerMessage(answers.value(ask.trimmed()[0]), ask.trimmed().mid(2));
    }

    // The file browser opened on a server whose root lists a folder name twice, an empty line,
    // a short line and a nameless line: none of them shows. The server is checked once.
    void OpenFiler(int mode, const char *check = "OK\n")
    {
        modPublic::lngFilerMode = mode;
        server->reply("data\na\ne\na\n", "LISTFOLDERS path=data");
        server->reply("data\nr.txt\t2008/04/01 12:34\t1536\nm.txt\td\t10\nshort\td\n\td\t1", "LISTFILES path=data");
        server->reply(QString::fromUtf8(check), "CHECK");
        Show(new frmFiler, mode ? "filer-save" : "filer-open");
    }
    // The history dialog's list, row by row, cell by cell.
    QString HistoryRows()
    {
        auto *list = Find<QTreeWidget>("lsviewItems");
        QStringList cells;
        for (QTreeWidgetItem *row = list->topLevelItem(0); row; row = list->itemBelow(row))
            for (int column = 0; column < list->columnCount(); ++column)
                cells.append(row->text(column));
        return cells.join(u' ');
    }
    // Picks the history dialog's row and clicks the button once the browser shows the dialog.
    void OnHistoryDialog(int row, const char *button)
    {
        auto *poll = new QTimer(dlg);
        connect(poll, &QTimer::timeout, this, [=] {
            QWidget *history = QApplication::activeModalWidget();
            if (!history || history->objectName() != QLatin1String("frmHistory"))
                return;
            poll->stop();
            auto *list = history->findChild<QTreeWidget *>(QStringLiteral("lsviewItems"));
            list->setCurrentItem(list->topLevelItem(row));
            QTest::mouseClick(history->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
        });
        poll->start(10);
    }
    void ListA()
    {
        server->reply("data/a\nb", "LISTFOLDERS path=data/a");
        server->reply("data/a\nn.txt\td\t2048", "LISTFILES path=data/a");
    }
    QTreeWidget *Tree() { return Find<QTreeWidget>("trviewFolders"); }
    QTreeWidget *List() { return Find<QTreeWidget>("lsviewFiles"); }
    QAction *Tool(const char *key) { return Find<QToolBar>("toolOpt")->findChild<QAction *>(key); }
    QTreeWidgetItem *Node(const char *name)
    {
        return Tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive)[0];
    }
    void Pick(QTreeWidget *view, QTreeWidgetItem *item)
    {
        view->scrollToItem(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(item).center());
    }
    // The selected folder ("+" when open) with its subfolders, the files listed, the name field
    // and the toolbar's enabled groups (1 folders, 2 files); "hidden" if the folder is not shown.
    QString State()
    {
        QTreeWidgetItem *node = Tree()->currentItem();
        QStringList children;
        for (int i = 0; i < node->childCount(); ++i)
            children.append(node->child(i)->text(0));
        QString text
            = node->data(0, Qt::UserRole).toString() + (node->isExpanded() ? "+ [" : " [") + children.join(' ') + ']';
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            text += u' ' + List()->topLevelItem(i)->text(0);
        const int tools = (Tool("newfolder")->isEnabled() ? 1 : 0) + (Tool("renamefile")->isEnabled() ? 2 : 0);
        if (Tree()->visualItemRect(node).isEmpty())
            text += QStringLiteral(" hidden");
        return text + QStringLiteral(" name=%1 tools=%2").arg(Find<QLineEdit>("txtName")->text()).arg(tools);
    }

    // The find dialog on the box with the mode read once at load; each button follows its own field.
    void OpenFinder(qint32 mode, const QString &word)
    {
        modPublic::blnReplaceMode = mode;
        Show(new frmFinder([this] { return &box; }), mode ? "finder-replace" : "finder-search");
        modPublic::blnReplaceMode = 1 - mode;
        QCOMPARE(dlg->windowTitle(), mode ? QStringLiteral("置換") : QStringLiteral("検索"));
        testsupport::typeText(Find("txtReplaceWord"), QStringLiteral("置"));
        QVERIFY(Find("cmdRepAll")->isEnabled() && Find("cmdReplace")->isEnabled() && !Find("cmdNext")->isEnabled());
        testsupport::typeText(Find("txtSearchWord"), word);
        QVERIFY(Find("cmdNext")->isEnabled());
    }

    // The settings dialog opened on the settings in use; then the scripted server's address and
    // the password typed.
    void OpenConfig(const QString &password)
    {
        modPublic::strServer = QStringLiteral("old.example.jp");
        Show(new frmConfig, "config");
        QCOMPARE(Find<QLineEdit>("txtURL")->text() + Find<QLineEdit>("txtPass")->text(), "old.example.jpoldPass");
        QVERIFY(Find<QCheckBox>("chkClearPass")->isChecked());
        QCOMPARE(Find<QLineEdit>("txtPass")->echoMode(), QLineEdit::Password);
        Find<QLineEdit>("txtURL")->setText(server->serverText());
        Find<QLineEdit>("txtPass")->clear();
        testsupport::typeText(Find("txtPass"), password);
    }

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        server = std::make_unique<testsupport::ScriptedHttpServer>();
        settings = std::make_unique<testsupport::TempSettings>();
        asked = std::make_unique<testsupport::FakeDialogs>();
        modPublic::strServer = server->serverText();
        modPublic::strPassword = QStringLiteral("oldPass");
        modPublic::blnClearPass = true;
        modPublic::blnFilerOK = false;
        modPublic::udtLastCheck.reset();
    }
    void cleanup()
    {
        delete dlg.data();
        asked.reset();
        settings.reset();
        server.reset();
        QVERIFY(!QApplication::overrideCursor());
    }

    // Kilobytes truncated from 1024 on, the received text with ﾊﾞｲﾄ below, a size that is no
    // number shown as it came.
    void filerFileSize()
    {
        QStringList shown;
        for (const char *size : { "0", "1024", "2047", "0012", "1.5", "3000000000" })
            shown.append(filer::FormatFileSize(size));
        QCOMPARE(shown, (QStringList { "0ﾊﾞｲﾄ", "1KB", "1KB", "0012ﾊﾞｲﾄ", "1.5", "2929687KB" }));
    }

    // Each showing starts at the root, selected and open, its files listed in three columns that
    // keep their widths; the toolbar is off until something is picked. While a request waits the
    // dialog is disabled, shows the wait cursor and keeps its close box shut; afterwards all is
    // back, the keyboard's place too. Arrow keys pick as clicks do; a click on empty space keeps
    // what was picked. A failed listing says so and shows what did arrive; a folder whose
    // subfolders could not be listed is asked again at the next click.
    void filerBrowsing()
    {
        OpenFiler(0);
        QCOMPARE(State(), QStringLiteral("data+ [a e] r.txt m.txt name= tools=0"));
        QCOMPARE(Tree()->topLevelItemCount(), 1);
        const QTreeWidgetItem *row = List()->topLevelItem(0);
        QCOMPARE(row->text(1) + row->text(2) + List()->topLevelItem(1)->text(2), "2008/04/01 12:341KB10ﾊﾞｲﾄ");
        QCOMPARE(row->textAlignment(2), int(Qt::AlignRight | Qt::AlignVCenter));
        QStringList seen;
        server->onRequest = [&] {
            const QCursor *cursor = QApplication::overrideCursor();
            seen.append(
                QVariant(dlg->isEnabled() || !cursor || cursor->shape() != Qt::WaitCursor || dlg->close()).toString());
        };
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg));
        Tree()->setFocus();
        ListA();
        QTest::keyClick(Tree(), Qt::Key_Down);
        QCOMPARE(seen, (QStringList { "false", "false" }));
        QVERIFY(dlg->isEnabled() && dlg->isVisible() && Tree()->hasFocus());
        QTest::keyClick(List(), Qt::Key_Down);
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, QPoint(5, List()->viewport()->height() - 5));
        QCOMPARE(State(), QStringLiteral("data/a [b] n.txt name=n.txt tools=3"));
        QVERIFY(!Tool("versions")->isEnabled() && !Tool("deleted")->isEnabled()); // no history kept
        QCOMPARE(List()->selectedItems().size(), 1);
        asked->answerMessage(MsgAnswer::OK, kFolderListFailed);
        asked->answerMessage(MsgAnswer::OK, kFileListFailed);
        server->reply("NG", "LISTFOLDERS path=data/e");
        server->reply("data/e\nq.txt\td\t1", "LISTFILES path=data/e");
        Pick(Tree(), Node("e"));
        QCOMPARE(State(), QStringLiteral("data/e [] q.txt name= tools=1"));
        server->reply("data/e\nf", "LISTFOLDERS path=data/e");
        server->reply("NG", "LISTFILES path=data/e");
        Pick(Tree(), Node("e"));
        QCOMPARE(State(), QStringLiteral("data/e [f] name= tools=1"));
        dlg->resize(1000, 600);
        QApplication::processEvents();
        QCOMPARE(testsupport::LayoutDifference(dlg, "filer-wide"), QString());
        QVERIFY(dlg->close()); // the close box works again once nothing waits
    }

    void filerOkAndCancel_data() { testsupport::AddTableRows(QStringLiteral("filer-ok-cancel.txt")); }

    // The name field and the encoding (the document's own at first) are for saving only. OK
    // without a name says what is missing and keeps the dialog open; Cancel changes nothing; OK
    // returns the name with its folder, exactly as shown, and the encoding chosen.
    void filerOkAndCancel()
    {
        QFETCH(QString, typed);
        const int mode = QLatin1String(QTest::currentDataTag()) == "save";
        modPublic::encFilerEncoding = textencoding::TextEncoding::Utf8;
        OpenFiler(mode);
        QCOMPARE(Find<QComboBox>("cboEncoding")->currentText(), "UTF-8");
        QCOMPARE(Find("txtName")->isEnabled(), mode == 1);
        asked->answerMessage(MsgAnswer::OK);
        Click("cmdOK");
        QTEST(dlg->windowTitle(), "title");
        QTEST(Find<QPushButton>("cmdOK")->text(), "ok");
        QTEST(asked->messageTexts().join(""), "message");
        Find<QLineEdit>("txtName")->setText(QStringLiteral(" a/1.txt "));
        ListA();
        Pick(Tree(), Node("a"));
        QCOMPARE(Find<QLineEdit>("txtName")->text(), typed);
        Pick(List(), List()->topLevelItem(0));
        QTest::keyClicks(Find("txtName"), typed);
        Click("cmdCancel");
        QVERIFY(!dlg->isVisible() && !modPublic::blnFilerOK);
        dlg->show();
        Find<QComboBox>("cboEncoding")->setCurrentIndex(2);
        Click("cmdOK");
        QVERIFY(!dlg->isVisible() && modPublic::blnFilerOK);
        QCOMPARE(modPublic::strCurrentFolder + '|' + modPublic::strCurrentFile, "data/a|n.txt" + typed);
        QCOMPARE(textencoding::EncodingName(modPublic::encFilerEncoding), mode ? "UTF-8 (BOM)" : "UTF-8");
    }

    // Saving onto a name the chosen folder lists asks first; No keeps the browser open for
    // another name, Yes hands the name on as one the user agreed to replace.
    void filerAsksBeforeReplacing()
    {
        OpenFiler(1);
        ListA();
        Pick(Tree(), Node("a"));
        modPublic::strCurrentFile.clear();
        const auto ok = [this](const char *name) {
            Find<QLineEdit>("txtName")->setText(QString::fromLatin1(name));
            Click("cmdOK");
            return QStringLiteral("%1 %2 %3")
                .arg(dlg->isVisible())
                .arg(modPublic::blnFilerReplaces)
                .arg(modPublic::strCurrentFile);
        };
        asked->answerMessage(MsgAnswer::No, filer::kReplaceQuestion);
        QCOMPARE(ok("n.txt"), "1 0 ");
        QCOMPARE(ok("N.txt"), "0 0 N.txt"); // names differ in case on the server
        dlg->show();
        asked->answerMessage(MsgAnswer::Yes, filer::kReplaceQuestion);
        QCOMPARE(ok("n.txt"), "0 1 n.txt");
    }

    // A name that code page 932 cannot carry ("〜" U+301C, "¥", emoji) is refused before any
    // request and kept for mending: the input box asks again with it, the save field keeps it.
    void filerRefusesNamesTheCodePageLacks()
    {
        const QString refused
            = QStringLiteral("名前にShift-JISで使用できない文字が含まれています。\r\n別の文字を使用してください。");
        OpenFiler(1);
        ListA();
        Pick(Tree(), Node("a"));
        for (const char *name : { "a〜", "¥", "😀" }) {
            asked->answerInput(QString::fromUtf8(name));
            asked->answerMessage(MsgAnswer::OK, refused);
            asked->answerInput(QString()); // the user gives up
            Tool("newfolder")->trigger();
            QCOMPARE(asked->inputs.takeLast(), QString::fromUtf8(name));
        }
        Find<QLineEdit>("txtName")->setText(QStringLiteral("a〜.txt"));
        asked->answerMessage(MsgAnswer::OK, refused);
        Click("cmdOK");
        QVERIFY(dlg->isVisible() && !modPublic::blnFilerOK);
        QCOMPARE(Find<QLineEdit>("txtName")->text(), QStringLiteral("a〜.txt"));
    }

    void filerCommands_data() { testsupport::AddTableRows(QStringLiteral("filer-commands.txt")); }

    // Each toolbar command asks what it needs, sends one request on the picked folder or file and,
    // when it succeeds, lists again: a folder command rebuilds the tree open down to the folder it
    // leaves selected, a file command refills the list; either forgets the picked file, so that OK
    // cannot open it from another folder. A refusal says so and changes nothing shown.
    void filerCommands()
    {
        QFETCH(QString, key);
        QFETCH(QString, input);
        QFETCH(QString, exchange);
        QFETCH(QString, asks);
        OpenFiler(0);
        if (QString(QTest::currentDataTag()).startsWith(QLatin1String("root"))) {
            server->reply("data\nr.txt\td\t1\nm.txt\td\t1", "LISTFILES path=data");
            Pick(Tree(), Node("data"));
        } else {
            ListA();
            Pick(Tree(), Node("a"));
            Pick(List(), List()->topLevelItem(0));
        }
        if (input != QLatin1String("-"))
            asked->answerInput(input);
        Script(asks);
        const QHash<QString, QStringList> rebuilds {
            { "*data", { "LISTFOLDERS path=data => data\ne", "LISTFILES path=data => data" } },
            { "*a",
                { "LISTFOLDERS path=data => data\na", "LISTFILES path=data => data",
                    "LISTFOLDERS path=data/a => data/a\nb\nx", "LISTFILES path=data/a => data/a\nk.txt\td\t1" } },
        };
        for (const QString &step : exchange.split(u';', Qt::SkipEmptyParts)) {
            for (const QString &s : rebuilds.value(step.trimmed(), { step }))
                server->reply(s.section(QLatin1String(" => "), 1), s.section(QLatin1String(" => "), 0, 0).trimmed());
        }
        Tool(qPrintable(key))->trigger();
        QCOMPARE(asked->inputs.value(0), key == "renamefile" ? "n.txt" : "");
        QTEST(State(), "state");
    }

    // Against a server that keeps history its buttons follow the file and folder buttons. A
    // restore lists the folder afresh; an earlier version opened closes the browser with its text.
    void filerHistory()
    {
        OpenFiler(0, "OK\nfeatures: blank history\n");
        ListA();
        Pick(Tree(), Node("a"));
        QVERIFY(!Tool("versions")->isEnabled() && Tool("deleted")->isEnabled());
        server->reply("data/a\nd1\tfile\tx.txt\tt\t1", "LISTDELETED path=data/a");
        asked->answerMessage(MsgAnswer::Yes);
        server->reply("Restore OK\n", "RESTORE path=data/a id=d1");
        server->reply("data\na", "LISTFOLDERS path=data");
        server->reply("data", "LISTFILES path=data");
        server->reply("data/a\nb", "LISTFOLDERS path=data/a");
        server->reply("data/a\nx.txt\tt\t1\nn.txt\td\t2048", "LISTFILES path=data/a");
        OnHistoryDialog(0, "cmdRestore");
        Tool("deleted")->trigger();
        QCOMPARE(State(), QStringLiteral("data/a [b] x.txt n.txt name= tools=1"));
        Pick(List(), List()->topLevelItem(1));
        QVERIFY(Tool("versions")->isEnabled());
        server->reply("data/a/n.txt\nv1\tt\t1", "LISTVERSIONS path=data/a/n.txt");
        server->reply("v1\nold", "READVERSION path=data/a/n.txt id=v1");
        OnHistoryDialog(0, "cmdOpen");
        Tool("versions")->trigger();
        QVERIFY(!dlg->isVisible() && !modPublic::blnFilerOK);
        QCOMPARE(modPublic::strFilerUntitled ? modPublic::strFilerUntitled->text : "none", "old");
    }

    void historyDialog_data() { testsupport::AddTableRows(QStringLiteral("history-dialog.txt")); }
    // The list shows what the server sent, in its order, without lines that lack an id, a time, a
    // size, a name or a known kind; sizes show every byte. Open reads the picked item and hands its
    // text on; restore asks first and sends the picked item; a deleted item whose name is taken
    // meanwhile comes back under a name the user gives. A failure says so; the dialog stays.
    void historyDialog()
    {
        QFETCH(QString, listing);
        QFETCH(QString, pick);
        QFETCH(QString, button);
        QFETCH(QString, input);
        QFETCH(QString, exchange);
        const bool deleted = QString::fromLatin1(QTest::currentDataTag()).startsWith(QLatin1String("deleted"));
        const QHash<QString, QString> listings {
            { "V", "data/a/n.txt\nv2\t2026/12/01 10:00\t1234567\nv1\tt\t500\nbad\n\tt\t1\nv0\tt\t1e3" },
            { "D",
                "data/a\nd2\tfolder\told\tt\t4096\nd1\tfile\tx.txt\tt\t12\nd0\tlink\ty\tt\t1\nd3\tfile\t\tt\t1\n\tfile\tz\tt\t1" }
        };
        server->reply(
            listings.value(listing, listing), deleted ? "LISTDELETED path=data/a" : "LISTVERSIONS path=data/a/n.txt");
        QFETCH(QString, asks);
        Script(asks);
        if (input != QLatin1String("-"))
            asked->answerInput(input);
        for (const QString &step : exchange.split(u';', Qt::SkipEmptyParts))
            server->reply(step.section(QLatin1String(" => "), 1), step.section(QLatin1String(" => "), 0, 0).trimmed());
        auto *history = new frmHistory(deleted ? frmHistory::Kind::Deleted : frmHistory::Kind::Versions,
            deleted ? "data/a" : "data/a/n.txt", true);
        Show(history, deleted ? "history-deleted" : "history-versions");
        if (!pick.isEmpty())
            Find<QTreeWidget>("lsviewItems")
                ->setCurrentItem(Find<QTreeWidget>("lsviewItems")->topLevelItem(pick.toInt()));
        const QString buttons
            = QStringLiteral("[%1%2]").arg(Find("cmdOpen")->isEnabled()).arg(Find("cmdRestore")->isEnabled());
        if (!button.isEmpty())
            Click(qPrintable(button));
        const QString state
            = QStringLiteral("%1 %2 opened=%3 restored=%4 %5 %6")
                  .arg(HistoryRows(), buttons, (history->OpenedText() ? history->OpenedText()->text : "-"))
                  .arg(history->Restored())
                  .arg(history->isVisible() ? "open" : "closed", asked->inputs.join(u','));
        QTEST(state.trimmed(), "state");
    }

    // Down: the first occurrence beginning at or after the selection's end; up: the last lying
    // wholly before its start; never wrapping, case and width significant. Replace all scans once
    // from start to end and does not search what it inserted.
    void finderRules_data() { testsupport::AddTableRows(QStringLiteral("finder-rules.txt")); }
    void finderRules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, text);
        QFETCH(QString, word);
        QFETCH(QString, argument);
        const QString found = QString::number(rule == "up" ? finder::FindUp(text, word, argument.toInt())
                                                           : finder::FindDown(text, word, argument.toInt()));
        QTEST(rule == "replace" ? finder::ReplaceAll(text, word, argument) : found, "expected");
    }

    void finderButtons_data() { testsupport::AddTableRows(QStringLiteral("finder-buttons.txt")); }

    // Find next selects the occurrence in the chosen direction; Replace replaces the next one
    // after the selection, never the selection itself, and leaves the caret after it. Replace all
    // asks first, then changes the whole text in one edit that one Ctrl+Z takes back, the caret at
    // the start. Nothing found: the message, and the selection stays. Close ends the dialog for good.
    void finderButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, text);
        QFETCH(QString, selection);
        QFETCH(QString, asks);
        QFETCH(QString, up);
        QFETCH(QString, found);
        const int at = found.toInt(); // -1: not found
        const int selStart = selection.section(u'-', 0, 0).toInt(), selEnd = selection.section(u'-', 1).toInt();
        box.setPlainText(text);
        QTextCursor cursor = box.textCursor();
        cursor.setPosition(selStart);
        cursor.setPosition(selEnd, QTextCursor::KeepAnchor);
        box.setTextCursor(cursor);
        const bool next = button == QLatin1String("cmdNext");
        OpenFinder(next ? 0 : 1, QStringLiteral("ab"));
        if (up == QLatin1String("up")) // down is the default, and replace searches down
            Find<QRadioButton>("optDirection1")->setChecked(true);
        Script(asks);
        // Enter presses Find next, the default button, from the search field, and the button that
        // has the focus otherwise.
        QTest::keyClick(next ? static_cast<QWidget *>(dlg) : Find<QPushButton>(qPrintable(button)), Qt::Key_Return);
        QTEST(box.toPlainText(), "after");
        QCOMPARE(box.textCursor().selectionStart(), at < 0 ? selStart : at);
        QCOMPARE(box.textCursor().selectedText(), at < 0 ? text.mid(selStart, selEnd - selStart) : next ? "ab" : "");
        Click("cmdClose");
        QTRY_VERIFY(dlg.isNull());
        QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(box.toPlainText(), text);
    }

    void configButtons_data() { testsupport::AddTableRows(QStringLiteral("config-buttons.txt")); }

    // Check tests the typed fields and only reports; OK refuses a password outside the codec's
    // symbols before asking the server, asks before keeping settings the server failed, and
    // stores what it keeps: the password through the codec, or none when cleared on exit.
    // While the server is asked the wait cursor shows and no button, Esc or close box starts
    // anything; afterwards the controls work again, the focus where it was.
    void configButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, password);
        QFETCH(QString, reply);
        QFETCH(QString, asks);
        OpenConfig(password);
        Find<QCheckBox>("chkClearPass")->setChecked(password.size() == 3);
        if (reply != QLatin1String("-"))
            server->reply(reply, QStringLiteral("CHECK"));
        QString waited = QStringLiteral("no wait");
        server->onRequest = [&] {
            if (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor)
                waited = QStringLiteral("wait");
            for (const char *name : { "cmdCheck", "cmdOK", "cmdCancel" })
                Click(name);
            QTest::keyClick(dlg, Qt::Key_Escape);
            dlg->close();
        };
        Script(asks);
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg));
        if (button == QLatin1String("cmdOK"))
            QTest::keyClick(dlg, Qt::Key_Return); // OK is the default button
        else
            Click(qPrintable(button));
        server->onRequest = nullptr;
        // What the script was asked and the wait, and afterwards: the window with its focus, the
        // settings in use, the store.
        const auto next = settings->reopened();
        QString state = QStringList { server->requests.value(0).fields.value(1).second, waited,
            dlg->isVisible() ? "open " + dlg->focusWidget()->objectName() : "closed", modPublic::strServer,
            modPublic::strPassword, QVariant(modPublic::blnClearPass).toString(),
            next->GetSetting("Setting", "Server", "none"),
            next->Contains("Setting", "User") ? modPublic::Decode(next->GetSetting("Setting", "User", {})) : "none",
            next->GetSetting("Setting", "ClearPass", "none"), next->GetSetting("Setting", "Secure", "none") }
                            .join(u'/');
        QTEST(state.replace(server->serverText(), "S"), "state");
    }

    // When the store cannot be written the user is told; the settings still hold for this run.
    void configUnwritableStore()
    {
        platform::SettingsStore store(QStringLiteral("/dev/null/Lumeno.ini")); // a file stands where its folder goes
        platform::services().settings = &store;
        OpenConfig(QStringLiteral("abc"));
        server->reply(QStringLiteral("OK\n"), QStringLiteral("CHECK"));
        asked->answerMessage(MsgAnswer::OK, "設定を保存できませんでした。\r\n" + store.FileName());
        Click("cmdOK");
        platform::services().settings = &settings->store();
        QCOMPARE(modPublic::strPassword, QStringLiteral("abc"));
    }

    void versionTexts_data() { testsupport::AddTableRows(QStringLiteral("version-texts.txt")); }
    void versionTexts()
    {
        QFETCH(QString, numbers);
        const QStringList n = numbers.split(u'.');
        QTEST(version::VersionText(n[0].toInt(), n[1].toInt(), n[2].toInt()), "version");
        QTEST(version::BuildText(n[2].toInt()), "build");
        QCOMPARE(version::CurrentVersionText({ 1, 2, 34 }), "1.02.0034");
    }

    // The labels show the version numbers declared once in the build over the fixed picture; a left
    // click on the link opens the user guide beside the program, and the dialog stays.
    void versionDialog()
    {
        testsupport::FakeShell shell;
        dlg = new frmVersion;
        QCOMPARE(Find<QLabel>("labVersion")->text() + Find<QLabel>("labBuild")->text(),
            version::VersionText(PROJECT_MAJOR, PROJECT_MINOR, PROJECT_REVISION)
                + version::BuildText(PROJECT_REVISION));
        const QImage picture(QStringLiteral(":/version/background.png"));
        QCOMPARE(dlg->grab().toImage().pixelColor(2, 2), picture.pixelColor(2, 2)); // drawn over the whole area
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support raise()");
        dlg->show();
        QCOMPARE(testsupport::LayoutDifference(dlg, "version"), QString());
        QTest::mouseClick(Find("labWeblink"), Qt::RightButton);
        QTest::mousePress(Find("labWeblink"), Qt::LeftButton);
        QVERIFY(shell.opened.isEmpty()); // a click opens on the release
        QTest::mouseRelease(Find("labWeblink"), Qt::LeftButton);
        QCOMPARE(shell.opened, QList<QUrl> { QUrl::fromLocalFile(platform::AppPath() + "/Lumeno.chm") });
        QVERIFY(dlg->isVisible());
    }
};

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
