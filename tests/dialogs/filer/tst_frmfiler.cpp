// The file browser against a scripted server: what it lists, what it sends, what it returns.

#include "dialogs/filer/filerrules.h"
#include "dialogs/filer/frmFiler.h"
#include "dialogs/placed.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"
#include "support/scriptedserver.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

using platform::MsgAnswer;
using Answers = QList<MsgAnswer>;

namespace {

// The server's tree: data holds letters (holding 2008) and empty; each folder's files.
const QHash<QString, QPair<QString, QString>> kTree {
    { "data", { "letters\nempty", "readme.txt\t2008/04/01 12:34\t1536\nmemo.txt\td\t10" } },
    { "data/letters", { "2008", "note.txt\td\t2048" } },
    { "data/letters/2008", { "", "old.txt\td\t1" } },
};
const QString kFolderListFailed = QStringLiteral("サーバからのフォルダ情報の取得に失敗しました。");
const QString kFileListFailed = QStringLiteral("サーバからのファイル情報の取得に失敗しました。");

} // namespace

class tst_frmFiler : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<testsupport::ScriptedHttpServer> server;
    std::unique_ptr<testsupport::FakeDialogs> asked;
    std::unique_ptr<frmFiler> dlg;

    // Queues the listings of a folder as the server gives them: its subfolders only while
    // the tree has none under it.
    void Listed(const QString &path, bool folders = true)
    {
        const auto [subfolders, files] = kTree.value(path);
        if (folders)
            server->reply(path + (subfolders.isEmpty() ? "" : "\n" + subfolders), "LISTFOLDERS path=" + path);
        server->reply(path + (files.isEmpty() ? "" : "\n" + files), "LISTFILES path=" + path);
    }
    void Open(int mode)
    {
        modPublic::lngFilerMode = mode;
        modPublic::blnFilerOK = false;
        Listed("data");
        dlg = std::make_unique<frmFiler>();
        Show();
    }
    void Show()
    {
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
        dlg->show();
    }
    QTreeWidget *Tree() { return dlg->findChild<QTreeWidget *>("trviewFolders"); }
    QTreeWidget *List() { return dlg->findChild<QTreeWidget *>("lsviewFiles"); }
    QLineEdit *Name() { return dlg->findChild<QLineEdit *>("txtName"); }
    QAction *Tool(const QString &key) { return dlg->findChild<QToolBar *>("toolOpt")->findChild<QAction *>(key); }
    QTreeWidgetItem *Node(const QString &path)
    {
        const auto found = Tree()->findItems(path.section(u'/', -1), Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    QString Selected() { return Tree()->currentItem()->data(0, Qt::UserRole).toString(); }
    QStringList Column(QTreeWidget *view, int column = 0, QTreeWidgetItem *parent = nullptr)
    {
        QStringList texts;
        for (int i = 0; i < (parent ? parent->childCount() : view->topLevelItemCount()); ++i)
            texts.append((parent ? parent->child(i) : view->topLevelItem(i))->text(column));
        return texts;
    }
    void Click(QTreeWidget *view, QTreeWidgetItem *item)
    {
        QVERIFY(item);
        view->scrollToItem(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(item).center());
    }
    void ClickFile(const QString &name) { Click(List(), List()->findItems(name, Qt::MatchExactly).value(0)); }
    void ClickFolder(const QString &path, bool listFolders = false)
    {
        Listed(path, listFolders);
        Click(Tree(), Node(path));
    }
    // Toolbar buttons enabled, as bits: 1 the folder group, 2 the file group.
    int Enabled() { return (Tool("newfolder")->isEnabled() ? 1 : 0) + (Tool("renamefile")->isEnabled() ? 2 : 0); }

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        server = std::make_unique<testsupport::ScriptedHttpServer>();
        asked = std::make_unique<testsupport::FakeDialogs>();
        modPublic::strServer = server->serverText();
        modPublic::strCurrentFolder = modPublic::strCurrentFile = QStringLiteral("keep");
    }
    void cleanup()
    {
        dlg.reset();
        asked.reset();
        server.reset();
        QVERIFY(!QApplication::overrideCursor());
    }
    void formatFileSize_data();
    void formatFileSize();
    void startState_data();
    void startState();
    void busyWhileWaiting();
    void listingFailures_data();
    void listingFailures();
    void okAndCancel_data();
    void okAndCancel();
    void commands_data();
    void commands();
};

