#include "app/frmMain.h"
#include "documentfixture.h"
#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using platform::MsgAnswer;
using platform::MsgIcon;
using testsupport::ReadAll;
using testsupport::ScriptedMain;
using testsupport::WriteFile;

namespace {

const QString READ_FAILED = QStringLiteral("ファイルの取得に失敗しました。");
const QString SAVE_PROMPT = QStringLiteral("変更された内容をファイルに保存しますか？");
const QString SEVERAL_FILES = QStringLiteral("複数のファイルがドロップされましたが、先頭のファイルのみを開きます。");

} // namespace

class TestShortcuts : public testsupport::DocumentTestBase {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();

    void shortcutWritten_data();
    void shortcutWritten();
    void shortcutNeedsAnOpenFile();
    void shortcutDialogCancelled();
    void shortcutWriteFailureReported();
    void fileMenuFollowsTheDocument();

    void shortcutOpensItsFile();
    void unusableShortcutIgnored();
    void shortcutFailureKeepsTheDocument();
    void commandLineAtFirstActivationOnly_data();
    void commandLineAtFirstActivationOnly();
    void failureMessageDoesNotReopen();

    void droppedFilesOpenTheFirstShortcut();
    void droppedShortcutFailureKeepsTheDocument();
    void droppedEmptyFileDoesNothing();
    void droppedLocalFileBecomesUntitled();
    void droppedFilesAskFirst();
    void droppedTextReplacesTheSelection();
    void droppedTextGoesWhereDropped();
    void otherDropsRefused();

    void registrationFailureShown();

private:
    QString local(const QString &name) const { return m_dir->filePath(name); }
    QString shortcut(const QString &name, const QByteArray &line);
    void openBound();
    void drop(const QMimeData &data, QPoint position = QPoint(5, 5));
    static QMimeData *files(const QStringList &paths);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestShortcuts::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    start();
    m_server->files.insert(QStringLiteral("data/a.txt"), QStringLiteral("text of a"));
    m_server->files.insert(QStringLiteral("data/年度/報告 1.txt"), QStringLiteral("報告"));
    m_server->files.insert(QStringLiteral("data/x	y"), QStringLiteral("tabbed"));
}

void TestShortcuts::cleanup()
{
    finish();
    m_dir.reset();
}

QString TestShortcuts::shortcut(const QString &name, const QByteArray &line)
{
    const QString path = local(name);
    if (!WriteFile(path, line))
        QTest::qFail("cannot write the shortcut", __FILE__, __LINE__);
    return path;
}

void TestShortcuts::openBound()
{
    m_window->choose(QStringLiteral("data"), QStringLiteral("a.txt"));
    m_window->OpenDocument();
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
    m_server->requests.clear();
}

QMimeData *TestShortcuts::files(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    data->setText(paths.join(QLatin1Char('\n')));
    return data;
}

void TestShortcuts::drop(const QMimeData &data, QPoint position)
{
    QWidget *viewport = m_window->txtMain->viewport();
    QDragEnterEvent enter(position, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDropEvent event(position, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &event);
    // The drop is handled once its event has returned.
    QCoreApplication::processEvents();
}

// The shortcut names the open document: folder, TAB, name, CR LF in code page 932, in a file
// that ends in ".lmk".
void TestShortcuts::shortcutWritten_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("proposed name") << "報告 1.txt"
                                   << "報告 1.txt.lmk";
    QTest::newRow("a.LMK") << "a.LMK"
                           << "a.LMK";
    QTest::newRow("existing a.txt") << "a.txt"
                                    << "a.txt.lmk";
}

void TestShortcuts::shortcutWritten()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QVERIFY(WriteFile(local(QStringLiteral("a.txt")), "keep"));
    QVERIFY(WriteFile(local(QStringLiteral("a.txt.lmk")), "old shortcut, longer than the new one"));
    m_window->choose(QStringLiteral("data/年度"), QStringLiteral("報告 1.txt"));
    m_window->OpenDocument();
    m_dialogs->answerSaveFile(local(chosen));

    m_window->menuShortcut_Click();

    QCOMPARE(m_dialogs->saveRequests.size(), 1);
    const platform::SaveFileRequest &request = m_dialogs->saveRequests[0];
    QCOMPARE(request.title, QStringLiteral("ローカルショートカットの作成"));
    QCOMPARE(request.proposedName, QStringLiteral("報告 1.txt"));
    QCOMPARE(request.filter, QStringLiteral("Lumenoﾛｰｶﾙｼｮｰﾄｶｯﾄ(*.lmk)"));
    QCOMPARE(request.defaultSuffix, QStringLiteral("lmk"));
    QVERIFY(request.confirmOverwrite);
    QCOMPARE(ReadAll(local(written)), cp932::Encode(u"data/年度\t報告 1.txt\r\n"));
    QCOMPARE(ReadAll(local(QStringLiteral("a.txt"))), QByteArray("keep"));
    QVERIFY(m_dialogs->messages.isEmpty());
}

