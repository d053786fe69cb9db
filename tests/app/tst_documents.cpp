#include "platform/cp932.h"
#include "windowfixture.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QTemporaryDir>

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
enum class Route { Browser, Recent, Shortcut, DroppedShortcut };
// What keeps the text from the server after Yes in the save prompt.
enum class Hitch { None, SaveFails, SaveAsCancelled, CharactersRefused };

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
Q_DECLARE_METATYPE(Route)
Q_DECLARE_METATYPE(Hitch)

class TestDocuments : public testsupport::WindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        start();
        for (const char *name : { "a.txt", "b.txt", "c.txt" })
            m_server->files.insert(Path(QLatin1String(name)), QStringLiteral("text of %1").arg(QLatin1String(name)));
    }
    void cleanup() { finish(); }

    // Every way of opening a remote file binds the document to it, unmodified, in a window
    // disabled while the request runs, with the progress shown; a file the server cannot give,
    // or whose content is the two letters NG, leaves the document and the recent list as they were.
    void openRoutes_data()
    {
        QTest::addColumn<Route>("route");
        QTest::addColumn<QString>("failure"); // empty, "server" answers NG, "content" is NG
        const std::pair<const char *, Route> routes[] = { { "browser", Route::Browser }, { "recent", Route::Recent },
            { "shortcut", Route::Shortcut }, { "dropped shortcut", Route::DroppedShortcut } };
        for (const auto &[name, route] : routes) {
            QTest::addRow("%s", name) << route << QString();
            QTest::addRow("%s, server answers NG", name) << route << QStringLiteral("server");
        }
        QTest::newRow("browser, content is NG") << Route::Browser << QStringLiteral("content");
    }
    void openRoutes()
    {
        QFETCH(Route, route);
        QFETCH(QString, failure);
        const app::HistoryItem target { QStringLiteral("data/年度"), QStringLiteral("報告 1.txt") };
        const QString targetPath = target.Path + QLatin1Char('/') + target.File;
        m_server->files.insert(targetPath, failure == QLatin1String("content") ? "NG" : "報告");
        QTemporaryDir dir;
        const QString shortcut = dir.filePath(QStringLiteral("報告.lmk"));
        QVERIFY(testsupport::WriteFile(shortcut, cp932::Encode(u"data/年度\t報告 1.txt\r\n")));
        if (route == Route::Recent)
            open(target);
        open({ FOLDER, QStringLiteral("a.txt") });
        const QStringList captionsBefore = Captions(*m_window);
        if (failure == QLatin1String("server"))
            m_server->failing.append(targetPath);
        m_server->requests.clear();
        m_window->filerModes.clear();
        m_window->enabledAtFiler.clear();
        QStringList seen;
        m_server->onRequest = [&] { seen << WindowState(); };
        bool enabledAtMessage = true;
        m_dialogs->onQuestion = [&] { enabledAtMessage = m_window->isEnabled(); };

        switch (route) {
        case Route::Browser:
            open(target);
            QCOMPARE(m_window->filerModes, QList<int> { 0 });
            QCOMPARE(m_window->enabledAtFiler, QList<bool> { false });
            break;
        case Route::Recent:
            m_window->menuRecentFiles[0]->trigger();
            break;
        case Route::Shortcut:
            m_window->OpenShortcut(shortcut);
            break;
        case Route::DroppedShortcut:
            dropFiles({ shortcut });
            break;
        }

        QCOMPARE(m_server->requests, QStringList { QStringLiteral("READFILE ") + targetPath });
        QCOMPARE(seen, QStringList { QStringLiteral("enabled=0 読み込んでいます… busy=1") });
        QCOMPARE(WindowState(), QStringLiteral("enabled=1 %1 busy=0").arg(failure.isEmpty() ? target.File : "a.txt"));
        QVERIFY(!m_window->blnModified);
        if (failure.isEmpty()) {
            QCOMPARE(m_window->DocumentText(), QStringLiteral("報告"));
            QCOMPARE(modPublic::strCurrentFolder, target.Path);
            QCOMPARE(modPublic::strCurrentFile, target.File);
            QCOMPARE(m_window->arrHistory[app::HistoryLength(m_window->arrHistory) - 1], target);
            QVERIFY(m_dialogs->messages.isEmpty());
        } else {
            QCOMPARE(m_window->DocumentText(), QStringLiteral("text of a.txt"));
            QCOMPARE(modPublic::strCurrentFolder, FOLDER);
            QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
            QCOMPARE(Captions(*m_window), captionsBefore);
            QCOMPARE(m_dialogs->messageTexts(), QStringList { READ_FAILED });
            QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
            QVERIFY(!enabledAtMessage);
        }
    }

    // Cancel in the browser: no request, no message, the document as it was.
    void cancelledBrowserChangesNothing()
    {
        editBoundDocument();
        m_dialogs->answerMessage(MsgAnswer::No);
        m_window->cancelBrowser();
        m_window->OpenDocument();
        m_window->cancelBrowser();
        m_window->SaveDocumentAs();
        QCOMPARE(m_window->filerModes, (QList<int> { 0, 1 }));
        QVERIFY(m_server->requests.isEmpty());
        QCOMPARE(m_window->DocumentText(), QStringLiteral("edited"));
        QVERIFY(m_window->blnModified);
        QCOMPARE(modPublic::strCurrentFile, QStringLiteral("a.txt"));
        QVERIFY(m_window->isEnabled());
    }

    // The save prompt on a modified document: Yes saves and goes on, No goes on, Cancel stops.
    // After Yes, text that did not reach the server is never dropped: the operation stops.
    void savePrompt_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<MsgAnswer>("answer");
        QTest::addColumn<Hitch>("hitch");
        QTest::addColumn<bool>("goesOn");
        const std::pair<const char *, Operation> operations[] = { { "new", Operation::New },
            { "open", Operation::Open }, { "recent", Operation::Recent }, { "exit", Operation::Exit } };
        for (const auto &[name, operation] : operations) {
            QTest::addRow("%s: yes", name) << operation << MsgAnswer::Yes << Hitch::None << true;
            QTest::addRow("%s: no", name) << operation << MsgAnswer::No << Hitch::None << true;
            QTest::addRow("%s: cancel", name) << operation << MsgAnswer::Cancel << Hitch::None << false;
            QTest::addRow("%s: yes, save fails", name) << operation << MsgAnswer::Yes << Hitch::SaveFails << false;
            QTest::addRow("%s: yes, browser cancelled", name)
                << operation << MsgAnswer::Yes << Hitch::SaveAsCancelled << false;
            QTest::addRow("%s: yes, characters refused", name)
                << operation << MsgAnswer::Yes << Hitch::CharactersRefused << false;
        }
    }
    void savePrompt()
    {
        QFETCH(Operation, operation);
        QFETCH(MsgAnswer, answer);
        QFETCH(Hitch, hitch);
        QFETCH(bool, goesOn);
        const QString edited = hitch == Hitch::CharactersRefused ? QStringLiteral("edited \U0001F600") : "edited";
        editBoundDocument();
        if (hitch == Hitch::SaveAsCancelled) {
            m_window->ResetDocument();
            m_window->cancelBrowser();
        }
        m_window->SetDocumentText(edited);
        if (hitch == Hitch::SaveFails)
            m_server->failing.append(Path(QStringLiteral("a.txt")));
        m_dialogs->answerMessage(answer);
        if (hitch == Hitch::CharactersRefused)
            m_dialogs->answerMessage(MsgAnswer::No);
        if (operation == Operation::Open && goesOn)
            m_window->choose(FOLDER, QStringLiteral("b.txt"));

        run(operation);

        verifyQuestion(0, SAVE_PROMPT, MsgButtons::YesNoCancel, MsgAnswer::Cancel);
        QStringList messages { SAVE_PROMPT };
        if (hitch == Hitch::SaveFails)
            messages << SAVE_FAILED;
        if (hitch == Hitch::CharactersRefused)
            messages << SHIFT_JIS_QUESTION;
        QCOMPARE(m_dialogs->messageTexts(), messages);
        const bool saved = goesOn && answer == MsgAnswer::Yes;
        QCOMPARE(m_server->files.value(Path(QStringLiteral("a.txt"))), saved ? edited : "text of a.txt");
        if (hitch == Hitch::SaveAsCancelled)
            QCOMPARE(m_window->filerModes, QList<int> { 1 });
        if (!goesOn) {
            QVERIFY(m_window->isVisible());
            QCOMPARE(m_window->DocumentText(), edited);
            QVERIFY(m_window->blnModified);
            QCOMPARE(modPublic::strCurrentFile, hitch == Hitch::SaveAsCancelled ? QString() : "a.txt");
            QVERIFY(!m_server->requests.join(QLatin1Char(' ')).contains(QLatin1String("READFILE")));
        } else if (operation == Operation::Exit) {
            QVERIFY(!m_window->isVisible());
            QCOMPARE(m_window->blnModified, answer == MsgAnswer::No); // left behind unsaved
        } else {
            QVERIFY(m_window->DocumentText() != edited);
            QVERIFY(!m_window->blnModified);
        }
    }

    // Open on a modified untitled document with Yes: the browser saves first, then opens; the
    // file saved under a new name enters the recent list only when it is opened.
    void untitledOpenSavesFirst()
    {
        m_window->SetDocumentText(QStringLiteral("draft"));
        m_dialogs->answerMessage(MsgAnswer::Yes);
        m_window->choose(FOLDER, QStringLiteral("draft.txt"));
        m_window->choose(FOLDER, QStringLiteral("b.txt"));
        m_window->OpenDocument();
        QCOMPARE(m_window->filerModes, (QList<int> { 1, 0 }));
        QCOMPARE(m_server->requests,
            (QStringList {
                QStringLiteral("SAVEFILE data/docs/draft.txt"), QStringLiteral("READFILE data/docs/b.txt") }));
        QCOMPARE(m_server->files.value(Path(QStringLiteral("draft.txt"))), QStringLiteral("draft"));
        QCOMPARE(modPublic::strCurrentFile, QStringLiteral("b.txt"));
        QCOMPARE(Captions(*m_window), QStringList { QStringLiteral("b.txt") });
    }

    // Characters code page 932 lacks are not silently saved as "?": the user is asked, No cancels.
    void unencodableTextAsksFirst_data()
    {
        QTest::addColumn<bool>("bound");
        QTest::addColumn<MsgAnswer>("answer");
        QTest::newRow("save, yes") << true << MsgAnswer::Yes;
        QTest::newRow("save, no") << true << MsgAnswer::No;
        QTest::newRow("save as, yes") << false << MsgAnswer::Yes;
        QTest::newRow("save as, no") << false << MsgAnswer::No;
    }
    void unencodableTextAsksFirst()
    {
        QFETCH(bool, bound);
        QFETCH(MsgAnswer, answer);
        if (bound)
            open({ FOLDER, QStringLiteral("a.txt") });
        m_window->SetDocumentText(QStringLiteral("price ¥100 \U0001F600"));
        m_server->requests.clear();
        m_window->filerModes.clear();
        m_dialogs->answerMessage(answer);
        const bool saved = answer == MsgAnswer::Yes;
        if (!bound && saved)
            m_window->choose(FOLDER, QStringLiteral("new.txt"));

        m_window->SaveCurrentDocument();

        QCOMPARE(m_dialogs->messages.size(), 1);
        verifyQuestion(0, SHIFT_JIS_QUESTION, MsgButtons::YesNo, MsgAnswer::No);
        QCOMPARE(m_server->requests.size(), saved ? 1 : 0);
        QCOMPARE(m_window->filerModes.size(), !bound && saved ? 1 : 0);
        QCOMPARE(m_window->blnModified, !saved);
    }

    // Save and save-as send the text in a disabled window with the progress shown. Success binds
    // the document to the name, unmodified; failure keeps the text modified and says so, save-as
    // keeping the chosen name current. The recent list is left alone.
    void saves_data()
    {
        QTest::addColumn<bool>("saveAs");
        QTest::addColumn<bool>("fails");
        QTest::newRow("save") << false << false;
        QTest::newRow("save fails") << false << true;
        QTest::newRow("save as") << true << false;
        QTest::newRow("save as fails") << true << true;
    }
    void saves()
    {
        QFETCH(bool, saveAs);
        QFETCH(bool, fails);
        editBoundDocument();
        const app::HistoryItem target
            = saveAs ? app::HistoryItem { "data", "copy.txt" } : app::HistoryItem { FOLDER, "a.txt" };
        const QString targetPath = target.Path + QLatin1Char('/') + target.File;
        if (fails)
            m_server->failing.append(targetPath);
        QStringList seen;
        m_server->onRequest = [&] { seen << WindowState(); };
        bool enabledAtMessage = true;
        m_dialogs->onQuestion = [&] { enabledAtMessage = m_window->isEnabled(); };
        if (saveAs) {
            m_window->choose(target.Path, target.File);
            m_window->SaveDocumentAs();
        } else {
            m_window->SaveDocument();
        }
        QCOMPARE(m_server->requests, QStringList { QStringLiteral("SAVEFILE ") + targetPath });
        QCOMPARE(seen, QStringList { QStringLiteral("enabled=0 保存しています… busy=1") });
        QCOMPARE(WindowState(), QStringLiteral("enabled=1 %1 busy=0").arg(fails ? "a.txt" : target.File));
        QCOMPARE(modPublic::strCurrentFolder, target.Path);
        QCOMPARE(modPublic::strCurrentFile, target.File);
        QCOMPARE(m_window->DocumentText(), QStringLiteral("edited"));
        QCOMPARE(m_window->blnModified, fails);
        QCOMPARE(Captions(*m_window), (QStringList { QStringLiteral("b.txt"), QStringLiteral("a.txt") }));
        QCOMPARE(m_dialogs->messageTexts(), fails ? QStringList { SAVE_FAILED } : QStringList());
        if (fails) {
            QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
            QVERIFY(!enabledAtMessage);
        } else {
            QCOMPARE(m_server->files.value(targetPath), QStringLiteral("edited"));
        }
    }

    // New empties the box and makes the document untitled and unmodified.
    void newEmptiesAndUnbinds()
    {
        open({ FOLDER, QStringLiteral("a.txt") });
        m_window->NewDocument();
        QCOMPARE(m_window->DocumentText(), QString());
        QCOMPARE(modPublic::strCurrentFolder + modPublic::strCurrentFile, QString());
        QCOMPARE(m_window->PanelText(QStringLiteral("filename")), QStringLiteral("(No File)"));
        QVERIFY(!m_window->blnModified);
        QCOMPARE(m_server->requests.size(), 1);
    }

    // Lines typed into a new document are saved with CR LF.
    void typedTextSavedWithCrLf()
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

    // The submenu lists the opened files, the oldest at the top, ten at most, a reopened file
    // moving to the end; every entry is enabled and opens its own file.
    void recentSequences_data()
    {
        QTest::addColumn<QStringList>("opened"); // paths under data/
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("B, C, A") << QStringList { "a", "b", "c", "a" } << QStringList { "b", "c", "a" };
        QTest::newRow("last entry again") << QStringList { "a", "b", "c", "c" } << QStringList { "a", "b", "c" };
        QTest::newRow("same name, two folders") << QStringList { "x/m", "y/m" } << QStringList { "x/m", "y/m" };
        QTest::newRow("case matters") << QStringList { "a", "A" } << QStringList { "a", "A" };
        QTest::newRow("name with an ampersand") << QStringList { "R&D" } << QStringList { "R&D" };
        QStringList eleven;
        for (int i = 1; i <= 11; ++i)
            eleven << QStringLiteral("f%1").arg(i);
        QTest::newRow("eleven files") << eleven << eleven.mid(1);
        QTest::newRow("full list, oldest reopened")
            << eleven.mid(0, 10) + QStringList { "f1" } << eleven.mid(1, 9) + QStringList { "f1" };
    }
    void recentSequences()
    {
        QFETCH(QStringList, opened);
        QFETCH(QStringList, listed);
        QCOMPARE(Captions(*m_window), QStringList { QStringLiteral("(なし)") });
        QVERIFY(!m_window->menuRecentFiles[0]->isEnabled());
        for (const QString &path : opened) {
            const QString full = QStringLiteral("data/") + path;
            m_server->files.insert(full, path);
            open({ full.section(u'/', 0, -2), full.section(u'/', -1) });
        }
        QStringList history, expected, captions;
        for (int i = 0; i < app::HistoryLength(m_window->arrHistory); ++i)
            history << m_window->arrHistory[i].Path + QLatin1Char('/') + m_window->arrHistory[i].File;
        for (const QString &path : listed) {
            expected << QStringLiteral("data/") + path;
            captions << path.section(u'/', -1).replace(QLatin1Char('&'), QLatin1String("&&"));
        }
        QCOMPARE(history, expected);
        QCOMPARE(Captions(*m_window), captions);
        QCOMPARE(m_window->mhdRecent->actions().size(), listed.size());
        for (const QAction *item : m_window->menuRecentFiles)
            QVERIFY(item->isEnabled());
        m_window->menuRecentFiles[0]->trigger();
        QCOMPARE(m_window->DocumentText(), listed[0]);
    }

