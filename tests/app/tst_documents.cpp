#include "app/frmMain.h"
#include "documentfixture.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
using testsupport::ScriptedMain;

namespace {

const QString SAVE_PROMPT = QStringLiteral("変更された内容をファイルに保存しますか？");
const QString READ_FAILED = QStringLiteral("ファイルの取得に失敗しました。");
const QString SAVE_FAILED = QStringLiteral("ファイルの保存に失敗しました。");
const QString SHIFT_JIS_QUESTION = QStringLiteral("この文書にはShift-JISで保存できない文字が含まれています。\r\n"
                                                  "それらの文字を「?」に置き換えて保存しますか？");
const QString FOLDER = QStringLiteral("data/docs");

enum class Operation { New, Open, Recent, Exit };

QString Path(const QString &file)
{
    return FOLDER + QLatin1Char('/') + file;
}

QStringList Captions(const frmMain &window)
{
    QStringList captions;
    for (const QAction *item : window.menuRecentFiles)
        captions.append(item->text());
    return captions;
}

} // namespace

Q_DECLARE_METATYPE(Operation)

class TestDocuments : public testsupport::DocumentTestBase {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init();
    void cleanup();

    void openBindsTheDocument();
    void openFailureKeepsTheDocument_data();
    void openFailureKeepsTheDocument();
    void cancelledBrowserChangesNothing();
    void promptAnswers_data();
    void promptAnswers();
    void textNotSavedAfterYesStopsTheOperation_data();
    void textNotSavedAfterYesStopsTheOperation();
    void untitledOpenSavesFirst();
    void unencodableTextAsksFirst_data();
    void unencodableTextAsksFirst();
    void saveFailureKeepsTheDocument_data();
    void saveFailureKeepsTheDocument();
    void saveAsBindsWithoutHistory();
    void requestRunsInADisabledWindowWithProgress_data();
    void requestRunsInADisabledWindowWithProgress();
    void newEmptiesAndUnbinds();
    void unchangedDocumentRoundTrips_data();
    void unchangedDocumentRoundTrips();
    void typedTextSavedWithCrLf();

    void recentSequences_data();
    void recentSequences();
    void recentEntriesOpenTheirOwnFile();
    void recentFailureKeepsEntryAndDocument();
    void recentListSurvivesRestart();

private:
    void open(const QString &file);
    void run(Operation operation);
    // A bound document "a.txt" edited to "edited".
    void editBoundDocument();
};

void TestDocuments::init()
{
    start();
    for (const char *name : { "a.txt", "b.txt", "c.txt" })
        m_server->files.insert(Path(QLatin1String(name)), QStringLiteral("text of %1").arg(QLatin1String(name)));
}

void TestDocuments::cleanup()
{
    finish();
}

void TestDocuments::open(const QString &file)
{
    m_window->choose(FOLDER, file);
    m_window->OpenDocument();
}

void TestDocuments::run(Operation operation)
{
    switch (operation) {
    case Operation::New:
        m_window->NewDocument();
        break;
    case Operation::Open:
        m_window->OpenDocument();
        break;
    case Operation::Recent:
        m_window->menuRecentFiles_Click(0);
        break;
    case Operation::Exit:
        m_window->close();
        break;
    }
}

void TestDocuments::editBoundDocument()
{
    open(QStringLiteral("b.txt"));
    open(QStringLiteral("a.txt"));
    m_window->SetDocumentText(QStringLiteral("edited"));
    QVERIFY(m_window->blnModified);
    m_server->requests.clear();
    m_window->filerModes.clear();
}

// A file chosen in the browser is read into the box and becomes the document, unmodified.
void TestDocuments::openBindsTheDocument()
{
    open(QStringLiteral("b.txt"));
    QCOMPARE(m_window->filerModes, QList<int> { 0 });
    QCOMPARE(m_window->enabledAtFiler, QList<bool> { false });
    QCOMPARE(m_server->requests, QStringList { QStringLiteral("READFILE data/docs/b.txt") });
    QCOMPARE(m_window->DocumentText(), QStringLiteral("text of b.txt"));
    QCOMPARE(modPublic::strCurrentFolder, FOLDER);
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("b.txt"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("b.txt"));
    QVERIFY(!m_window->blnModified);
    QVERIFY(m_window->isEnabled());
    QCOMPARE(Captions(*m_window), QStringList { QStringLiteral("b.txt") });
    QVERIFY(m_dialogs->messages.isEmpty());
}

