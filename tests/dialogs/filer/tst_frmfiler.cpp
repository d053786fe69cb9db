#include "dialogs/filer/filerrules.h"
#include "dialogs/filer/frmFiler.h"
#include "fakeserver.h"
#include "filertesthelpers.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QApplication>
#include <QHeaderView>
#include <QTest>
#include <QWidgetAction>
#include <memory>

using namespace filertest;
using platform::MsgAnswer;
using platform::MsgIcon;

namespace {

const QString kFolderListFailed = QStringLiteral("サーバからのフォルダ情報の取得に失敗しました。");
const QString kFileListFailed = QStringLiteral("サーバからのファイル情報の取得に失敗しました。");

frmFiler *ShownFiler()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *filer = qobject_cast<frmFiler *>(w))
            return filer;
    }
    return nullptr;
}

} // namespace

class tst_frmFiler : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<testsupport::FakeServer> server;
    std::unique_ptr<testsupport::FakeDialogs> asked;
    qsizetype mark = 0;   // requests before the step under test

    std::unique_ptr<frmFiler> Open(int mode)
    {
        modPublic::lngFilerMode = mode;
        modPublic::blnFilerOK = false;
        auto dlg = std::make_unique<frmFiler>();
        dlg->show();
        return dlg;
    }
    void Mark() { mark = server->requests.size(); }
    QStringList RequestsSinceMark() const { return server->requests.mid(mark); }
    qsizetype Count(const QString &request) const { return server->requests.count(request); }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startState_data();
    void startState();
    void toolbarAndColumns();
    void listingWaitsWithDialogDisabled();
    void closeBoxWaitsForReply();
    void lazyFilling();
    void listingFailures_data();
    void listingFailures();
    void skipsUnusableEntries();
    void openModeEmptiesNameOnFolderClick();
    void saveModeKeepsTypedName();
    void okWithEmptyName_data();
    void okWithEmptyName();
    void closingWithoutOK_data();
    void closingWithoutOK();
    void keyboardPicksLikeClick();

    void newFolderInDeepFolder();
    void newFolderOnRoot();
    void noAnswerSendsNothing_data();
    void noAnswerSendsNothing();
    void rootRefusals_data();
    void rootRefusals();
    void deleteFolder_data();
    void deleteFolder();
    void renameFolder();
    void deleteFile();
    void renameFile();
    void managementFailures_data();
    void managementFailures();
};

void tst_frmFiler::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    modPublic::strPassword = QStringLiteral("secret");
}

// data: letters (2008), empty; files readme.txt, memo.txt
void tst_frmFiler::init()
{
    server = std::make_unique<testsupport::FakeServer>();
    asked = std::make_unique<testsupport::FakeDialogs>();
    server->addFolder(QStringLiteral("data/letters/2008"));
    server->addFolder(QStringLiteral("data/empty"));
    server->addFile(QStringLiteral("data"), QStringLiteral("readme.txt"), QStringLiteral("1536"));
    server->addFile(QStringLiteral("data"), QStringLiteral("memo.txt"), QStringLiteral("10"));
    server->addFile(QStringLiteral("data/letters"), QStringLiteral("note.txt"), QStringLiteral("2048"));
    server->addFile(QStringLiteral("data/letters/2008"), QStringLiteral("old.txt"));
    modPublic::strCurrentFolder.clear();
    modPublic::strCurrentFile.clear();
    mark = 0;
}

void tst_frmFiler::cleanup()
{
    QVERIFY2(asked->unexpected.isEmpty(), qPrintable(asked->unexpected.join(QLatin1Char('\n'))));
    QVERIFY2(server->unexpected.isEmpty(), qPrintable(server->unexpected.join(QLatin1Char('\n'))));
    QVERIFY(asked->allAnswersUsed());
    asked.reset();
    server.reset();
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(!QApplication::overrideCursor());
}

void tst_frmFiler::startState_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("okCaption");
    QTest::addColumn<bool>("nameEnabled");
    QTest::newRow("open") << 0 << "ファイルを開く" << "開く(&O)" << false;
    QTest::newRow("save") << 1 << "ファイルの保存" << "保存(&S)" << true;
}