void tst_frmFiler::formatFileSize_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero") << "0"
                          << "0ﾊﾞｲﾄ";
    QTest::newRow("one kilobyte") << "1024"
                                  << "1KB";
    QTest::newRow("truncated") << "2047"
                               << "1KB";
    QTest::newRow("the text itself") << "0012"
                                     << "0012ﾊﾞｲﾄ";
    QTest::newRow("not a number") << "1.5"
                                  << "1.5";
}

// Kilobytes truncated from 1024 on, the received text with ﾊﾞｲﾄ below, and a size that is no
// number shown as it came.
void tst_frmFiler::formatFileSize()
{
    QFETCH(QString, size);
    QFETCH(QString, shown);
    QCOMPARE(filer::FormatFileSize(size), shown);
}

void tst_frmFiler::startState_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("okCaption");
    QTest::newRow("open") << 0 << "ファイルを開く"
                          << "開く(&O)";
    QTest::newRow("save") << 1 << "ファイルの保存"
                          << "保存(&S)";
}

// Each showing starts at the root, selected and open, its files listed; the name field is
// for saving only; the toolbar is off until something is picked.
void tst_frmFiler::startState()
{
    QFETCH(int, mode);
    QFETCH(QString, caption);
    QFETCH(QString, okCaption);
    Open(mode);
    QCOMPARE(dlg->windowTitle(), caption);
    QCOMPARE(dlg->findChild<QPushButton *>("cmdOK")->text(), okCaption);
    QCOMPARE(Name()->isEnabled(), mode == 1);
    QCOMPARE(Column(Tree()), QStringList { "data" });
    QCOMPARE(Selected(), QStringLiteral("data"));
    QVERIFY(Node("data")->isExpanded());
    QCOMPARE(Column(Tree(), 0, Node("data")), (QStringList { "letters", "empty" }));
    QCOMPARE(Column(List(), 0) + Column(List(), 1) + Column(List(), 2),
        (QStringList { "readme.txt", "memo.txt", "2008/04/01 12:34", "d", "1KB", "10ﾊﾞｲﾄ" }));
    QCOMPARE(Enabled(), 0);
    QCOMPARE(dialogtest::Unplaced(dlg.get()), QString());
}

// While a request waits the dialog is disabled, shows the wait cursor and keeps its close box
// shut; afterwards all is back, the keyboard's place too, and arrow keys pick as clicks do.
void tst_frmFiler::busyWhileWaiting()
{
    Open(0);
    QStringList seen;
    server->onRequest = [&] {
        const QCursor *cursor = QApplication::overrideCursor();
        seen.append(
            QVariant(dlg->isEnabled() || !cursor || cursor->shape() != Qt::WaitCursor || dlg->close()).toString());
    };
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    Tree()->setFocus();
    Listed("data/letters");
    QTest::keyClick(Tree(), Qt::Key_Down);
    QCOMPARE(seen, (QStringList { "false", "false" }));
    QVERIFY(dlg->isEnabled() && dlg->isVisible() && Tree()->hasFocus());
    QCOMPARE(Selected(), QStringLiteral("data/letters"));
    QTest::keyClick(List(), Qt::Key_Down);
    QCOMPARE(Name()->text(), QStringLiteral("note.txt"));
    QCOMPARE(Enabled(), 3);
}

void tst_frmFiler::listingFailures_data()
{
    QTest::addColumn<bool>("failFolders");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("children");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("folders") << true << kFolderListFailed << QStringList {} << QStringList { "note.txt" };
    QTest::newRow("files") << false << kFileListFailed << QStringList { "2008" } << QStringList {};
}

// A failed listing says so; what did arrive is shown, and a folder whose subfolders could not
// be listed is asked again at the next click.
void tst_frmFiler::listingFailures()
{
    QFETCH(bool, failFolders);
    QFETCH(QString, message);
    QFETCH(QStringList, children);
    QFETCH(QStringList, files);
    Open(0);
    server->reply(failFolders ? "NG" : "data/letters\n2008", "LISTFOLDERS path=data/letters");
    server->reply(failFolders ? "data/letters\nnote.txt\td\t1" : "NG", "LISTFILES path=data/letters");
    asked->answerMessage(MsgAnswer::OK);
    Click(Tree(), Node("data/letters"));
    QCOMPARE(asked->messageTexts(), QStringList { message });
    QCOMPARE(Column(Tree(), 0, Node("data/letters")), children);
    QCOMPARE(Column(List()), files);
    ClickFolder("data/letters", failFolders);
}