// A file the server cannot give, or whose content is the two letters NG, leaves the document.
void TestDocuments::openFailureKeepsTheDocument_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("serverFails");
    QTest::newRow("server answers NG") << QStringLiteral("x") << true;
    QTest::newRow("content is NG") << QStringLiteral("NG") << false;
}

void TestDocuments::openFailureKeepsTheDocument()
{
    QFETCH(QString, content);
    QFETCH(bool, serverFails);
    m_server->files.insert(Path(QStringLiteral("bad.txt")), content);
    if (serverFails)
        m_server->failing.append(Path(QStringLiteral("bad.txt")));
    open(QStringLiteral("a.txt"));
    bool enabledAtMessage = true;
    m_dialogs->onQuestion = [&] { enabledAtMessage = m_window->isEnabled(); };

    open(QStringLiteral("bad.txt"));

    QCOMPARE(m_dialogs->messageTexts(), QStringList { READ_FAILED });
    QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
    QVERIFY(!enabledAtMessage);
    QVERIFY(m_window->isEnabled());
    QCOMPARE(m_window->DocumentText(), QStringLiteral("text of a.txt"));
    QCOMPARE(modPublic::strCurrentFolder, FOLDER);
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("a.txt"));
    QVERIFY(!m_window->blnModified);
    QCOMPARE(Captions(*m_window), QStringList { QStringLiteral("a.txt") });
}

// Cancel in the browser: no request, no message, the document as it was.
void TestDocuments::cancelledBrowserChangesNothing()
{
    editBoundDocument();
    m_dialogs->answerMessage(MsgAnswer::No);
    m_window->cancelBrowser();
    m_window->OpenDocument();
    QVERIFY(m_server->requests.isEmpty());
    QCOMPARE(m_window->DocumentText(), QStringLiteral("edited"));
    QVERIFY(m_window->blnModified);
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
    QVERIFY(m_window->isEnabled());

    m_window->cancelBrowser();
    m_window->SaveDocumentAs();
    QVERIFY(m_server->requests.isEmpty());
    QCOMPARE(m_window->filerModes, (QList<int> { 0, 1 }));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
    QVERIFY(m_window->blnModified);
}

// The save prompt on a modified bound document: Yes saves then goes on, No goes on, Cancel stops.
void TestDocuments::promptAnswers_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("goesOn");
    const std::pair<const char *, Operation> operations[] = { { "new", Operation::New }, { "open", Operation::Open },
        { "recent", Operation::Recent }, { "exit", Operation::Exit } };
    for (const auto &[name, operation] : operations) {
        QTest::addRow("%s yes", name) << operation << MsgAnswer::Yes << true;
        QTest::addRow("%s no", name) << operation << MsgAnswer::No << true;
        QTest::addRow("%s cancel", name) << operation << MsgAnswer::Cancel << false;
    }
}

void TestDocuments::promptAnswers()
{
    QFETCH(Operation, operation);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, goesOn);
    editBoundDocument();
    m_dialogs->answerMessage(answer);
    if (operation == Operation::Open && goesOn)
        m_window->choose(FOLDER, QStringLiteral("b.txt"));

    run(operation);

    QCOMPARE(m_dialogs->messages.size(), 1);
    verifyQuestion(SAVE_PROMPT, MsgButtons::YesNoCancel, MsgAnswer::Cancel);
    const bool saved = answer == MsgAnswer::Yes;
    QCOMPARE(m_server->requests.contains(QStringLiteral("SAVEFILE data/docs/a.txt")), saved);
    if (saved)
        QCOMPARE(m_server->files.value(Path(QStringLiteral("a.txt"))), QStringLiteral("edited"));
    if (operation == Operation::Exit)
        QCOMPARE(m_window->isVisible(), !goesOn);
    else if (!goesOn)
        QCOMPARE(m_window->DocumentText(), QStringLiteral("edited"));
    else
        QVERIFY(m_window->DocumentText() != QStringLiteral("edited"));
    // Closing after No leaves the edited text behind unsaved.
    QCOMPARE(m_window->blnModified, !goesOn || (operation == Operation::Exit && answer == MsgAnswer::No));
}