// Each showing starts at the root: its subfolders in the tree, its files in the list,
// the name empty, the management buttons off; the mode sets captions and the name field.
void tst_frmFiler::startState()
{
    QFETCH(int, mode);
    QFETCH(QString, caption);
    QFETCH(QString, okCaption);
    QFETCH(bool, nameEnabled);
    auto dlg = Open(mode);
    QCOMPARE(dlg->windowTitle(), caption);
    QCOMPARE(Button(*dlg, "cmdOK")->text(), okCaption);
    QCOMPARE(Button(*dlg, "cmdCancel")->text(), QStringLiteral("ｷｬﾝｾﾙ(&C)"));
    QCOMPARE(Name(*dlg)->isEnabled(), nameEnabled);
    QVERIFY(Name(*dlg)->text().isEmpty());
    QCOMPARE(Tree(*dlg)->topLevelItemCount(), 1);
    QCOMPARE(Tree(*dlg)->topLevelItem(0)->text(0), QStringLiteral("data"));
    QCOMPARE(SelectedKey(*dlg), QStringLiteral("data"));
    QCOMPARE(Children(Node(*dlg, "data")), (QStringList{"letters", "empty"}));
    QCOMPARE(Node(*dlg, "data/letters")->text(0), QStringLiteral("letters"));
    QCOMPARE(Column(List(*dlg), 0), (QStringList{"readme.txt", "memo.txt"}));
    QCOMPARE(Column(List(*dlg), 1), (QStringList{"2008/04/01 12:34:56", "2008/04/01 12:34:56"}));
    QCOMPARE(Column(List(*dlg), 2), (QStringList{"1KB", "10ﾊﾞｲﾄ"}));
    QCOMPARE(server->requests, (QStringList{"LISTFOLDERS path=data", "LISTFILES path=data"}));
    for (const char *key : {"newfolder", "deletefolder", "renamefolder", "deletefile", "renamefile"})
        QVERIFY2(!Tool(*dlg, key)->isEnabled(), key);
    QVERIFY(asked->messages.isEmpty());
}

// The toolbar's order, keys, tooltips and gaps, and the list's headers and measures.
void tst_frmFiler::toolbarAndColumns()
{
    auto dlg = Open(0);
    const qreal dpi = dlg->logicalDpiX();
    auto *toolOpt = dlg->findChild<QToolBar *>(QStringLiteral("toolOpt"));
    const QList<QAction *> actions = toolOpt->actions();
    QCOMPARE(actions.size(), 7);
    const QStringList keys{"", "newfolder", "deletefolder", "renamefolder", "", "deletefile", "renamefile"};
    const QStringList tips{"", "新規フォルダ作成", "フォルダ削除", "フォルダ名変更", "", "ファイル削除", "ファイル名変更"};
    for (int i = 0; i < actions.size(); ++i) {
        if (keys.at(i).isEmpty()) {
            QVERIFY(qobject_cast<QWidgetAction *>(actions.at(i)));
            continue;
        }
        QCOMPARE(actions.at(i)->objectName(), keys.at(i));
        QCOMPARE(actions.at(i)->toolTip(), tips.at(i));
        QVERIFY2(!actions.at(i)->icon().pixmap(16).isNull(), qPrintable(keys.at(i)));
    }
    QCOMPARE(toolOpt->widgetForAction(actions.at(0))->width(), filer::TwipsToPixels(6500, dpi));
    QCOMPARE(toolOpt->widgetForAction(actions.at(4))->width(), filer::TwipsToPixels(240, dpi));

    QTreeWidget *list = List(*dlg);
    QCOMPARE(list->columnCount(), 3);
    const int widths[] = {2822, 4233, 2540};
    const QStringList headers{"ファイル名", "最終更新日時", "サイズ"};
    for (int column = 0; column < 3; ++column) {
        QCOMPARE(list->headerItem()->text(column), headers.at(column));
        QCOMPARE(list->columnWidth(column), filer::TwipsToPixels(widths[column], dpi));
    }
    QVERIFY(list->topLevelItem(0)->textAlignment(2) & Qt::AlignRight);
    const QIcon folder = Node(*dlg, "data")->icon(0);
    QVERIFY(!folder.pixmap(16, QIcon::Normal).isNull());
    QVERIFY(folder.pixmap(16, QIcon::Normal).toImage() != folder.pixmap(16, QIcon::Selected).toImage());
}