// With no file open the command says so and asks for no name.
void TestShortcuts::shortcutNeedsAnOpenFile()
{
    m_window->menuShortcut->trigger();
    QCOMPARE(m_dialogs->messageTexts(), QStringList { QStringLiteral("ファイルを開いていません。") });
    QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
    QVERIFY(m_dialogs->saveRequests.isEmpty());
}

// Cancel in the save dialog writes nothing and says nothing.
void TestShortcuts::shortcutDialogCancelled()
{
    openBound();
    m_dialogs->answerSaveFile(std::nullopt);
    m_window->menuShortcut_Click();
    QVERIFY(m_dialogs->messages.isEmpty());
    QVERIFY(QDir(m_dir->path()).isEmpty());
}

// A shortcut that cannot be written is reported.
void TestShortcuts::shortcutWriteFailureReported()
{
    openBound();
    m_dialogs->answerSaveFile(local(QStringLiteral("missing folder/a.lmk")));
    m_window->menuShortcut_Click();
    QCOMPARE(m_dialogs->messageTexts(), QStringList { QStringLiteral("ローカルショートカットの作成に失敗しました。") });
    QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
}

// Opening the File menu enables the shortcut command exactly when a file is open.
void TestShortcuts::fileMenuFollowsTheDocument()
{
    QVERIFY(m_window->menuShortcut->isEnabled());
    emit m_window->mhdFile->aboutToShow();
    QVERIFY(!m_window->menuShortcut->isEnabled());
    openBound();
    emit m_window->mhdFile->aboutToShow();
    QVERIFY(m_window->menuShortcut->isEnabled());
    m_window->NewDocument();
    QVERIFY(m_window->menuShortcut->isEnabled());
    emit m_window->mhdFile->aboutToShow();
    QVERIFY(!m_window->menuShortcut->isEnabled());
}

// A shortcut opens its file bound to its folder and name, with TABs inside the name kept.
void TestShortcuts::shortcutOpensItsFile()
{
    bool enabledDuringRequest = true;
    m_server->onRequest = [&] { enabledDuringRequest = m_window->isEnabled(); };
    m_window->OpenShortcut(shortcut(QStringLiteral("t.LMK"), "data\tx\ty\r\n"));
    QCOMPARE(m_server->requests, QStringList { QStringLiteral("READFILE data/x\ty") });
    QVERIFY(!enabledDuringRequest);
    QVERIFY(m_window->isEnabled());
    QCOMPARE(m_window->DocumentText(), QStringLiteral("tabbed"));
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("x\ty"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("x\ty"));
    QVERIFY(!m_window->blnModified);
    QCOMPARE(m_window->arrHistory[0], (app::HistoryItem { QStringLiteral("data"), QStringLiteral("x\ty") }));
}

// Shortcuts without a TAB, without ".lmk", missing or unreadable: nothing happens, silently.
void TestShortcuts::unusableShortcutIgnored()
{
    m_window->OpenShortcut(shortcut(QStringLiteral("notab.lmk"), "data a.txt\r\n"));
    m_window->OpenShortcut(shortcut(QStringLiteral("a.txt"), "data\ta.txt\r\n"));
    m_window->OpenShortcut(local(QStringLiteral("missing.lmk")));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.lmk")));
    m_window->OpenShortcut(local(QStringLiteral("folder.lmk")));
    QVERIFY(m_server->requests.isEmpty());
    QVERIFY(m_dialogs->messages.isEmpty());
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("(No File)"));
}

// A shortcut whose file cannot be fetched leaves the document's text and name.
void TestShortcuts::shortcutFailureKeepsTheDocument()
{
    openBound();
    bool enabledAtMessage = true;
    m_dialogs->onQuestion = [&] { enabledAtMessage = m_window->isEnabled(); };
    m_window->OpenShortcut(shortcut(QStringLiteral("gone.lmk"), "data\tgone.txt\r\n"));
    QCOMPARE(m_dialogs->messageTexts(), QStringList { READ_FAILED });
    QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
    QVERIFY(!enabledAtMessage);
    QCOMPARE(m_window->DocumentText(), QStringLiteral("text of a"));
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("a.txt"));
}