// After Yes, text that did not reach the server is never replaced or dropped: the operation
// stops and the document stays modified.
void TestDocuments::textNotSavedAfterYesStopsTheOperation_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<bool>("untitled");
    const std::pair<const char *, Operation> operations[] = { { "new", Operation::New }, { "open", Operation::Open },
        { "recent", Operation::Recent }, { "exit", Operation::Exit } };
    for (const auto &[name, operation] : operations) {
        QTest::addRow("%s, save fails", name) << operation << false;
        QTest::addRow("%s, save-as browser cancelled", name) << operation << true;
    }
}

void TestDocuments::textNotSavedAfterYesStopsTheOperation()
{
    QFETCH(Operation, operation);
    QFETCH(bool, untitled);
    editBoundDocument();
    if (untitled) {
        m_window->ResetDocument();
        m_window->SetDocumentText(QStringLiteral("edited"));
        m_window->cancelBrowser();
    } else {
        m_server->failing.append(Path(QStringLiteral("a.txt")));
    }
    m_dialogs->answerMessage(MsgAnswer::Yes);

    run(operation);

    QCOMPARE(m_dialogs->messageTexts().first(), SAVE_PROMPT);
    QCOMPARE(m_dialogs->messageTexts().contains(SAVE_FAILED), !untitled);
    QCOMPARE(m_window->filerModes, untitled ? QList<int> { 1 } : QList<int> {});
    for (const QString &request : std::as_const(m_server->requests))
        QVERIFY2(!request.startsWith(QLatin1String("READFILE")), qPrintable(request));
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->DocumentText(), QStringLiteral("edited"));
    QVERIFY(m_window->blnModified);
    QCOMPARE(modPublic::strCurrentFile, untitled ? QString() : QStringLiteral("a.txt"));
}

