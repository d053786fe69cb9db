#include "platform/cp932.h"
#include "windowfixture.h"

#include <QAction>
#include <QMenu>
#include <QProgressBar>
#include <QTemporaryDir>

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {

const QString SAVE_PROMPT = QStringLiteral("変更された内容をファイルに保存しますか？");
const QString READ_FAILED = QStringLiteral("ファイルの取得に失敗しました。");
const QString SAVE_FAILED = QStringLiteral("ファイルの保存に失敗しました。");
const QString SHIFT_JIS_QUESTION = QStringLiteral("この文書にはShift-JISで保存できない文字が含まれています。\r\n"
                                                  "それらの文字を「?」に置き換えて保存しますか？");
const QString FOLDER = QStringLiteral("data/docs");
const QString BOUND_A = QStringLiteral("data/docs/a.txt [a.txt] ");
const QString UNTITLED = QStringLiteral("/ [(No File)] ");

enum class Operation { New, Open, Recent, Exit };
enum class Route { Browser, Recent, Shortcut, DroppedShortcut };
// What the save after Yes in the save prompt meets.
enum class Hitch { None, Untitled, SaveFails, SaveAsCancelled, CharactersRefused };

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
        for (const QString name : { "a.txt", "b.txt", "c.txt" })
            m_server->files.insert(FOLDER + u'/' + name, QStringLiteral("text of ") + name);
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
        const QString target = QStringLiteral("data/年度/報告 1.txt");
        m_server->files.insert(target, failure == QLatin1String("content") ? "NG" : "報告");
        QTemporaryDir dir;
        const QString shortcut = dir.filePath(QStringLiteral("報告.lmk"));
        QVERIFY(testsupport::WriteFile(shortcut, cp932::Encode(u"data/年度\t報告 1.txt\r\n")));
        if (route == Route::Recent)
            open(target);
        open(FOLDER + QStringLiteral("/a.txt"));
        const QStringList captionsBefore = Captions();
        if (failure == QLatin1String("server"))
            m_server->failing.append(target);
        m_server->requests.clear();
        m_window->filerModes.clear();
        m_window->enabledAtFiler.clear();
        QStringList seen;
        m_server->onRequest = [&] { seen << WindowState(); };
        bool enabledAtMessage = true;
        m_dialogs->onQuestion = [&] { enabledAtMessage = m_window->isEnabled(); };

        if (route == Route::Browser)
            open(target);
        else if (route == Route::Recent)
            m_window->menuRecentFiles[0]->trigger();
        else if (route == Route::Shortcut)
            m_window->OpenShortcut(shortcut);
        else
            dropFiles({ shortcut });

        QCOMPARE(m_window->filerModes, route == Route::Browser ? QList<int> { 0 } : QList<int>());
        QCOMPARE(m_window->enabledAtFiler, route == Route::Browser ? QList<bool> { false } : QList<bool>());
        QCOMPARE(m_server->requests, QStringList { QStringLiteral("READFILE ") + target });
        QCOMPARE(seen, QStringList { QStringLiteral("enabled=0 読み込んでいます… busy=1") });
        QVERIFY(m_window->isEnabled() && m_window->BusyIndicator()->isHidden());
        if (failure.isEmpty()) {
            QCOMPARE(Document(), QStringLiteral("data/年度/報告 1.txt [報告 1.txt] 報告"));
            QCOMPARE(Captions().last(), QStringLiteral("報告 1.txt"));
            QVERIFY(m_dialogs->messages.isEmpty());
        } else {
            QCOMPARE(Document(), BOUND_A + QStringLiteral("text of a.txt"));
            QCOMPARE(Captions(), captionsBefore);
            QCOMPARE(m_dialogs->messageTexts(), QStringList { READ_FAILED });
            QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
            QVERIFY(!enabledAtMessage);
        }
    }

    // Cancel in the browser: no request, no message, the document as it was.
    void cancelledBrowserChangesNothing()
    {
        editBoundDocument(QStringLiteral("edited"));
        m_dialogs->answerMessage(MsgAnswer::No);
        m_window->cancelBrowser();
        m_window->OpenDocument();
        m_window->cancelBrowser();
        m_window->SaveDocumentAs();
        QCOMPARE(m_window->filerModes, (QList<int> { 0, 1 }));
        QVERIFY(m_server->requests.isEmpty());
        QCOMPARE(Document(), BOUND_A + QStringLiteral("edited *"));
        QVERIFY(m_window->isEnabled());
    }

    // The save prompt on a modified document: Yes saves (an untitled one through the browser
    // first) and goes on, No goes on, Cancel stops, and closing stopped writes no settings.
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
            QTest::addRow("%s: yes, untitled", name) << operation << MsgAnswer::Yes << Hitch::Untitled << true;
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
        editBoundDocument(edited);
        const bool untitled = hitch == Hitch::Untitled || hitch == Hitch::SaveAsCancelled;
        if (untitled) {
            m_window->ResetDocument();
            m_window->SetDocumentText(edited);
        }
        if (hitch == Hitch::Untitled)
            m_window->choose(FOLDER, QStringLiteral("draft.txt"));
        if (hitch == Hitch::SaveAsCancelled)
            m_window->cancelBrowser();
        if (hitch == Hitch::SaveFails)
            m_server->failing.append(FOLDER + QStringLiteral("/a.txt"));
        m_dialogs->answerMessage(answer);
        if (hitch == Hitch::CharactersRefused)
            m_dialogs->answerMessage(MsgAnswer::No);
        if (operation == Operation::Open && goesOn)
            m_window->choose(FOLDER, QStringLiteral("b.txt"));
        m_settings->store().Sync();
        const QByteArray settings = testsupport::ReadAll(m_settings->path());

        if (operation == Operation::New)
            m_window->NewDocument();
        else if (operation == Operation::Open)
            m_window->OpenDocument();
        else if (operation == Operation::Recent)
            m_window->menuRecentFiles_Click(0);
        else
            m_window->close();

        verifyQuestion(0, SAVE_PROMPT, MsgButtons::YesNoCancel, MsgAnswer::Cancel);
        QStringList messages { SAVE_PROMPT };
        if (hitch == Hitch::SaveFails)
            messages << SAVE_FAILED;
        if (hitch == Hitch::CharactersRefused)
            messages << SHIFT_JIS_QUESTION;
        QCOMPARE(m_dialogs->messageTexts(), messages);
        const bool saved = goesOn && answer == MsgAnswer::Yes;
        QCOMPARE(
            m_server->files.value(FOLDER + QStringLiteral("/a.txt")), saved && !untitled ? edited : "text of a.txt");
        QCOMPARE(m_server->files.value(FOLDER + QStringLiteral("/draft.txt")), saved && untitled ? edited : QString());
        QList<int> modes(untitled && answer == MsgAnswer::Yes ? 1 : 0, 1);
        if (operation == Operation::Open && goesOn)
            modes << 0;
        QCOMPARE(m_window->filerModes, modes);
        QCOMPARE(m_window->isVisible(), !goesOn || operation != Operation::Exit);
        if (!goesOn) {
            QCOMPARE(Document(), (untitled ? UNTITLED : BOUND_A) + edited + " *");
            QVERIFY(!m_server->requests.join(u' ').contains(QLatin1String("READFILE")));
            m_settings->store().Sync();
            QCOMPARE(testsupport::ReadAll(m_settings->path()), settings);
        } else if (operation == Operation::Exit) {
            QCOMPARE(m_window->blnModified, answer == MsgAnswer::No); // left behind unsaved
        } else {
            QCOMPARE(Document(),
                operation == Operation::New ? UNTITLED : QStringLiteral("data/docs/b.txt [b.txt] text of b.txt"));
        }
    }

    // Save and save-as send the text in a disabled window with the progress shown. Success binds
    // the document to the name, unmodified; failure keeps the text modified and says so, save-as
    // keeping the chosen name current. The recent list is left alone. Characters code page 932
    // lacks are not silently saved as "?": the user is asked first, and No saves nothing.
    void saves_data()
    {
        QTest::addColumn<bool>("saveAs");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<MsgAnswer>("characters"); // OK: nothing to ask
        for (const bool saveAs : { false, true }) {
            const char *command = saveAs ? "save as" : "save";
            QTest::addRow("%s", command) << saveAs << false << MsgAnswer::OK;
            QTest::addRow("%s fails", command) << saveAs << true << MsgAnswer::OK;
            QTest::addRow("%s, characters accepted", command) << saveAs << false << MsgAnswer::Yes;
            QTest::addRow("%s, characters refused", command) << saveAs << false << MsgAnswer::No;
        }
    }
    void saves()
    {
        QFETCH(bool, saveAs);
        QFETCH(bool, fails);
        QFETCH(MsgAnswer, characters);
        const QString text = characters == MsgAnswer::OK ? QStringLiteral("edited") : "price ¥100 \U0001F600";
        editBoundDocument(text);
        const QString target = saveAs ? QStringLiteral("data/copy.txt") : FOLDER + QStringLiteral("/a.txt");
        if (fails)
            m_server->failing.append(target);
        const bool sent = characters != MsgAnswer::No;
        if (characters != MsgAnswer::OK)
            m_dialogs->answerMessage(characters);
        if (saveAs && sent)
            m_window->choose(target.section(u'/', 0, -2), target.section(u'/', -1));
        QStringList seen;
        m_server->onRequest = [&] { seen << WindowState(); };
        bool enabledAtMessage = true;
        m_dialogs->onQuestion = [&] { enabledAtMessage = m_window->isEnabled(); };

        if (saveAs)
            m_window->SaveDocumentAs();
        else
            m_window->SaveDocument();

        QStringList messages;
        if (characters != MsgAnswer::OK) {
            messages << SHIFT_JIS_QUESTION;
            verifyQuestion(0, SHIFT_JIS_QUESTION, MsgButtons::YesNo, MsgAnswer::No);
        }
        if (fails)
            messages << SAVE_FAILED;
        QCOMPARE(m_dialogs->messageTexts(), messages);
        QCOMPARE(m_server->requests, sent ? QStringList { QStringLiteral("SAVEFILE ") + target } : QStringList());
        QCOMPARE(seen, sent ? QStringList { QStringLiteral("enabled=0 保存しています… busy=1") } : QStringList());
        QCOMPARE(m_window->filerModes.size(), saveAs && sent ? 1 : 0);
        if (!sent)
            QCOMPARE(Document(), BOUND_A + text + " *");
        else if (fails)
            QCOMPARE(Document(), target + QStringLiteral(" [a.txt] ") + text + " *");
        else
            QCOMPARE(Document(), QStringLiteral("%1 [%2] %3").arg(target, target.section(u'/', -1), text));
        QVERIFY(m_window->isEnabled() && m_window->BusyIndicator()->isHidden());
        QCOMPARE(Captions(), (QStringList { QStringLiteral("b.txt"), QStringLiteral("a.txt") }));
        if (fails) {
            QCOMPARE(m_dialogs->messages.last().request.icon, MsgIcon::Exclamation);
            QVERIFY(!enabledAtMessage);
        } else if (sent) {
            QCOMPARE(m_server->files.value(target), text);
        }
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
        QCOMPARE(m_server->files.value(FOLDER + QStringLiteral("/typed.txt")), QStringLiteral("one\r\ntwo\r\n"));
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
        QCOMPARE(Captions(), QStringList { QStringLiteral("(なし)") });
        QVERIFY(!m_window->menuRecentFiles[0]->isEnabled());
        for (const QString &path : opened) {
            m_server->files.insert(QStringLiteral("data/") + path, path);
            open(QStringLiteral("data/") + path);
        }
        QStringList history, expected, captions;
        for (int i = 0; i < app::HistoryLength(m_window->arrHistory); ++i)
            history << m_window->arrHistory[i].Path + QLatin1Char('/') + m_window->arrHistory[i].File;
        for (const QString &path : listed) {
            expected << QStringLiteral("data/") + path;
            captions << path.section(u'/', -1).replace(QLatin1Char('&'), QLatin1String("&&"));
        }
        QCOMPARE(history, expected);
        QCOMPARE(Captions(), captions);
        QCOMPARE(m_window->mhdRecent->actions().size(), listed.size());
        for (const QAction *item : m_window->menuRecentFiles)
            QVERIFY(item->isEnabled());
        m_window->menuRecentFiles[0]->trigger();
        QCOMPARE(m_window->DocumentText(), listed[0]);
    }

private:
    // Opens the remote file at this path ("data/a.txt") through the browser.
    void open(const QString &path)
    {
        m_window->choose(path.section(u'/', 0, -2), path.section(u'/', -1));
        m_window->OpenDocument();
    }
    // A bound document "a.txt", opened after "b.txt", edited.
    void editBoundDocument(const QString &text)
    {
        open(FOLDER + QStringLiteral("/b.txt"));
        open(FOLDER + QStringLiteral("/a.txt"));
        m_window->SetDocumentText(text);
        m_server->requests.clear();
        m_window->filerModes.clear();
    }
    QStringList Captions() const
    {
        QStringList captions;
        for (const QAction *item : m_window->menuRecentFiles)
            captions.append(item->text());
        return captions;
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