// The command line, spaces included, is opened at the first activation and never again; a
// quoted path is no shortcut.
void TestShortcuts::commandLineAtFirstActivationOnly_data()
{
    QTest::addColumn<bool>("quoted");
    QTest::newRow("path with spaces") << false;
    QTest::newRow("quoted path") << true;
}

void TestShortcuts::commandLineAtFirstActivationOnly()
{
    QFETCH(bool, quoted);
    const QString path = shortcut(QStringLiteral("my memo 1.lmk"), cp932::Encode(u"data/年度\t報告 1.txt\r\n"));
    restart(quoted ? u'"' + path + u'"' : path);
    m_window->Form_Activate();
    m_window->Form_Activate();
    m_window->Form_Activate();
    if (quoted) {
        QVERIFY(m_server->requests.isEmpty());
        return;
    }
    QCOMPARE(m_server->requests, QStringList { QStringLiteral("READFILE data/年度/報告 1.txt") });
    QCOMPARE(m_window->DocumentText(), QStringLiteral("報告"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("報告 1.txt"));
}

// The failure message hands the activation back to the window: the shortcut is not fetched
// again, and the message is not shown again.
void TestShortcuts::failureMessageDoesNotReopen()
{
    const QString path = shortcut(QStringLiteral("gone.lmk"), "data\tgone.txt\r\n");
    m_dialogs->onQuestion = [&] {
        if (m_window)
            m_window->Form_Activate();
    };
    restart(path);
    m_window->Form_Activate();
    QCOMPARE(m_server->requests, QStringList { QStringLiteral("READFILE data/gone.txt") });
    QCOMPARE(m_dialogs->messageTexts(), QStringList { READ_FAILED });
}

// Three files, the first a shortcut, on a modified document: the prompt, the notice, then the
// shortcut's file opens bound to its name.
void TestShortcuts::droppedFilesOpenTheFirstShortcut()
{
    openBound();
    m_window->SetDocumentText(QStringLiteral("edited"));
    m_dialogs->answerMessage(MsgAnswer::No);
    const QString first = shortcut(QStringLiteral("first.lmk"), cp932::Encode(u"data/年度\t報告 1.txt\r\n"));
    std::unique_ptr<QMimeData> data(
        files({ first, shortcut(QStringLiteral("b.lmk"), "data\ta.txt\r\n"), local(QStringLiteral("c.txt")) }));
    drop(*data);
    QCOMPARE(m_dialogs->messageTexts(), (QStringList { SAVE_PROMPT, SEVERAL_FILES }));
    QCOMPARE(m_dialogs->messages[1].request.icon, MsgIcon::Information);
    QCOMPARE(m_server->requests, QStringList { QStringLiteral("READFILE data/年度/報告 1.txt") });
    QCOMPARE(m_window->DocumentText(), QStringLiteral("報告"));
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data/年度"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("報告 1.txt"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("報告 1.txt"));
    QVERIFY(!m_window->blnModified);
    QCOMPARE(m_window->arrHistory[1], (app::HistoryItem { QStringLiteral("data/年度"), QStringLiteral("報告 1.txt") }));
}

// A dropped shortcut whose file cannot be fetched leaves the document as it was.
void TestShortcuts::droppedShortcutFailureKeepsTheDocument()
{
    openBound();
    std::unique_ptr<QMimeData> data(files({ shortcut(QStringLiteral("gone.lmk"), "data\tgone.txt\r\n") }));
    drop(*data);
    QCOMPARE(m_dialogs->messageTexts(), QStringList { READ_FAILED });
    QCOMPARE(m_window->DocumentText(), QStringLiteral("text of a"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("a.txt"));
    QVERIFY(!m_window->blnModified);
}

// An empty file does nothing after the prompt.
void TestShortcuts::droppedEmptyFileDoesNothing()
{
    openBound();
    m_window->SetDocumentText(QStringLiteral("edited"));
    m_dialogs->answerMessage(MsgAnswer::No);
    std::unique_ptr<QMimeData> data(files({ shortcut(QStringLiteral("empty.lmk"), QByteArray()) }));
    drop(*data);
    QCOMPARE(m_dialogs->messageTexts(), QStringList { SAVE_PROMPT });
    QVERIFY(m_server->requests.isEmpty());
    QCOMPARE(m_window->DocumentText(), QStringLiteral("edited"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
}

// A local text file in code page 932 becomes an untitled, unmodified document.
void TestShortcuts::droppedLocalFileBecomesUntitled()
{
    openBound();
    const QString path = local(QStringLiteral("ローカル.txt"));
    QVERIFY(WriteFile(path, cp932::Encode(u"一行目\r\n二行目 ｶﾅ\r\n")));
    std::unique_ptr<QMimeData> data(files({ path }));
    drop(*data);
    QVERIFY(m_server->requests.isEmpty());
    QCOMPARE(m_window->DocumentText(), QStringLiteral("一行目\r\n二行目 ｶﾅ\r\n"));
    QCOMPARE(modPublic::strCurrentFile, QString());
    QCOMPARE(modPublic::strCurrentFolder, QString());
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("(No File)"));
    QVERIFY(!m_window->blnModified);
}

// Cancel in the prompt stops a file drop.
void TestShortcuts::droppedFilesAskFirst()
{
    m_window->SetDocumentText(QStringLiteral("edited"));
    m_dialogs->answerMessage(MsgAnswer::Cancel);
    const QString path = local(QStringLiteral("l.txt"));
    QVERIFY(WriteFile(path, "local"));
    std::unique_ptr<QMimeData> data(files({ path, path }));
    drop(*data);
    QCOMPARE(m_dialogs->messageTexts(), QStringList { SAVE_PROMPT });
    QCOMPARE(m_window->DocumentText(), QStringLiteral("edited"));
}

// Dropped text replaces the selection, without a prompt, and modifies the document.
void TestShortcuts::droppedTextReplacesTheSelection()
{
    openBound();
    QTextCursor cursor = m_window->txtMain->textCursor();
    cursor.setPosition(5);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    m_window->txtMain->setTextCursor(cursor);
    QMimeData data;
    data.setText(QStringLiteral("日本\r\n語"));
    drop(data);
    QCOMPARE(m_window->DocumentText(), QStringLiteral("text 日本\r\n語 a"));
    QVERIFY(m_window->blnModified);
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
    QVERIFY(m_dialogs->messages.isEmpty());
}

// Without a selection the text goes where it is dropped.
void TestShortcuts::droppedTextGoesWhereDropped()
{
    m_window->SetDocumentText(QStringLiteral("first line\r\nsecond line"));
    QTextCursor target(m_window->txtMain->document());
    target.movePosition(QTextCursor::End);
    const QPoint position = m_window->txtMain->cursorRect(target).center();
    QMimeData data;
    data.setText(QStringLiteral("!"));
    drop(data, position);
    QCOMPARE(m_window->DocumentText(), QStringLiteral("first line\r\nsecond line!"));
}

// A drag that is neither files nor text is refused and changes nothing.
void TestShortcuts::otherDropsRefused()
{
    openBound();
    QMimeData data;
    data.setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window->txtMain->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
    drop(data);
    QCOMPARE(m_window->DocumentText(), QStringLiteral("text of a"));
    QVERIFY(!m_window->blnModified);
}

// Start-up writes the association into the user's data folder and shows a failing step.
void TestShortcuts::registrationFailureShown()
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_dir->path().toLocal8Bit());
    m_window->frmMain::RegisterShortcutType();
    QVERIFY(QFileInfo(local(QStringLiteral("mime/packages/Lumeno.LocalShortcut.xml"))).isFile());
    QVERIFY(ReadAll(local(QStringLiteral("applications/lumeno.desktop")))
                .contains(QStringLiteral("Exec=\"%1\" %f").arg(QCoreApplication::applicationFilePath()).toUtf8()));
    QVERIFY(m_dialogs->messages.isEmpty());

    QVERIFY(QFile::remove(local(QStringLiteral("mime/packages/Lumeno.LocalShortcut.xml"))));
    QVERIFY(QDir(local(QStringLiteral("applications"))).removeRecursively());
    QVERIFY(WriteFile(local(QStringLiteral("applications")), "a file in the way"));
    m_window->frmMain::RegisterShortcutType();
    QCOMPARE(m_dialogs->messageTexts(), QStringList { QStringLiteral("レジストリ操作エラー(RegCreateKeyEx[2])") });
    QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
    if (saved.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", saved);
}

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