// Open on a modified untitled document with Yes: the browser saves first, then opens.
void TestDocuments::untitledOpenSavesFirst()
{
    m_window->SetDocumentText(QStringLiteral("draft"));
    m_dialogs->answerMessage(MsgAnswer::Yes);
    m_window->choose(FOLDER, QStringLiteral("draft.txt"));
    m_window->choose(FOLDER, QStringLiteral("b.txt"));
    m_window->OpenDocument();
    QCOMPARE(m_window->filerModes, (QList<int> { 1, 0 }));
    QCOMPARE(m_server->requests,
        (QStringList { QStringLiteral("SAVEFILE data/docs/draft.txt"), QStringLiteral("READFILE data/docs/b.txt") }));
    QCOMPARE(m_server->files.value(Path(QStringLiteral("draft.txt"))), QStringLiteral("draft"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("b.txt"));
    // The file saved under a new name enters the list only when it is opened.
    QCOMPARE(Captions(*m_window), QStringList { QStringLiteral("b.txt") });
}

// Characters code page 932 lacks are not silently saved as "?": the user is asked, No cancels.
void TestDocuments::unencodableTextAsksFirst_data()
{
    QTest::addColumn<bool>("bound");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("save, yes") << true << MsgAnswer::Yes;
    QTest::newRow("save, no") << true << MsgAnswer::No;
    QTest::newRow("save as, yes") << false << MsgAnswer::Yes;
    QTest::newRow("save as, no") << false << MsgAnswer::No;
}

void TestDocuments::unencodableTextAsksFirst()
{
    QFETCH(bool, bound);
    QFETCH(MsgAnswer, answer);
    const QString text = QStringLiteral("price ¥100 \U0001F600");
    if (bound)
        open(QStringLiteral("a.txt"));
    m_window->SetDocumentText(text);
    m_server->requests.clear();
    m_window->filerModes.clear();
    m_dialogs->answerMessage(answer);
    if (!bound && answer == MsgAnswer::Yes)
        m_window->choose(FOLDER, QStringLiteral("new.txt"));

    m_window->SaveCurrentDocument();

    QCOMPARE(m_dialogs->messages.size(), 1);
    verifyQuestion(SHIFT_JIS_QUESTION, MsgButtons::YesNo, MsgAnswer::No);
    const bool saved = answer == MsgAnswer::Yes;
    QCOMPARE(m_server->requests.size(), saved ? 1 : 0);
    QCOMPARE(m_window->filerModes.size(), !bound && saved ? 1 : 0);
    QCOMPARE(m_window->blnModified, !saved);

    // From the save prompt, No to the question stops the operation like a failed save.
    if (!saved) {
        m_dialogs->answerMessage(MsgAnswer::Yes);
        m_dialogs->answerMessage(MsgAnswer::No);
        m_window->NewDocument();
        QCOMPARE(m_window->DocumentText(), text);
        QVERIFY(m_window->blnModified);
    }
}

// A failed save keeps the text modified; a failed save-as keeps the chosen name current.
void TestDocuments::saveFailureKeepsTheDocument_data()
{
    QTest::addColumn<bool>("saveAs");
    QTest::newRow("save") << false;
    QTest::newRow("save as") << true;
}

void TestDocuments::saveFailureKeepsTheDocument()
{
    QFETCH(bool, saveAs);
    editBoundDocument();
    m_server->failing << Path(QStringLiteral("a.txt")) << Path(QStringLiteral("other.txt"));
    bool enabledAtMessage = true;
    m_dialogs->onQuestion = [&] { enabledAtMessage = m_window->isEnabled(); };
    if (saveAs) {
        m_window->choose(FOLDER, QStringLiteral("other.txt"));
        m_window->SaveDocumentAs();
    } else {
        m_window->SaveDocument();
    }
    QCOMPARE(m_dialogs->messageTexts(), QStringList { SAVE_FAILED });
    QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
    QVERIFY(!enabledAtMessage);
    QVERIFY(m_window->isEnabled());
    QVERIFY(m_window->blnModified);
    QCOMPARE(m_window->DocumentText(), QStringLiteral("edited"));
    QCOMPARE(modPublic::strCurrentFile, saveAs ? QStringLiteral("other.txt") : QStringLiteral("a.txt"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("a.txt"));
}

// Save-as binds the document to the chosen name and leaves the recent list alone.
void TestDocuments::saveAsBindsWithoutHistory()
{
    editBoundDocument();
    m_window->choose(QStringLiteral("data"), QStringLiteral("copy.txt"));
    m_window->SaveDocumentAs();
    QCOMPARE(m_server->requests, QStringList { QStringLiteral("SAVEFILE data/copy.txt") });
    QCOMPARE(m_server->files.value(QStringLiteral("data/copy.txt")), QStringLiteral("edited"));
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("copy.txt"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("copy.txt"));
    QVERIFY(!m_window->blnModified);
    QCOMPARE(Captions(*m_window), (QStringList { QStringLiteral("b.txt"), QStringLiteral("a.txt") }));
}

// While a request runs the window is disabled and the status bar says what is happening;
// afterwards the panel shows its text again.
void TestDocuments::requestRunsInADisabledWindowWithProgress_data()
{
    QTest::addColumn<bool>("saving");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("progress");
    QTest::addColumn<QString>("panelAfter");
    const QString reading = QStringLiteral("読み込んでいます…");
    const QString saving = QStringLiteral("保存しています…");
    QTest::newRow("open") << false << false << reading << QStringLiteral("b.txt");
    QTest::newRow("open fails") << false << true << reading << QStringLiteral("a.txt");
    QTest::newRow("save") << true << false << saving << QStringLiteral("a.txt");
    QTest::newRow("save fails") << true << true << saving << QStringLiteral("a.txt");
}

void TestDocuments::requestRunsInADisabledWindowWithProgress()
{
    QFETCH(bool, saving);
    QFETCH(bool, fails);
    QFETCH(QString, progress);
    QFETCH(QString, panelAfter);
    open(QStringLiteral("a.txt"));
    QVERIFY(m_window->BusyIndicator()->isHidden());
    if (fails)
        m_server->failing << Path(QStringLiteral("a.txt")) << Path(QStringLiteral("b.txt"));
    QStringList seen;
    m_server->onRequest = [&] {
        seen << QStringLiteral("enabled=%1").arg(m_window->isEnabled())
             << m_window->PanelText(QStringLiteral("filename"))
             << QStringLiteral("busy=%1").arg(m_window->BusyIndicator()->isVisible());
    };
    if (saving) {
        m_window->SaveDocument();
    } else {
        m_window->choose(FOLDER, QStringLiteral("b.txt"));
        m_window->OpenDocument();
    }
    QCOMPARE(seen, (QStringList { QStringLiteral("enabled=0"), progress, QStringLiteral("busy=1") }));
    QVERIFY(m_window->isEnabled());
    QVERIFY(m_window->BusyIndicator()->isHidden());
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), panelAfter);
}

