#include "app/association.h"
#include "app/shortcutfile.h"
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
    void initTestCase()
    {
        testsupport::usePrivateRuntimeDir();
        // The cache tools of this machine are not what is tested: stand-ins take their place.
        qputenv("PATH", m_tools.path().toLocal8Bit() + ':' + m_path);
    }
    void cleanupTestCase() { qputenv("PATH", m_path); }
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
        FakeTool(QStringLiteral("update-mime-database"), 0);
        FakeTool(QStringLiteral("update-desktop-database"), 0);
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
        QTest::newRow("two, first a shortcut")
            << QStringList { "report.lmk", "c.txt" } << MsgAnswer::No << QStringList { SAVE_PROMPT, SEVERAL_FILES }
            << QStringLiteral("data/年度/報告 1.txt [報告 1.txt] 報告");
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

    // Start-up writes the association for this executable into the user's data folder, and shows
    // a failing step's message.
    void registrationUsesTheDataFolder()
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", home().toLocal8Bit());
        m_window->frmMain::RegisterShortcutType();
        QVERIFY(ReadAll(at("applications/lumeno.desktop"))
                    .contains(QStringLiteral("Exec=\"%1\" %f").arg(QCoreApplication::applicationFilePath()).toUtf8()));
        QVERIFY(QDir(at("mime")).removeRecursively());
        QVERIFY(WriteFile(at("mime"), "a file in the way"));
        m_window->frmMain::RegisterShortcutType();
        qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(m_dialogs->messageTexts(), QStringList { QStringLiteral("レジストリ操作エラー(RegCreateKeyEx[1])") });
        QCOMPARE(m_dialogs->messages[0].request.icon, MsgIcon::Exclamation);
    }

    // Only the first line counts: the folder before the first TAB, the name all after it.
    void parsedFirstLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("target"); // folder | name, empty when unusable
        QTest::newRow("as written") << QByteArray("F\tmemo.txt\r\n") << "F|memo.txt";
        QTest::newRow("tabs in the name") << QByteArray("F\tx\ty\r\n") << "F|x\ty";
        QTest::newRow("no line break") << QByteArray("data\ta.txt") << "data|a.txt";
        QTest::newRow("LF, second line ignored") << QByteArray("data\ta\nother\tb\n") << "data|a";
        QTest::newRow("CR alone ends the line") << QByteArray("data\ta\rb") << "data|a";
        QTest::newRow("code page 932") << QByteArray("data/\x94\x4e\x93\x78\t\x83\x81\x83\x82.txt\r\n")
                                       << "data/年度|メモ.txt";
        QTest::newRow("no tab") << QByteArray("data a.txt\r\n") << QString();
        QTest::newRow("tab on the second line") << QByteArray("data\r\n\ta.txt") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void parsedFirstLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, target);
        const std::optional<app::HistoryItem> parsed = app::ParseShortcut(bytes);
        QCOMPARE(parsed ? parsed->Path + u'|' + parsed->File : QString(), target);
    }

    // The association: the MIME package, the desktop entry and both icons, then the caches.
    void associationWritten()
    {
        QCOMPARE(app::RegisterAssociation(home(), QStringLiteral("/opt/my tools/lumeno")), QString());
        const QByteArray package = ReadAll(at("mime/packages/Lumeno.LocalShortcut.xml"));
        for (const char *part : { R"(<mime-type type="application/x-lumeno-localshortcut">)",
                 R"(<glob pattern="*.lmk"/>)", "<comment>Lumeno ローカルショートカットファイル</comment>",
                 R"(<icon name="application-x-lumeno-localshortcut"/>)" })
            QVERIFY2(package.contains(part), part);
        const QList<QByteArray> entry = ReadAll(at("applications/lumeno.desktop")).split('\n');
        for (const char *line :
            { "[Desktop Entry]", "Type=Application", "Name=Lumeno", "Exec=\"/opt/my tools/lumeno\" %f", "Icon=lumeno",
                "MimeType=application/x-lumeno-localshortcut;", "Categories=Utility;TextEditor;" })
            QVERIFY2(entry.contains(line), line);
        QCOMPARE(ReadAll(at("icons/hicolor/48x48/mimetypes/application-x-lumeno-localshortcut.png")),
            ReadAll(QStringLiteral(":/app/shortcut.png")));
        QCOMPARE(ReadAll(at("icons/hicolor/48x48/apps/lumeno.png")), ReadAll(QStringLiteral(":/app/lumeno.png")));
        QCOMPARE(ReadAll(m_tools.filePath(QStringLiteral("update-mime-database.log"))), (home() + "/mime\n").toUtf8());
        QCOMPARE(ReadAll(m_tools.filePath(QStringLiteral("update-desktop-database.log"))),
            (home() + "/applications\n").toUtf8());
    }

    // A MIME package already there: nothing is written, whatever the rest holds.
    void associationLeftAlone()
    {
        QVERIFY(QDir(home()).mkpath(QStringLiteral("mime/packages")));
        QVERIFY(WriteFile(at("mime/packages/Lumeno.LocalShortcut.xml"), "mine"));
        QCOMPARE(app::RegisterAssociation(home(), QStringLiteral("/usr/bin/lumeno")), QString());
        QCOMPARE(ReadAll(at("mime/packages/Lumeno.LocalShortcut.xml")), QByteArray("mine"));
        QCOMPARE(QDir(home()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList { "mime" });
        QVERIFY(!QFile::exists(m_tools.filePath(QStringLiteral("update-mime-database.log"))));
    }

    // Each step that fails shows its own message; the steps after it are not taken.
    void failingStepShowsItsMessage_data()
    {
        QTest::addColumn<QString>("obstacle"); // a file where a folder must be, a folder (/) where a file must be
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("lastWritten");
        QTest::addColumn<QString>("notWritten");
        const QString package = QStringLiteral("mime/packages/Lumeno.LocalShortcut.xml");
        const QString entry = QStringLiteral("applications/lumeno.desktop");
        const QString typeIcon = QStringLiteral("icons/hicolor/48x48/mimetypes/application-x-lumeno-localshortcut.png");
        const QString apps = QStringLiteral("icons/hicolor/48x48/apps");
        const struct {
            const char *step;
            QString obstacle, lastWritten, notWritten;
        } rows[] = {
            { "RegCreateKeyEx[1]", "mime", {}, "applications" },
            { "RegSetValueEx[1]", package + '/', {}, "applications" },
            { "RegCreateKeyEx[2]", "applications", package, "icons" },
            { "RegSetValueEx[2-1]", entry + '/', package, "icons" },
            { "RegSetValueEx[2-2]", {}, entry, "icons" }, // the cache tool fails
            { "RegCreateKeyEx[3]", "icons/hicolor/48x48/mimetypes", entry, apps },
            { "RegSetValueEx[3]", typeIcon + '/', entry, apps },
            { "RegCreateKeyEx[4]", apps, typeIcon, {} },
            { "RegSetValueEx[4]", apps + "/lumeno.png/", typeIcon, {} },
        };
        for (const auto &row : rows)
            QTest::newRow(row.step) << row.obstacle << QString::fromLatin1(row.step) << row.lastWritten
                                    << row.notWritten;
    }
    void failingStepShowsItsMessage()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, message);
        QFETCH(QString, lastWritten);
        QFETCH(QString, notWritten);
        const QDir dir(home());
        if (obstacle.isEmpty()) {
            FakeTool(QStringLiteral("update-mime-database"), 1);
        } else if (obstacle.endsWith(u'/')) {
            QVERIFY(dir.mkpath(obstacle));
        } else {
            QVERIFY(dir.mkpath(QFileInfo(dir.filePath(obstacle)).path()));
            QVERIFY(WriteFile(dir.filePath(obstacle), "in the way"));
        }
        QCOMPARE(app::RegisterAssociation(home(), QStringLiteral("/usr/bin/lumeno")),
            QStringLiteral("レジストリ操作エラー(%1)").arg(message));
        QVERIFY(lastWritten.isEmpty() || QFileInfo(dir.filePath(lastWritten)).isFile());
        QVERIFY(notWritten.isEmpty() || !QFile::exists(dir.filePath(notWritten)));
    }

    // The executable's path reaches the program as one argument, whatever characters it holds.
    void execArgumentQuoted_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("argument");
        const std::pair<const char *, const char *> rows[] = { { "/usr/bin/lumeno", R"("/usr/bin/lumeno")" },
            { "/home/u/my apps/lumeno", R"("/home/u/my apps/lumeno")" },
            { "/a\"b`c$d\\e", "\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e\"" },
            { "/opt/100%/lumeno", R"("/opt/100%%/lumeno")" } };
        for (const auto &[path, argument] : rows)
            QTest::newRow(path) << QString::fromUtf8(path) << QString::fromUtf8(argument);
    }
    void execArgumentQuoted()
    {
        QFETCH(QString, path);
        QTEST(app::DesktopExecArgument(path), "argument");
    }

    // The data folder is $XDG_DATA_HOME when absolute, otherwise ~/.local/share.
    void dataHomeFromTheEnvironment()
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", "/tmp/some/where/");
        QCOMPARE(app::UserDataHome(), QStringLiteral("/tmp/some/where"));
        qputenv("XDG_DATA_HOME", "relative/path");
        QCOMPARE(app::UserDataHome(), QDir::homePath() + QStringLiteral("/.local/share"));
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(app::UserDataHome(), QDir::homePath() + QStringLiteral("/.local/share"));
        qputenv("XDG_DATA_HOME", saved);
    }

private:
    QString local(const QString &name) const { return m_dir->filePath(name); }
    // The data folder the association goes to.
    QString home() const { return local(QStringLiteral("home")); }
    QString at(const char *relative) const { return home() + u'/' + QLatin1String(relative); }
    // A stand-in for one of the desktop's cache tools: it logs the folder it was given and exits
    // with the given code.
    void FakeTool(const QString &name, int exitCode)
    {
        const QString path = m_tools.filePath(name);
        QFile::remove(path + QStringLiteral(".log"));
        QVERIFY(WriteFile(
            path, QStringLiteral("#!/bin/sh\necho \"$1\" >> \"%1.log\"\nexit %2\n").arg(path).arg(exitCode).toUtf8()));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

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
    QTemporaryDir m_tools;
    const QByteArray m_path = qgetenv("PATH");
};

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
