// The file browser against a scripted server: what it lists, what it sends, what it returns.

#include "dialogs/filer/filerrules.h"
#include "dialogs/filer/frmFiler.h"
#include "dialogs/placed.h"
#include "platform/twips.h"
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

namespace {

const QString kFolderListFailed = QStringLiteral("サーバからのフォルダ情報の取得に失敗しました。");
const QString kFileListFailed = QStringLiteral("サーバからのファイル情報の取得に失敗しました。");
const QString kDeleteQuestion = QStringLiteral("フォルダaとそれ以下のすべてのファイル、フォルダを削除しますか？");

// A toolbar command on data/a (holding b) with its file n.txt picked; "root" rows pick data.
struct Command {
    const char *name, *key, *input; // input: the name typed when asked; nullptr: nothing asked
    QStringList exchange; // "request|reply"; "*data" and "*a" stand for the listings of a rebuild
    QList<std::pair<MsgAnswer, QString>> asks; // each message box's answer and text
    const char *state; // as State() tells it afterwards
};
const char *const kUnchanged = "data/a [b] n.txt name=n.txt tools=3";
const Command kCommands[] = {
    { "new folder", "newfolder", "x", { "NEWFOLDER path=data/a/x|New Folder OK\n", "*a" }, {},
        "data/a+ [b x] k.txt name=n.txt tools=1" },
    { "new folder cancelled", "newfolder", "", {}, {}, kUnchanged },
    { "new folder refused", "newfolder", "x", { "NEWFOLDER path=data/a/x|NG" },
        { { MsgAnswer::OK, "フォルダの作成に失敗しました。" } }, kUnchanged },
    { "delete folder", "deletefolder", nullptr, { "DELETEFOLDER path=data/a|Delete Folder OK\n", "*data" },
        { { MsgAnswer::Yes, kDeleteQuestion } }, "data [e] name=n.txt tools=1" },
    { "delete folder declined", "deletefolder", nullptr, {}, { { MsgAnswer::No, kDeleteQuestion } }, kUnchanged },
    { "delete folder refused", "deletefolder", nullptr, { "DELETEFOLDER path=data/a|NG" },
        { { MsgAnswer::Yes, kDeleteQuestion }, { MsgAnswer::OK, "フォルダの削除に失敗しました。" } }, kUnchanged },
    { "rename folder", "renamefolder", "y", { "RENAMEFOLDER path=data/a name=y|Rename Folder OK\n", "*data" }, {},
        "data [e] name=n.txt tools=1" },
    { "rename folder refused", "renamefolder", "y", { "RENAMEFOLDER path=data/a name=y|NG" },
        { { MsgAnswer::OK, "フォルダ名の変更に失敗しました。" } }, kUnchanged },
    { "delete file", "deletefile", nullptr,
        { "DELETEFILE path=data/a/n.txt|Delete File OK\n", "LISTFILES path=data/a|data/a" }, {},
        "data/a [b] name= tools=1" },
    { "delete file refused", "deletefile", nullptr, { "DELETEFILE path=data/a/n.txt|NG" },
        { { MsgAnswer::OK, "ファイルの削除に失敗しました。" } }, kUnchanged },
    { "rename file", "renamefile", "z",
        { "RENAMEFILE path=data/a/n.txt name=z|Rename File OK\n", "LISTFILES path=data/a|data/a\nz\td\t1" }, {},
        "data/a [b] z name= tools=1" },
    { "rename file unchanged", "renamefile", "n.txt", {}, {}, kUnchanged },
    { "rename file refused", "renamefile", "z", { "RENAMEFILE path=data/a/n.txt name=z|NG" },
        { { MsgAnswer::OK, "ファイル名の変更に失敗しました。" } }, kUnchanged },
    { "root not deleted", "deletefolder", nullptr, {}, { { MsgAnswer::OK, "ルートフォルダは削除できません。" } },
        "data+ [a e] r.txt m.txt name= tools=1" },
    { "root not renamed", "renamefolder", nullptr, {}, { { MsgAnswer::OK, "ルートフォルダの名前は変更できません。" } },
        "data+ [a e] r.txt m.txt name= tools=1" },
};

} // namespace