// New empties the box and makes the document untitled and unmodified.
void TestDocuments::newEmptiesAndUnbinds()
{
    open(QStringLiteral("a.txt"));
    m_window->NewDocument();
    QCOMPARE(m_window->DocumentText(), QString());
    QCOMPARE(modPublic::strCurrentFile, QString());
    QCOMPARE(modPublic::strCurrentFolder, QString());
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("(No File)"));
    QVERIFY(!m_window->blnModified);
    QVERIFY(m_server->requests.size() == 1);
}

// A document opened and saved unedited goes back exactly as it came, line breaks included.
void TestDocuments::unchangedDocumentRoundTrips_data()
{
    QTest::addColumn<QString>("content");
    QTest::newRow("CR LF") << QStringLiteral("first\r\nsecond\r\n\r\nfourth");
    QTest::newRow("CR LF, trailing breaks") << QStringLiteral("one\r\ntwo\r\n\r\n");
    QTest::newRow("LF only") << QStringLiteral("first\nsecond\n\nfourth");
    QTest::newRow("LF only, trailing breaks") << QStringLiteral("one\ntwo\n\n");
    QTest::newRow("only a break") << QStringLiteral("\r\n");
    QTest::newRow("empty") << QString();
    QTest::newRow("japanese, tabs, spaces") << QStringLiteral("日本語\tﾃｷｽﾄ \r\n  indented\u3000\r\n");
}

void TestDocuments::unchangedDocumentRoundTrips()
{
    QFETCH(QString, content);
    m_server->files.insert(Path(QStringLiteral("r.txt")), content);
    open(QStringLiteral("r.txt"));
    m_window->SaveCurrentDocument();
    QCOMPARE(m_server->requests.last(), QStringLiteral("SAVEFILE data/docs/r.txt"));
    QCOMPARE(m_server->files.value(Path(QStringLiteral("r.txt"))), content);
}

// Lines typed into a new document are saved with CR LF.
void TestDocuments::typedTextSavedWithCrLf()
{
    m_window->NewDocument();
    m_window->txtMain->setFocus();
    QTest::keyClicks(m_window->txtMain, QStringLiteral("one"));
    QTest::keyClick(m_window->txtMain, Qt::Key_Return);
    QTest::keyClicks(m_window->txtMain, QStringLiteral("two"));
    QTest::keyClick(m_window->txtMain, Qt::Key_Return);
    m_window->choose(FOLDER, QStringLiteral("typed.txt"));
    m_window->SaveCurrentDocument();
    QCOMPARE(m_server->files.value(Path(QStringLiteral("typed.txt"))), QStringLiteral("one\r\ntwo\r\n"));
}

