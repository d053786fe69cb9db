#include "platform/cp932.h"
#include "windowfixture.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>

using platform::MsgAnswer;
using platform::MsgIcon;
using testsupport::ReadAll;
using testsupport::WriteFile;

namespace {

const QString READ_FAILED = QStringLiteral("ファイルの取得に失敗しました。");
const QString SAVE_PROMPT = QStringLiteral("変更された内容をファイルに保存しますか？");
const QString SEVERAL_FILES = QStringLiteral("複数のファイルがドロップされましたが、先頭のファイルのみを開きます。");
const QString MADE_NOTHING = QStringLiteral("ローカルショートカットの作成に失敗しました。");
const QString NO_FILE = QStringLiteral("ファイルを開いていません。");

} // namespace

class TestShortcuts : public testsupport::WindowTest {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        start();
        m_server->files.insert(QStringLiteral("data/a.txt"), QStringLiteral("text of a"));
        m_server->files.insert(QStringLiteral("data/年度/報告 1.txt"), QStringLiteral("報告"));
        const std::pair<const char *, QByteArray> files[]
            = { { "report.lmk", cp932::Encode(u"data/年度\t報告 1.txt\r\n") }, { "a.lmk", "data\ta.txt\r\n" },
                  { "gone.lmk", "data\tgone.txt\r\n" }, { "notab.lmk", "data a.txt\r\n" },
                  { "a.txt", "data\ta.txt\r\n" }, { "empty.lmk", "" }, { "old.lmk", QByteArray(100, 'x') },
                  { "local.txt", cp932::Encode(u"一行目\r\n二行目 ｶﾅ\r\n") } };
        for (const auto &[name, bytes] : files)
            QVERIFY(WriteFile(local(QLatin1String(name)), bytes));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder.lmk")));
    }
    void cleanup() { finish(); }

    // The shortcut command names the open document in a file that ends in ".lmk": folder, TAB,
    // name, CR LF in code page 932, replacing a shortcut already there; Cancel writes nothing,
    // a place that cannot be written is reported, and without an open file nothing is asked.
    void shortcutCommand_data()
    {
        QTest::addColumn<QString>("chosen"); // empty: Cancel
        QTest::addColumn<bool>("bound");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("message");
        QTest::newRow("proposed name") << "報告 1.txt" << true << "報告 1.txt.lmk" << QString();
        QTest::newRow("A.LMK") << "A.LMK" << true << "A.LMK" << QString();
        QTest::newRow("over an older, longer one") << "old.lmk" << true << "old.lmk" << QString();
        QTest::newRow("beside a local file") << "a.txt" << true << "a.txt.lmk" << QString();
        QTest::newRow("lmk without its dot") << "almk" << true << "almk.lmk" << QString();
        QTest::newRow("cancelled") << QString() << true << QString() << QString();
        QTest::newRow("cannot be written") << "missing folder/a.lmk" << true << QString() << MADE_NOTHING;
        QTest::newRow("no file open") << QString() << false << QString() << NO_FILE;
    }
    void shortcutCommand()
    {
        QFETCH(QString, chosen);
        QFETCH(bool, bound);
        QFETCH(QString, written);
        QFETCH(QString, message);
        const QMap<QString, QByteArray> before = LocalFiles();
        if (bound) {
            open({ QStringLiteral("data/年度"), QStringLiteral("報告 1.txt") });
            m_dialogs->answerSaveFile(chosen.isEmpty() ? std::nullopt : std::optional(local(chosen)));
        }

        m_window->menuShortcut->trigger();

        QCOMPARE(m_dialogs->saveRequests.size(), bound ? 1 : 0);
        if (bound) {
            const platform::SaveFileRequest &request = m_dialogs->saveRequests[0];
            QCOMPARE(request.title, QStringLiteral("ローカルショートカットの作成"));
            QCOMPARE(request.proposedName, QStringLiteral("報告 1.txt"));
            QCOMPARE(request.filter, QStringLiteral("Lumenoﾛｰｶﾙｼｮｰﾄｶｯﾄ(*.lmk)"));
            QCOMPARE(request.defaultSuffix, QStringLiteral("lmk"));
            QVERIFY(request.confirmOverwrite);
        }
        QCOMPARE(m_dialogs->messageTexts(), message.isEmpty() ? QStringList() : QStringList { message });
        if (!message.isEmpty())
            QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
        QMap<QString, QByteArray> after = before;
        if (!written.isEmpty())
            after.insert(written, cp932::Encode(u"data/年度\t報告 1.txt\r\n"));
        QCOMPARE(LocalFiles(), after);
    }

    // Opening the File menu enables the shortcut command exactly when a file is open.
    void fileMenuFollowsTheDocument()
    {
        emit m_window->mhdFile->aboutToShow();
        QVERIFY(!m_window->menuShortcut->isEnabled());
        open({ QStringLiteral("data"), QStringLiteral("a.txt") });
        emit m_window->mhdFile->aboutToShow();
        QVERIFY(m_window->menuShortcut->isEnabled());
        m_window->NewDocument();
        emit m_window->mhdFile->aboutToShow();
        QVERIFY(!m_window->menuShortcut->isEnabled());
    }

    // Shortcuts without a TAB, without ".lmk", missing or unreadable: nothing happens, silently.
    void unusableShortcutIgnored()
    {
        for (const char *name : { "notab.lmk", "a.txt", "missing.lmk", "folder.lmk" })
            m_window->OpenShortcut(local(QLatin1String(name)));
        QVERIFY(m_server->requests.isEmpty());
        QVERIFY(m_dialogs->messages.isEmpty());
        QCOMPARE(Document(), QStringLiteral("/ [(No File)] "));
    }

    // The command line, spaces included, is opened at the first activation and never again; a
    // quoted path is no shortcut.
    void commandLineAtFirstActivationOnly_data()
    {
        QTest::addColumn<bool>("quoted");
        QTest::newRow("path with spaces") << false;
        QTest::newRow("quoted path") << true;
    }
    void commandLineAtFirstActivationOnly()
    {
        QFETCH(bool, quoted);
        const QString name = QStringLiteral("my memo 1.lmk");
        QVERIFY(QFile::copy(local(QStringLiteral("report.lmk")), local(name)));
        restart(quoted ? u'"' + local(name) + u'"' : local(name));
        for (int activation = 0; activation < 3; ++activation)
            m_window->Form_Activate();
        QCOMPARE(m_server->requests,
            quoted ? QStringList() : QStringList { QStringLiteral("READFILE data/年度/報告 1.txt") });
        QCOMPARE(Document(), quoted ? QStringLiteral("/ [(No File)] ") : "data/年度/報告 1.txt [報告 1.txt] 報告");
    }

    // The failure message hands the activation back to the window: the shortcut is not fetched
    // again, and the message is not shown again.
    void failureMessageDoesNotReopen()
    {
        m_dialogs->onQuestion = [&] {
            if (m_window)
                m_window->Form_Activate();
        };
        restart(local(QStringLiteral("gone.lmk")));
        m_window->Form_Activate();
        QCOMPARE(m_server->requests, QStringList { QStringLiteral("READFILE data/gone.txt") });
        QCOMPARE(m_dialogs->messageTexts(), QStringList { READ_FAILED });
    }

    // Files dropped on a document: the save prompt when it is modified (Cancel stops), a notice
    // when there are several, then the first one opens: a shortcut bound to its remote file, a
    // local text file in code page 932 as an untitled document, an empty file not at all.
    void droppedFiles_data()
    {
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<MsgAnswer>("prompt"); // OK: the document is not modified
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("document");
        const QString kept = QStringLiteral("data/a.txt [a.txt] edited *");
        QTest::newRow("several, first a shortcut")
            << QStringList { "report.lmk", "a.lmk", "c.txt" } << MsgAnswer::No
            << QStringList { SAVE_PROMPT, SEVERAL_FILES } << QStringLiteral("data/年度/報告 1.txt [報告 1.txt] 報告");
        QTest::newRow("prompt cancelled")
            << QStringList { "report.lmk", "a.lmk" } << MsgAnswer::Cancel << QStringList { SAVE_PROMPT } << kept;
        QTest::newRow("empty file") << QStringList { "empty.lmk" } << MsgAnswer::No << QStringList { SAVE_PROMPT }
                                    << kept;
        QTest::newRow("local text file") << QStringList { "local.txt" } << MsgAnswer::OK << QStringList()
                                         << QStringLiteral("/ [(No File)] 一行目\r\n二行目 ｶﾅ\r\n");
    }
    void droppedFiles()
    {
        QFETCH(QStringList, dropped);
        QFETCH(MsgAnswer, prompt);
        QFETCH(QStringList, messages);
        QFETCH(QString, document);
        open({ QStringLiteral("data"), QStringLiteral("a.txt") });
        m_server->requests.clear();
        if (prompt != MsgAnswer::OK) {
            m_window->SetDocumentText(QStringLiteral("edited"));
            m_dialogs->answerMessage(prompt);
        }
        for (QString &name : dropped)
            name = local(name);

        dropFiles(dropped);

        QCOMPARE(m_dialogs->messageTexts(), messages);
        if (messages.contains(SEVERAL_FILES))
            QCOMPARE(m_dialogs->messages[1].request.icon, MsgIcon::Information);
        QCOMPARE(m_server->requests.size(), document.contains(QStringLiteral("報告")) ? 1 : 0);
        QCOMPARE(Document(), document);
    }

    // Dropped text, or an address that is no local file, replaces the selection or goes where it
    // is dropped, without a prompt; anything else is refused and changes nothing.
    void droppedText_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("selected"); // the first five characters, or none and dropped at the end
        QTest::addColumn<QString>("document");
        QTest::newRow("text over the selection")
            << "text/plain" << QByteArray("日本\r\n語") << 5 << QStringLiteral("data/a.txt [a.txt] 日本\r\n語of a *");
        QTest::newRow("text where dropped")
            << "text/plain" << QByteArray("!") << 0 << "data/a.txt [a.txt] text of a! *";
        QTest::newRow("web address") << "text/uri-list" << QByteArray("https://example.org/") << 0
                                     << "data/a.txt [a.txt] text of ahttps://example.org/ *";
        QTest::newRow("picture") << "image/png" << QByteArray("\x89PNG") << 0 << "data/a.txt [a.txt] text of a";
    }
    void droppedText()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, data);
        QFETCH(int, selected);
        open({ QStringLiteral("data"), QStringLiteral("a.txt") });
        select(0, selected);
        QTextCursor end(m_window->txtMain->document());
        end.movePosition(QTextCursor::End);
        QMimeData mime;
        if (format == QLatin1String("text/uri-list"))
            mime.setUrls({ QUrl(QString::fromUtf8(data)) });
        if (format == QLatin1String("image/png"))
            mime.setData(format, data);
        else
            mime.setText(QString::fromUtf8(data));

        drop(mime, m_window->txtMain->cursorRect(end).center());

        QTEST(Document(), "document");
        QVERIFY(m_dialogs->messages.isEmpty());
    }

    // Start-up writes the association into the user's data folder and shows a failing step.
    void registrationFailureShown()
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_dir->path().toLocal8Bit());
        m_window->frmMain::RegisterShortcutType();
        QVERIFY(ReadAll(local(QStringLiteral("applications/lumeno.desktop")))
                    .contains(QStringLiteral("Exec=\"%1\" %f").arg(QCoreApplication::applicationFilePath()).toUtf8()));
        QVERIFY(m_dialogs->messages.isEmpty());

        QVERIFY(QFile::remove(local(QStringLiteral("mime/packages/Lumeno.LocalShortcut.xml"))));
        QVERIFY(QDir(local(QStringLiteral("applications"))).removeRecursively());
        QVERIFY(WriteFile(local(QStringLiteral("applications")), "a file in the way"));
        m_window->frmMain::RegisterShortcutType();
        qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(m_dialogs->messageTexts(), QStringList { QStringLiteral("レジストリ操作エラー(RegCreateKeyEx[2])") });
        QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
    }

private:
    QString local(const QString &name) const { return m_dir->filePath(name); }
    QMap<QString, QByteArray> LocalFiles() const
    {
        QMap<QString, QByteArray> files;
        for (const QString &name : QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            files.insert(name, ReadAll(local(name)));
        return files;
    }
    void open(const app::HistoryItem &file)
    {
        m_window->choose(file.Path, file.File);
        m_window->OpenDocument();
        QCOMPARE(modPublic::strCurrentFile, file.File);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