// While a listing waits for its reply nothing can be clicked and the wait cursor shows; a
// failure message comes with the dialog usable again, so the message can be answered.
void tst_frmFiler::listingWaitsWithDialogDisabled()
{
    QStringList seen;
    server->onRequest = [&] {
        frmFiler *filer = ShownFiler();
        const QCursor *cursor = QApplication::overrideCursor();
        seen.append(QString::fromLatin1(filer && !filer->isEnabled() ? "disabled" : "enabled")
            + (cursor && cursor->shape() == Qt::WaitCursor ? " wait" : " arrow"));
    };
    asked->onQuestion = [&] {
        seen.append(QStringLiteral("message ") + (ShownFiler()->isEnabled() ? "enabled" : "disabled")
            + (QApplication::overrideCursor() ? " wait" : " arrow"));
    };
    server->failOn(QStringLiteral("LISTFOLDERS path=data"));
    auto dlg = Open(0);
    QCOMPARE(seen, (QStringList{"disabled wait", "message enabled arrow", "disabled wait"}));
    QVERIFY(dlg->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

// The close box is held while a request is out, so the reply still has a window to land in.
void tst_frmFiler::closeBoxWaitsForReply()
{
    auto dlg = Open(0);
    QList<bool> closed;
    server->onRequest = [&] { closed.append(ShownFiler()->close()); };
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QCOMPARE(closed, (QList<bool>{false, false}));
    QVERIFY(dlg->isVisible());
    QCOMPARE(Column(List(*dlg), 0), QStringList{"note.txt"});
}

// A folder's subfolders are asked for until it has some; once it has, they are kept.
void tst_frmFiler::lazyFilling()
{
    auto dlg = Open(0);
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QCOMPARE(Count("LISTFOLDERS path=data/letters"), 1);
    QCOMPARE(Count("LISTFILES path=data/letters"), 2);
    QCOMPARE(Children(Node(*dlg, "data/letters")), QStringList{"2008"});
    QVERIFY(ClickFolder(*dlg, "data/empty"));
    QVERIFY(ClickFolder(*dlg, "data/empty"));
    QCOMPARE(Count("LISTFOLDERS path=data/empty"), 2);
    QCOMPARE(Count("LISTFOLDERS path=data"), 1);
}

void tst_frmFiler::listingFailures_data()
{
    QTest::addColumn<bool>("failFolders");
    QTest::addColumn<bool>("failFiles");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("children");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("both") << true << true << QStringList{kFolderListFailed, kFileListFailed} << QStringList{}
                          << QStringList{};
    QTest::newRow("folders") << true << false << QStringList{kFolderListFailed} << QStringList{}
                             << QStringList{"note.txt"};
    QTest::newRow("files") << false << true << QStringList{kFileListFailed} << QStringList{"2008"} << QStringList{};
}

// Each failed listing has its message, the folder's first; what did arrive is shown, and a
// folder whose subfolders could not be listed is asked again at the next click.
void tst_frmFiler::listingFailures()
{
    QFETCH(bool, failFolders);
    QFETCH(bool, failFiles);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, children);
    QFETCH(QStringList, files);
    auto dlg = Open(0);
    if (failFolders)
        server->failOn(QStringLiteral("LISTFOLDERS path=data/letters"));
    if (failFiles)
        server->failOn(QStringLiteral("LISTFILES path=data/letters"));
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QCOMPARE(asked->messageTexts(), messages);
    for (const testsupport::AskedMessage &message : asked->messages)
        QCOMPARE(message.request.icon, MsgIcon::Exclamation);
    QCOMPARE(Children(Node(*dlg, "data/letters")), children);
    QCOMPARE(Column(List(*dlg), 0), files);
    QVERIFY(dlg->isVisible());
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QCOMPARE(Count("LISTFOLDERS path=data/letters"), failFolders ? 2 : 1);
}

// Empty lines, a name sent twice and file lines short of three fields make no entry.
void tst_frmFiler::skipsUnusableEntries()
{
    server->replyOn(QStringLiteral("LISTFOLDERS path=data"), QStringLiteral("data\nx\n\nx\ny\n"));
    server->replyOn(QStringLiteral("LISTFILES path=data"),
        QStringLiteral("data\na.txt\t2008\t5\nshort\tline\n\nb.txt\td\tabc\n"));
    auto dlg = Open(0);
    QCOMPARE(Children(Node(*dlg, "data")), (QStringList{"x", "y"}));
    QCOMPARE(Column(List(*dlg), 0), (QStringList{"a.txt", "b.txt"}));
    QCOMPARE(Column(List(*dlg), 1), (QStringList{"2008", "d"}));
    QCOMPARE(Column(List(*dlg), 2), (QStringList{"5ﾊﾞｲﾄ", "abc"}));
}

// Open mode: a folder click forgets the picked file, so OK asks for one again; once a file
// is picked, OK returns it with the folder it was listed in.
void tst_frmFiler::openModeEmptiesNameOnFolderClick()
{
    auto dlg = Open(0);
    QVERIFY(ClickFile(*dlg, "readme.txt"));
    QCOMPARE(Name(*dlg)->text(), QStringLiteral("readme.txt"));
    QVERIFY(Tool(*dlg, "deletefile")->isEnabled());
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QVERIFY(Name(*dlg)->text().isEmpty());
    QVERIFY(Tool(*dlg, "newfolder")->isEnabled());
    QVERIFY(!Tool(*dlg, "deletefile")->isEnabled());
    QTest::mouseClick(Button(*dlg, "cmdOK"), Qt::LeftButton);
    QCOMPARE(asked->messageTexts(), QStringList{"ファイルを選択してください。"});
    QVERIFY(dlg->isVisible());
    QVERIFY(ClickFile(*dlg, "note.txt"));
    QTest::mouseClick(Button(*dlg, "cmdOK"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible());
    QVERIFY(modPublic::blnFilerOK);
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data/letters"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("note.txt"));
}

// Save mode: a typed name survives folder changes and is returned exactly as typed, with
// the folder last clicked.
void tst_frmFiler::saveModeKeepsTypedName()
{
    auto dlg = Open(1);
    QTest::keyClicks(Name(*dlg), QStringLiteral(" draft/1.txt "));
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QVERIFY(ClickFolder(*dlg, "data/empty"));
    QCOMPARE(Name(*dlg)->text(), QStringLiteral(" draft/1.txt "));
    QTest::mouseClick(Button(*dlg, "cmdOK"), Qt::LeftButton);
    QCOMPARE(dlg->result(), int(QDialog::Accepted));
    QVERIFY(modPublic::blnFilerOK);
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data/empty"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral(" draft/1.txt "));
}

void tst_frmFiler::okWithEmptyName_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("message");
    QTest::newRow("open") << 0 << "ファイルを選択してください。";
    QTest::newRow("save") << 1 << "ファイル名を入力してください。";
}

// OK without a name says what is missing and keeps the dialog open.
void tst_frmFiler::okWithEmptyName()
{
    QFETCH(int, mode);
    QFETCH(QString, message);
    auto dlg = Open(mode);
    QTest::mouseClick(Button(*dlg, "cmdOK"), Qt::LeftButton);
    QCOMPARE(asked->messageTexts(), QStringList{message});
    QCOMPARE(asked->messages.first().request.icon, MsgIcon::Exclamation);
    QVERIFY(dlg->isVisible());
    QVERIFY(!modPublic::blnFilerOK);
    dlg->reject();
}

void tst_frmFiler::closingWithoutOK_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancel button") << "cancel";
    QTest::newRow("escape") << "escape";
    QTest::newRow("close box") << "close";
}