class tst_frmFiler : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<testsupport::ScriptedHttpServer> server;
    std::unique_ptr<testsupport::FakeDialogs> asked;
    std::unique_ptr<frmFiler> dlg;

    // A folder name sent twice, an empty line, a short line and a nameless line show nothing.
    void Open(int mode)
    {
        modPublic::lngFilerMode = mode;
        server->reply("data\na\ne\na\n", "LISTFOLDERS path=data");
        server->reply("data\nr.txt\t2008/04/01 12:34\t1536\nm.txt\td\t10\nshort\td\n\td\t1", "LISTFILES path=data");
        dlg = std::make_unique<frmFiler>();
        dlg->show();
    }
    void ListA(const char *folders = "data/a\nb", const char *files = "data/a\nn.txt\td\t2048")
    {
        if (folders)
            server->reply(folders, "LISTFOLDERS path=data/a");
        server->reply(files, "LISTFILES path=data/a");
    }
    QTreeWidget *Tree() { return dlg->findChild<QTreeWidget *>("trviewFolders"); }
    QTreeWidget *List() { return dlg->findChild<QTreeWidget *>("lsviewFiles"); }
    QLineEdit *Name() { return dlg->findChild<QLineEdit *>("txtName"); }
    QPushButton *Button(const char *name) { return dlg->findChild<QPushButton *>(name); }
    QAction *Tool(const QString &key) { return dlg->findChild<QToolBar *>("toolOpt")->findChild<QAction *>(key); }
    QTreeWidgetItem *Node(const char *name)
    {
        return Tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    void Click(QTreeWidget *view, QTreeWidgetItem *item)
    {
        QVERIFY(item);
        view->scrollToItem(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(item).center());
    }
    // The selected folder ("+" when open) with its subfolders, the files listed, the name field
    // and the toolbar's enabled groups (1 folders, 2 files); the selected folder is shown.
    QString State()
    {
        QTreeWidgetItem *node = Tree()->currentItem();
        QString text = node->data(0, Qt::UserRole).toString() + (node->isExpanded() ? "+ [" : " [");
        for (int i = 0; i < node->childCount(); ++i)
            text += node->child(i)->text(0) + (i + 1 < node->childCount() ? " " : "");
        text += u']';
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            text += u' ' + List()->topLevelItem(i)->text(0);
        const int tools = (Tool("newfolder")->isEnabled() ? 1 : 0) + (Tool("renamefile")->isEnabled() ? 2 : 0);
        if (Tree()->visualItemRect(node).isEmpty())
            text += QStringLiteral(" hidden");
        return text + QStringLiteral(" name=%1 tools=%2").arg(Name()->text()).arg(tools);
    }

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        server = std::make_unique<testsupport::ScriptedHttpServer>();
        asked = std::make_unique<testsupport::FakeDialogs>();
        modPublic::strServer = server->serverText();
        modPublic::blnFilerOK = false;
        modPublic::strCurrentFolder = modPublic::strCurrentFile = QStringLiteral("keep");
    }
    void cleanup()
    {
        dlg.reset();
        asked.reset();
        server.reset();
        QVERIFY(!QApplication::overrideCursor());
    }
    void formatFileSize();
    void startState();
    void busyWhileWaiting();
    void listingFailures();
    void okAndCancel_data();
    void okAndCancel();
    void commands_data();
    void commands();
};

// Kilobytes truncated from 1024 on, the received text with ﾊﾞｲﾄ below, a size that is no
// number shown as it came.
void tst_frmFiler::formatFileSize()
{
    QStringList shown;
    for (const char *size : { "0", "1024", "2047", "0012", "1.5", "3000000000" })
        shown.append(filer::FormatFileSize(size));
    QCOMPARE(shown, (QStringList { "0ﾊﾞｲﾄ", "1KB", "1KB", "0012ﾊﾞｲﾄ", "1.5", "2929687KB" }));
}

// Each showing starts at the root, selected and open, its files listed in three columns that
// keep their widths; the toolbar is off until something is picked.
void tst_frmFiler::startState()
{
    Open(0);
    QCOMPARE(State(), QStringLiteral("data+ [a e] r.txt m.txt name= tools=0"));
    QCOMPARE(Tree()->topLevelItemCount(), 1);
    const QTreeWidgetItem *row = List()->topLevelItem(0);
    QCOMPARE(row->text(1) + row->text(2) + List()->topLevelItem(1)->text(2), "2008/04/01 12:341KB10ﾊﾞｲﾄ");
    QCOMPARE(row->textAlignment(2), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(dialogtest::Unplaced(dlg.get()), QString());
    dlg->resize(2000, 600);
    QApplication::processEvents();
    QCOMPARE(List()->columnWidth(2), platform::TwipsToPixels(2540, platform::TwipsPerPixelAt(dlg->logicalDpiX())));
}

// While a request waits the dialog is disabled, shows the wait cursor and keeps its close box
// shut; afterwards all is back, the keyboard's place too; arrow keys pick as clicks do, and a
// click on empty space keeps what was picked.
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
    ListA();
    QTest::keyClick(Tree(), Qt::Key_Down);
    QCOMPARE(seen, (QStringList { "false", "false" }));
    QVERIFY(dlg->isEnabled() && dlg->isVisible() && Tree()->hasFocus());
    QTest::keyClick(List(), Qt::Key_Down);
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, QPoint(5, List()->viewport()->height() - 5));
    QCOMPARE(State(), QStringLiteral("data/a [b] n.txt name=n.txt tools=3"));
    QCOMPARE(List()->selectedItems().size(), 1);
}

