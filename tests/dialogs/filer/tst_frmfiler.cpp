#include "dialogs/filer/filerrules.h"
#include "dialogs/filer/frmFiler.h"
#include "fakeserver.h"
#include "filertesthelpers.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QApplication>
#include <QTest>
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

    void formatFileSize_data();
    void formatFileSize();

    void startState_data();
    void startState();
    void listingWaitsWithDialogDisabled();
    void closeBoxWaitsForReply();
    void lazyFilling();
    void listingFailures_data();
    void listingFailures();
    void skipsUnusableEntries();
    void openModeEmptiesNameOnFolderClick();
    void saveModeKeepsTypedName();
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
    void fileCommands_data();
    void fileCommands();
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

void tst_frmFiler::formatFileSize_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero") << "0" << "0ﾊﾞｲﾄ";
    QTest::newRow("largest byte count") << "1023" << "1023ﾊﾞｲﾄ";
    QTest::newRow("one kilobyte") << "1024" << "1KB";
    QTest::newRow("half more is truncated") << "1535" << "1KB";
    QTest::newRow("just under two") << "2047" << "1KB";
    QTest::newRow("two kilobytes") << "2048" << "2KB";
    QTest::newRow("no larger unit") << "1048576" << "1024KB";
    QTest::newRow("the text itself, not the number") << "0012" << "0012ﾊﾞｲﾄ";
    QTest::newRow("beyond 32 bits") << "3000000000" << "2929687KB";
    QTest::newRow("not a number") << "abc" << "abc";
    QTest::newRow("number with a unit") << "12KB" << "12KB";
    QTest::newRow("fraction") << "1.5" << "1.5";
    QTest::newRow("empty") << "" << "";
}

// The size column: kilobytes truncated from 1024 on, the received text with ﾊﾞｲﾄ below,
// and a size that is no number shown as it came rather than as a wrong number.
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
        QVERIFY2(!Tool(*dlg, key)->isEnabled() && !Tool(*dlg, key)->icon().isNull(), key);
    QVERIFY(asked->messages.isEmpty());
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

// Empty lines, a name sent twice, a file line short of three fields or without a name make no
// entry; a fourth field is ignored.
void tst_frmFiler::skipsUnusableEntries()
{
    server->replyOn(QStringLiteral("LISTFOLDERS path=data"), QStringLiteral("data\nx\n\nx\ny\n"));
    server->replyOn(QStringLiteral("LISTFILES path=data"),
        QStringLiteral("data\na.txt\t2008\t5\nshort\tline\n\nb.txt\td\tabc\n\tnoname\t1\nc.txt\te\t7\textra\n"));
    auto dlg = Open(0);
    QCOMPARE(Children(Node(*dlg, "data")), (QStringList{"x", "y"}));
    QCOMPARE(Column(List(*dlg), 0), (QStringList{"a.txt", "b.txt", "c.txt"}));
    QCOMPARE(Column(List(*dlg), 1), (QStringList{"2008", "d", "e"}));
    QCOMPARE(Column(List(*dlg), 2), (QStringList{"5ﾊﾞｲﾄ", "abc", "7ﾊﾞｲﾄ"}));
}

// Open mode: a folder click forgets the picked file, so OK asks for one and keeps the dialog
// open; once a file is picked, OK returns it with the folder it was listed in.
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
    QCOMPARE(asked->messages.first().request.icon, MsgIcon::Exclamation);
    QVERIFY(dlg->isVisible() && !modPublic::blnFilerOK);
    QVERIFY(ClickFile(*dlg, "note.txt"));
    QTest::mouseClick(Button(*dlg, "cmdOK"), Qt::LeftButton);
    QVERIFY(!dlg->isVisible());
    QVERIFY(modPublic::blnFilerOK);
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data/letters"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("note.txt"));
}

// Save mode: OK without a name asks for one and keeps the dialog open; a typed name survives
// folder changes and is returned exactly as typed, with the folder last clicked.
void tst_frmFiler::saveModeKeepsTypedName()
{
    auto dlg = Open(1);
    QTest::mouseClick(Button(*dlg, "cmdOK"), Qt::LeftButton);
    QCOMPARE(asked->messageTexts(), QStringList{"ファイル名を入力してください。"});
    QCOMPARE(asked->messages.first().request.icon, MsgIcon::Exclamation);
    QVERIFY(dlg->isVisible() && !modPublic::blnFilerOK);
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
// is selected and opened with its new child loaded; the list shows its files and the toolbar offers
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
    QVERIFY(target->isExpanded());
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

void tst_frmFiler::fileCommands_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("delete") << "deletefile" << 0 << "" << "DELETEFILE path=data/readme.txt" << QStringList{"memo.txt"};
    QTest::newRow("rename in save mode") << "renamefile" << 1 << "README.txt"
                                         << "RENAMEFILE path=data/readme.txt name=README.txt"
                                         << QStringList{"README.txt", "memo.txt"};
}

// A file is deleted at once, or renamed from its current name to one differing only in case;
// the list is refilled and the name emptied, and with no row picked the file buttons are off.
void tst_frmFiler::fileCommands()
{
    QFETCH(QString, key);
    QFETCH(int, mode);
    QFETCH(QString, input);
    QFETCH(QString, request);
    QFETCH(QStringList, files);
    auto dlg = Open(mode);
    QVERIFY(ClickFile(*dlg, "readme.txt"));
    if (!input.isEmpty())
        asked->answerInput(input);
    Mark();
    Tool(*dlg, key)->trigger();
    QCOMPARE(asked->inputs.value(0).initialText, input.isEmpty() ? QString() : QStringLiteral("readme.txt"));
    QVERIFY(asked->messages.isEmpty());
    QCOMPARE(RequestsSinceMark(), (QStringList{request, "LISTFILES path=data"}));
    QCOMPARE(Column(List(*dlg), 0), files);
    QCOMPARE(server->files("data"), files);
    QVERIFY(Name(*dlg)->text().isEmpty());
    QVERIFY(!Tool(*dlg, "deletefile")->isEnabled() && !Tool(*dlg, "renamefile")->isEnabled());
    QVERIFY(Tool(*dlg, "newfolder")->isEnabled());
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