private:
    void open(const app::HistoryItem &file)
    {
        m_window->choose(file.Path, file.File);
        m_window->OpenDocument();
    }
    void run(Operation operation)
    {
        if (operation == Operation::New)
            m_window->NewDocument();
        else if (operation == Operation::Open)
            m_window->OpenDocument();
        else if (operation == Operation::Recent)
            m_window->menuRecentFiles_Click(0);
        else
            m_window->close();
    }
    // A bound document "a.txt", opened after "b.txt", edited to "edited".
    void editBoundDocument()
    {
        open({ FOLDER, QStringLiteral("b.txt") });
        open({ FOLDER, QStringLiteral("a.txt") });
        m_window->SetDocumentText(QStringLiteral("edited"));
        QVERIFY(m_window->blnModified);
        m_server->requests.clear();
        m_window->filerModes.clear();
    }
    // Whether the window takes input, the file name panel, and whether the busy indicator shows.
    QString WindowState() const
    {
        return QStringLiteral("enabled=%1 %2 busy=%3")
            .arg(m_window->isEnabled())
            .arg(m_window->PanelText(QStringLiteral("filename")))
            .arg(m_window->BusyIndicator()->isVisible());
    }
    void verifyQuestion(int index, const QString &text, MsgButtons buttons, MsgAnswer defaultButton)
    {
        QVERIFY(m_dialogs->messages.size() > index);
        const platform::MessageRequest &question = m_dialogs->messages[index].request;
        QCOMPARE(question.text, text);
        QCOMPARE(question.icon, MsgIcon::Question);
        QCOMPARE(question.buttons, buttons);
        QCOMPARE(question.defaultButton, defaultButton);
    }
};

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