// Leaving without OK touches none of the shared state.
void tst_frmFiler::closingWithoutOK()
{
    QFETCH(QString, how);
    modPublic::strCurrentFolder = QStringLiteral("data/keep");
    modPublic::strCurrentFile = QStringLiteral("keep.txt");
    auto dlg = Open(0);
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QVERIFY(ClickFile(*dlg, "note.txt"));
    if (how == QLatin1String("cancel"))
        QTest::mouseClick(Button(*dlg, "cmdCancel"), Qt::LeftButton);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
    else
        QVERIFY(dlg->close());
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(QDialog::Rejected));
    QVERIFY(!modPublic::blnFilerOK);
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data/keep"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("keep.txt"));
}

// Moving with the arrow keys picks a folder or file as a click does, and the keyboard
// keeps its place in the tree after the listing.
void tst_frmFiler::keyboardPicksLikeClick()
{
    auto dlg = Open(0);
    dlg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    Tree(*dlg)->setFocus();
    QTest::keyClick(Tree(*dlg), Qt::Key_Down);
    QCOMPARE(SelectedKey(*dlg), QStringLiteral("data/letters"));
    QCOMPARE(Column(List(*dlg), 0), QStringList{"note.txt"});
    QVERIFY(Tree(*dlg)->hasFocus());
    QTest::keyClick(List(*dlg), Qt::Key_Down);
    QCOMPARE(Name(*dlg)->text(), QStringLiteral("note.txt"));
    QVERIFY(Tool(*dlg, "renamefile")->isEnabled());
}