// A failed listing says so and shows what did arrive; a folder whose subfolders could not be
// listed is asked again at the next click.
void tst_frmFiler::listingFailures()
{
    Open(0);
    ListA("NG");
    asked->answerMessage(MsgAnswer::OK);
    Click(Tree(), Node("a"));
    QCOMPARE(State(), QStringLiteral("data/a [] n.txt name= tools=1"));
    ListA("data/a\nb", "NG");
    asked->answerMessage(MsgAnswer::OK);
    Click(Tree(), Node("a"));
    QCOMPARE(State(), QStringLiteral("data/a [b] name= tools=1"));
    QCOMPARE(asked->messageTexts(), (QStringList { kFolderListFailed, kFileListFailed }));
}

void tst_frmFiler::okAndCancel_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("texts"); // the title, OK's caption, and the message of OK without a name
    QTest::addColumn<QString>("typed"); // kept by a folder click only when saving
    QTest::newRow("open") << 0 << "ファイルを開く 開く(&O) ファイルを選択してください。" << QString();
    QTest::newRow("save") << 1 << "ファイルの保存 保存(&S) ファイル名を入力してください。"
                          << " a/1.txt ";
}

// The name field is for saving only. OK without a name says what is missing and keeps the
// dialog open; Cancel changes nothing; OK returns the name with its folder, exactly as shown.
void tst_frmFiler::okAndCancel()
{
    QFETCH(int, mode);
    QFETCH(QString, texts);
    QFETCH(QString, typed);
    Open(mode);
    QCOMPARE(Name()->isEnabled(), mode == 1);
    asked->answerMessage(MsgAnswer::OK);
    QTest::mouseClick(Button("cmdOK"), Qt::LeftButton);
    QCOMPARE(dlg->windowTitle() + ' ' + Button("cmdOK")->text() + ' ' + asked->messageTexts().join(""), texts);
    Name()->setText(QStringLiteral(" a/1.txt "));
    ListA();
    Click(Tree(), Node("a"));
    QCOMPARE(Name()->text(), typed);
    Click(List(), List()->topLevelItem(0));
    QTest::keyClicks(Name(), typed);
    QTest::mouseClick(Button("cmdCancel"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible() && !modPublic::blnFilerOK);
    QCOMPARE(modPublic::strCurrentFolder + modPublic::strCurrentFile, QStringLiteral("keepkeep"));
    dlg->show();
    QTest::mouseClick(Button("cmdOK"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible() && modPublic::blnFilerOK);
    QCOMPARE(modPublic::strCurrentFolder + '|' + modPublic::strCurrentFile, "data/a|n.txt" + typed);
}

void tst_frmFiler::commands_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(kCommands)); ++row)
        QTest::newRow(kCommands[row].name) << row;
}

// Each toolbar command asks what it needs, sends one request on the picked folder or file and,
// when it succeeds, lists again: a folder command rebuilds the tree open down to the folder it
// leaves selected, a file command refills the list and forgets the picked file. A refusal says
// so and changes nothing shown.
void tst_frmFiler::commands()
{
    QFETCH(int, row);
    const Command &c = kCommands[row];
    Open(0);
    if (QLatin1String(c.name).startsWith(QLatin1String("root"))) {
        server->reply("data\nr.txt\td\t1\nm.txt\td\t1", "LISTFILES path=data");
        Click(Tree(), Node("data"));
    } else {
        ListA();
        Click(Tree(), Node("a"));
        Click(List(), List()->topLevelItem(0));
    }
    if (c.input)
        asked->answerInput(QString::fromUtf8(c.input));
    for (const auto &[answer, text] : c.asks)
        asked->answerMessage(answer, text);
    const QHash<QString, QStringList> rebuilds { { "*data",
                                                     { "LISTFOLDERS path=data|data\ne", "LISTFILES path=data|data" } },
        { "*a",
            { "LISTFOLDERS path=data|data\na", "LISTFILES path=data|data", "LISTFOLDERS path=data/a|data/a\nb\nx",
                "LISTFILES path=data/a|data/a\nk.txt\td\t1" } } };
    for (const QString &step : c.exchange) {
        for (const QString &s : rebuilds.value(step, { step }))
            server->reply(s.section(u'|', 1), s.section(u'|', 0, 0));
    }
    Tool(c.key)->trigger();
    QCOMPARE(asked->inputs.value(0).initialText, QLatin1String(c.key) == "renamefile" ? "n.txt" : "");
    QCOMPARE(State(), QLatin1String(c.state));
}

QTEST_MAIN(tst_frmFiler)
#include "tst_frmfiler.moc"