void tst_frmFiler::okAndCancel_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("missing"); // the message of OK without a name
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("afterFolderClick");
    QTest::newRow("open: a folder click forgets the file") << 0 << "ファイルを選択してください。"
                                                           << ""
                                                           << "";
    QTest::newRow("save: the typed name stays") << 1 << "ファイル名を入力してください。"
                                                << " a/1.txt "
                                                << " a/1.txt ";
}

// OK without a name says what is missing and keeps the dialog open; Cancel changes nothing;
// OK returns the name with the folder it is in, exactly as shown.
void tst_frmFiler::okAndCancel()
{
    QFETCH(int, mode);
    QFETCH(QString, missing);
    QFETCH(QString, typed);
    QFETCH(QString, afterFolderClick);
    Open(mode);
    asked->answerMessage(MsgAnswer::OK);
    QTest::mouseClick(dlg->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QCOMPARE(asked->messageTexts(), QStringList { missing });
    QTest::keyClicks(Name(), typed);
    ClickFolder("data/letters", true);
    QCOMPARE(Name()->text(), afterFolderClick);
    QCOMPARE(Enabled(), 1);
    ClickFile("note.txt");
    QTest::keyClicks(Name(), typed);
    QTest::mouseClick(dlg->findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible() && !modPublic::blnFilerOK);
    QCOMPARE(modPublic::strCurrentFolder + modPublic::strCurrentFile, QStringLiteral("keepkeep"));
    dlg->show();
    QTest::mouseClick(dlg->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible() && modPublic::blnFilerOK);
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data/letters"));
    QCOMPARE(modPublic::strCurrentFile, "note.txt" + typed);
}

void tst_frmFiler::commands_data()
{
    QTest::addColumn<QString>("folder"); // picked before the command, with the file note.txt if listed
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("input"); // the name typed when asked; null: nothing asked
    QTest::addColumn<QStringList>("exchange"); // "request|reply", the refresh included
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QStringList>("shown"); // the selected folder's subfolders, then its files
    const QString L = QStringLiteral("data/letters");
    const QStringList rebuildData { "LISTFOLDERS path=data|data\nempty", "LISTFILES path=data|data" };
    const QStringList rebuildLetters { "LISTFOLDERS path=data|data\nletters", "LISTFILES path=data|data",
        "LISTFOLDERS path=data/letters|data/letters\n2008\nx",
        "LISTFILES path=data/letters|data/letters\nn.txt\td\t1" };
    const QString deleteQuestion
        = QStringLiteral("フォルダlettersとそれ以下のすべてのファイル、フォルダを削除しますか？");
    const auto row = [](const char *name, const QString &folder, const char *key, const QString &input,
                         const QStringList &exchange, const Answers &answers, const QStringList &messages,
                         const QString &selected, const QStringList &shown) {
        QTest::newRow(name) << folder << key << input << exchange << answers << messages << selected << shown;
    };
    row("new folder", L, "newfolder", "x",
        QStringList { "NEWFOLDER path=data/letters/x|New Folder OK\n" } + rebuildLetters, {}, {}, L,
        { "2008", "x", "n.txt" });
    row("new folder cancelled", L, "newfolder", "", {}, {}, {}, L, { "2008", "note.txt" });
    row("new folder refused", L, "newfolder", "x", { "NEWFOLDER path=data/letters/x|NG" }, { MsgAnswer::OK },
        { "フォルダの作成に失敗しました。" }, L, { "2008", "note.txt" });
    row("delete folder", L, "deletefolder", {},
        QStringList { "DELETEFOLDER path=data/letters|Delete Folder OK\n" } + rebuildData, { MsgAnswer::Yes },
        { deleteQuestion }, "data", { "empty" });
    row("delete folder declined", L, "deletefolder", {}, {}, { MsgAnswer::No }, { deleteQuestion }, L,
        { "2008", "note.txt" });
    row("delete folder refused", L, "deletefolder", {}, { "DELETEFOLDER path=data/letters|NG" },
        { MsgAnswer::Yes, MsgAnswer::OK }, { deleteQuestion, "フォルダの削除に失敗しました。" }, L,
        { "2008", "note.txt" });
    row("rename folder", L, "renamefolder", "y",
        QStringList { "RENAMEFOLDER path=data/letters name=y|Rename Folder OK\n" } + rebuildData, {}, {}, "data",
        { "empty" });
    row("rename folder refused", L, "renamefolder", "y", { "RENAMEFOLDER path=data/letters name=y|NG" },
        { MsgAnswer::OK }, { "フォルダ名の変更に失敗しました。" }, L, { "2008", "note.txt" });
    row("delete file", L, "deletefile", {},
        { "DELETEFILE path=data/letters/note.txt|Delete File OK\n", "LISTFILES path=data/letters|data/letters" }, {},
        {}, L, { "2008" });
    row("delete file refused", L, "deletefile", {}, { "DELETEFILE path=data/letters/note.txt|NG" }, { MsgAnswer::OK },
        { "ファイルの削除に失敗しました。" }, L, { "2008", "note.txt" });
    row("rename file", L, "renamefile", "z",
        { "RENAMEFILE path=data/letters/note.txt name=z|Rename File OK\n",
            "LISTFILES path=data/letters|data/letters\nz\td\t1" },
        {}, {}, L, { "2008", "z" });
    row("rename file unchanged", L, "renamefile", "note.txt", {}, {}, {}, L, { "2008", "note.txt" });
    row("rename file refused", L, "renamefile", "z", { "RENAMEFILE path=data/letters/note.txt name=z|NG" },
        { MsgAnswer::OK }, { "ファイル名の変更に失敗しました。" }, L, { "2008", "note.txt" });
    row("root not deleted", "data", "deletefolder", {}, {}, { MsgAnswer::OK }, { "ルートフォルダは削除できません。" },
        "data", { "letters", "empty", "readme.txt", "memo.txt" });
    row("root not renamed", "data", "renamefolder", {}, {}, { MsgAnswer::OK },
        { "ルートフォルダの名前は変更できません。" }, "data", { "letters", "empty", "readme.txt", "memo.txt" });
}

// Each toolbar command asks what it needs, sends one request on the picked folder or file and,
// when it succeeds, lists again: a folder command rebuilds the tree open down to the folder it
// leaves selected, a file command refills the list and forgets the picked file. A refusal says
// so and changes nothing shown.
void tst_frmFiler::commands()
{
    QFETCH(QString, folder);
    QFETCH(QString, key);
    QFETCH(QString, input);
    QFETCH(QStringList, exchange);
    QFETCH(Answers, answers);
    QFETCH(QStringList, messages);
    QFETCH(QString, selected);
    QFETCH(QStringList, shown);
    Open(0);
    ClickFolder(folder, folder != QLatin1String("data"));
    if (folder != QLatin1String("data"))
        ClickFile("note.txt");
    if (!input.isNull())
        asked->answerInput(input);
    for (MsgAnswer answer : answers)
        asked->answerMessage(answer);
    for (const QString &step : exchange)
        server->reply(step.section(u'|', 1), step.section(u'|', 0, 0));
    Tool(key)->trigger();
    QCOMPARE(asked->messageTexts(), messages);
    QCOMPARE(asked->inputs.value(0).initialText, key == QLatin1String("renamefile") ? "note.txt" : "");
    QCOMPARE(Selected(), selected);
    QCOMPARE(Column(Tree(), 0, Tree()->currentItem()) + Column(List()), shown);
    QVERIFY(!Tree()->visualItemRect(Tree()->currentItem()).isEmpty()); // opened down to it
    if (key == QLatin1String("newfolder") && messages.isEmpty() && !input.isEmpty())
        QVERIFY(Tree()->currentItem()->isExpanded()); // the new folder shows
    if (key.endsWith(QLatin1String("file")))
        QCOMPARE(Name()->text(), List()->selectedItems().isEmpty() ? "" : "note.txt");
    QCOMPARE(Enabled(), List()->selectedItems().isEmpty() ? 1 : 3);
}

QTEST_MAIN(tst_frmFiler)
#include "tst_frmfiler.moc"