// A folder made inside a deep folder: the tree is rebuilt open down to that folder, which
// is selected with its new child loaded; the list shows its files and the toolbar offers
// the folder commands only.
void tst_frmFiler::newFolderInDeepFolder()
{
    auto dlg = Open(0);
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QVERIFY(ClickFolder(*dlg, "data/letters/2008"));
    QVERIFY(ClickFile(*dlg, "old.txt"));
    asked->answerInput(QStringLiteral("新しい"));
    Mark();
    Tool(*dlg, "newfolder")->trigger();
    QCOMPARE(asked->inputs.size(), 1);
    QCOMPARE(asked->inputs.first().prompt, QStringLiteral("作成するフォルダ名を入力してください。"));
    QVERIFY(asked->inputs.first().initialText.isEmpty());
    QCOMPARE(RequestsSinceMark(),
        (QStringList{"NEWFOLDER path=data/letters/2008/新しい", "LISTFOLDERS path=data", "LISTFILES path=data",
            "LISTFOLDERS path=data/letters", "LISTFILES path=data/letters", "LISTFOLDERS path=data/letters/2008",
            "LISTFILES path=data/letters/2008"}));
    QVERIFY(Node(*dlg, "data")->isExpanded());
    QVERIFY(Node(*dlg, "data/letters")->isExpanded());
    QTreeWidgetItem *target = Node(*dlg, "data/letters/2008");
    QVERIFY(Tree(*dlg)->viewport()->rect().contains(Tree(*dlg)->visualItemRect(target)));
    QCOMPARE(SelectedKey(*dlg), QStringLiteral("data/letters/2008"));
    QCOMPARE(Children(target), QStringList{"新しい"});
    QCOMPARE(Column(List(*dlg), 0), QStringList{"old.txt"});
    QVERIFY(Tool(*dlg, "deletefolder")->isEnabled());
    QVERIFY(!Tool(*dlg, "deletefile")->isEnabled());
    QVERIFY(asked->messages.isEmpty());
}

// On the root a new folder becomes data/N, and the rebuilt root is listed and selected.
void tst_frmFiler::newFolderOnRoot()
{
    auto dlg = Open(0);
    QVERIFY(ClickFolder(*dlg, "data"));
    asked->answerInput(QStringLiteral("x"));
    Mark();
    Tool(*dlg, "newfolder")->trigger();
    QCOMPARE(RequestsSinceMark(), (QStringList{"NEWFOLDER path=data/x", "LISTFOLDERS path=data", "LISTFILES path=data"}));
    QCOMPARE(Children(Node(*dlg, "data")), (QStringList{"letters", "empty", "x"}));
    QCOMPARE(SelectedKey(*dlg), QStringLiteral("data"));
}

void tst_frmFiler::noAnswerSendsNothing_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("initial");
    QTest::newRow("new folder cancelled") << "newfolder" << "" << "作成するフォルダ名を入力してください。" << "";
    QTest::newRow("folder rename cancelled") << "renamefolder" << "" << "新しいフォルダ名を入力してください。" << "";
    QTest::newRow("file rename cancelled") << "renamefile" << "" << "新しいファイル名を入力してください。"
                                           << "note.txt";
    QTest::newRow("file name unchanged") << "renamefile" << "note.txt" << "新しいファイル名を入力してください。"
                                         << "note.txt";
}