// The submenu lists the opened files, the oldest at the top, ten at most.
void TestDocuments::recentSequences_data()
{
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("B, C, A") << QStringList { "a", "b", "c", "a" } << QStringList { "b", "c", "a" };
    QTest::newRow("last entry again") << QStringList { "a", "b", "c", "c" } << QStringList { "a", "b", "c" };
    QStringList eleven;
    for (int i = 1; i <= 11; ++i)
        eleven << QStringLiteral("f%1").arg(i);
    QTest::newRow("eleven files") << eleven << eleven.mid(1);
    QTest::newRow("name with an ampersand") << QStringList { "R&D" } << QStringList { "R&&D" };
}

void TestDocuments::recentSequences()
{
    QFETCH(QStringList, opened);
    QFETCH(QStringList, captions);
    QCOMPARE(Captions(*m_window), QStringList { QStringLiteral("(なし)") });
    QVERIFY(!m_window->menuRecentFiles[0]->isEnabled());
    for (const QString &name : opened) {
        m_server->files.insert(Path(name), name);
        open(name);
    }
    QCOMPARE(Captions(*m_window), captions);
    for (const QAction *item : m_window->menuRecentFiles)
        QVERIFY(item->isEnabled());
    QCOMPARE(m_window->mhdRecent->actions().size(), captions.size());
}

// Two files of one name in different folders are two entries, each opening its own file.
void TestDocuments::recentEntriesOpenTheirOwnFile()
{
    m_server->files.insert(QStringLiteral("data/x/memo.txt"), QStringLiteral("memo in x"));
    m_server->files.insert(QStringLiteral("data/y/memo.txt"), QStringLiteral("memo in y"));
    m_window->choose(QStringLiteral("data/x"), QStringLiteral("memo.txt"));
    m_window->OpenDocument();
    m_window->choose(QStringLiteral("data/y"), QStringLiteral("memo.txt"));
    m_window->OpenDocument();
    QCOMPARE(Captions(*m_window), (QStringList { QStringLiteral("memo.txt"), QStringLiteral("memo.txt") }));

    m_window->menuRecentFiles[0]->trigger();
    QCOMPARE(m_window->DocumentText(), QStringLiteral("memo in x"));
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data/x"));
    QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("memo.txt"));
    QVERIFY(!m_window->blnModified);
    QVERIFY(m_window->isEnabled());
    QCOMPARE(m_window->arrHistory[1], (app::HistoryItem { QStringLiteral("data/x"), QStringLiteral("memo.txt") }));

    m_window->menuRecentFiles[0]->trigger();
    QCOMPARE(m_window->DocumentText(), QStringLiteral("memo in y"));
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data/y"));
}

// A recent file that cannot be read leaves the document and keeps its entry.
void TestDocuments::recentFailureKeepsEntryAndDocument()
{
    open(QStringLiteral("a.txt"));
    open(QStringLiteral("b.txt"));
    m_server->failing.append(Path(QStringLiteral("a.txt")));
    m_window->menuRecentFiles_Click(0);
    QCOMPARE(m_dialogs->messageTexts(), QStringList { READ_FAILED });
    QCOMPARE(m_window->DocumentText(), QStringLiteral("text of b.txt"));
    QCOMPARE(modPublic::strCurrentFile, QStringLiteral("b.txt"));
    QCOMPARE(Captions(*m_window), (QStringList { QStringLiteral("a.txt"), QStringLiteral("b.txt") }));
    QVERIFY(m_window->isEnabled());
}

// The list is written at exit and read at the next start, entries opening their own files.
void TestDocuments::recentListSurvivesRestart()
{
    m_server->files.insert(QStringLiteral("data/年度/報告.txt"), QStringLiteral("報告"));
    open(QStringLiteral("a.txt"));
    m_window->choose(QStringLiteral("data/年度"), QStringLiteral("報告.txt"));
    m_window->OpenDocument();
    QVERIFY(m_window->close());
    restart();
    QCOMPARE(Captions(*m_window), (QStringList { QStringLiteral("a.txt"), QStringLiteral("報告.txt") }));
    m_window->menuRecentFiles[1]->trigger();
    QCOMPARE(m_window->DocumentText(), QStringLiteral("報告"));
    QCOMPARE(modPublic::strCurrentFolder, QStringLiteral("data/年度"));
}

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
