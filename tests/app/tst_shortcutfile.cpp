#include "app/association.h"
#include "app/shortcutfile.h"
#include "windowfixture.h"

#include <QDir>
#include <QTemporaryDir>

using testsupport::ReadAll;
using testsupport::WriteFile;

class TestShortcutFile : public QObject {
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
        m_home = std::make_unique<QTemporaryDir>();
        FakeTool(QStringLiteral("update-mime-database"), 0);
        FakeTool(QStringLiteral("update-desktop-database"), 0);
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
    QString home() const { return m_home->path(); }
    QString at(const char *relative) const { return m_home->filePath(QLatin1String(relative)); }
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

    std::unique_ptr<QTemporaryDir> m_home;
    QTemporaryDir m_tools;
    const QByteArray m_path = qgetenv("PATH");
};

QTEST_MAIN(TestShortcutFile)
#include "tst_shortcutfile.moc"