// An empty answer, Cancel, or the unchanged file name sends nothing and says nothing.
void tst_frmFiler::noAnswerSendsNothing()
{
    QFETCH(QString, key);
    QFETCH(QString, answer);
    QFETCH(QString, prompt);
    QFETCH(QString, initial);
    auto dlg = Open(0);
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QVERIFY(ClickFile(*dlg, "note.txt"));
    asked->answerInput(answer);
    Mark();
    Tool(*dlg, key)->trigger();
    QCOMPARE(asked->inputs.size(), 1);
    QCOMPARE(asked->inputs.first().prompt, prompt);
    QCOMPARE(asked->inputs.first().initialText, initial);
    QVERIFY(RequestsSinceMark().isEmpty());
    QVERIFY(asked->messages.isEmpty());
    QCOMPARE(Name(*dlg)->text(), QStringLiteral("note.txt"));
}

void tst_frmFiler::rootRefusals_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("message");
    QTest::newRow("delete") << "deletefolder" << "ルートフォルダは削除できません。";
    QTest::newRow("rename") << "renamefolder" << "ルートフォルダの名前は変更できません。";
}

// The root can be neither deleted nor renamed: refused before any question or request.
void tst_frmFiler::rootRefusals()
{
    QFETCH(QString, key);
    QFETCH(QString, message);
    auto dlg = Open(0);
    QVERIFY(ClickFolder(*dlg, "data"));
    Mark();
    Tool(*dlg, key)->trigger();
    QCOMPARE(asked->messageTexts(), QStringList{message});
    QCOMPARE(asked->messages.first().request.icon, MsgIcon::Exclamation);
    QVERIFY(asked->inputs.isEmpty());
    QVERIFY(RequestsSinceMark().isEmpty());
}

void tst_frmFiler::deleteFolder_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("yes") << MsgAnswer::Yes;
    QTest::newRow("no") << MsgAnswer::No;
}

// Deleting a folder asks first (No by default); on Yes the tree is rebuilt at its parent.
void tst_frmFiler::deleteFolder()
{
    QFETCH(MsgAnswer, answer);
    auto dlg = Open(0);
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QVERIFY(ClickFolder(*dlg, "data/letters/2008"));
    asked->answerMessage(answer);
    Mark();
    Tool(*dlg, "deletefolder")->trigger();
    QCOMPARE(asked->messages.size(), 1);
    const platform::MessageRequest &question = asked->messages.first().request;
    QCOMPARE(question.text, QStringLiteral("フォルダ2008とそれ以下のすべてのファイル、フォルダを削除しますか？"));
    QCOMPARE(question.icon, MsgIcon::Question);
    QCOMPARE(question.buttons, platform::MsgButtons::YesNo);
    QCOMPARE(question.defaultButton, MsgAnswer::No);
    if (answer == MsgAnswer::No) {
        QVERIFY(RequestsSinceMark().isEmpty());
        QCOMPARE(SelectedKey(*dlg), QStringLiteral("data/letters/2008"));
        return;
    }
    QCOMPARE(RequestsSinceMark(),
        (QStringList{"DELETEFOLDER path=data/letters/2008", "LISTFOLDERS path=data", "LISTFILES path=data",
            "LISTFOLDERS path=data/letters", "LISTFILES path=data/letters"}));
    QVERIFY(!Node(*dlg, "data/letters/2008"));
    QCOMPARE(SelectedKey(*dlg), QStringLiteral("data/letters"));
    QCOMPARE(Column(List(*dlg), 0), QStringList{"note.txt"});
}

// A folder rename sends only the new name and rebuilds the tree at the parent.
void tst_frmFiler::renameFolder()
{
    auto dlg = Open(0);
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QVERIFY(ClickFolder(*dlg, "data/letters/2008"));
    asked->answerInput(QStringLiteral("2009"));
    Mark();
    Tool(*dlg, "renamefolder")->trigger();
    QCOMPARE(RequestsSinceMark().value(0), QStringLiteral("RENAMEFOLDER path=data/letters/2008 name=2009"));
    QCOMPARE(RequestsSinceMark().last(), QStringLiteral("LISTFILES path=data/letters"));
    QCOMPARE(Children(Node(*dlg, "data/letters")), QStringList{"2009"});
    QCOMPARE(SelectedKey(*dlg), QStringLiteral("data/letters"));
    QVERIFY(asked->messages.isEmpty());
}

// A file is deleted at once, the list refilled and the name emptied; with no row picked
// any more, the file buttons are off.
void tst_frmFiler::deleteFile()
{
    auto dlg = Open(0);
    QVERIFY(ClickFile(*dlg, "readme.txt"));
    Mark();
    Tool(*dlg, "deletefile")->trigger();
    QVERIFY(asked->messages.isEmpty());
    QCOMPARE(RequestsSinceMark(), (QStringList{"DELETEFILE path=data/readme.txt", "LISTFILES path=data"}));
    QCOMPARE(Column(List(*dlg), 0), QStringList{"memo.txt"});
    QVERIFY(Name(*dlg)->text().isEmpty());
    QVERIFY(!Tool(*dlg, "deletefile")->isEnabled());
    QVERIFY(!Tool(*dlg, "renamefile")->isEnabled());
    QVERIFY(Tool(*dlg, "newfolder")->isEnabled());
    QCOMPARE(server->files("data"), QStringList{"memo.txt"});
}

// A file rename offers the current name, sends a name differing only in case, refills the
// list and empties the name field, in save mode too.
void tst_frmFiler::renameFile()
{
    auto dlg = Open(1);
    QVERIFY(ClickFile(*dlg, "readme.txt"));
    asked->answerInput(QStringLiteral("README.txt"));
    Mark();
    Tool(*dlg, "renamefile")->trigger();
    QCOMPARE(asked->inputs.first().initialText, QStringLiteral("readme.txt"));
    QCOMPARE(RequestsSinceMark(),
        (QStringList{"RENAMEFILE path=data/readme.txt name=README.txt", "LISTFILES path=data"}));
    QCOMPARE(Column(List(*dlg), 0), (QStringList{"README.txt", "memo.txt"}));
    QVERIFY(Name(*dlg)->text().isEmpty());
}

void tst_frmFiler::managementFailures_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("message");
    QTest::newRow("new folder") << "newfolder" << "x" << "NEWFOLDER path=data/letters/x" << "フォルダの作成に失敗しました。";
    QTest::newRow("delete folder") << "deletefolder" << "" << "DELETEFOLDER path=data/letters"
                                   << "フォルダの削除に失敗しました。";
    QTest::newRow("rename folder") << "renamefolder" << "y" << "RENAMEFOLDER path=data/letters name=y"
                                   << "フォルダ名の変更に失敗しました。";
    QTest::newRow("delete file") << "deletefile" << "" << "DELETEFILE path=data/letters/note.txt"
                                 << "ファイルの削除に失敗しました。";
    QTest::newRow("rename file") << "renamefile" << "z.txt" << "RENAMEFILE path=data/letters/note.txt name=z.txt"
                                 << "ファイル名の変更に失敗しました。";
}

// A refused command says so and refreshes nothing: tree, list and name stay as they were.
void tst_frmFiler::managementFailures()
{
    QFETCH(QString, key);
    QFETCH(QString, input);
    QFETCH(QString, request);
    QFETCH(QString, message);
    auto dlg = Open(0);
    QVERIFY(ClickFolder(*dlg, "data/letters"));
    QVERIFY(ClickFile(*dlg, "note.txt"));
    if (!input.isEmpty())
        asked->answerInput(input);
    if (key == QLatin1String("deletefolder"))
        asked->answerMessage(MsgAnswer::Yes);
    server->failOn(request);
    Mark();
    Tool(*dlg, key)->trigger();
    QCOMPARE(RequestsSinceMark(), QStringList{request});
    QCOMPARE(asked->messages.last().request.text, message);
    QCOMPARE(asked->messages.last().request.icon, MsgIcon::Exclamation);
    QCOMPARE(Children(Node(*dlg, "data/letters")), QStringList{"2008"});
    QCOMPARE(SelectedKey(*dlg), QStringLiteral("data/letters"));
    QCOMPARE(Column(List(*dlg), 0), QStringList{"note.txt"});
    QCOMPARE(Name(*dlg)->text(), QStringLiteral("note.txt"));
}

QTEST_MAIN(tst_frmFiler)
#include "tst_frmfiler.moc"
