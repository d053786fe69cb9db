#include "app/association.h"
#include "app/drops.h"
#include "app/shortcutfile.h"
#include "localfiles.h"
#include "support/fakeplatform.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using testsupport::ReadAll;
using testsupport::WriteFile;

namespace {

// A stand-in for one of the desktop's cache tools: it records the folder it was given and
// exits with the given code.
void FakeTool(const QString &folder, const QString &name, int exitCode)
{
    const QString path = folder + QLatin1Char('/') + name;
    QVERIFY(WriteFile(
        path, QStringLiteral("#!/bin/sh\necho \"$1\" >> \"%1.log\"\nexit %2\n").arg(path).arg(exitCode).toUtf8()));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

} // namespace

Q_DECLARE_METATYPE(app::DroppedData::Kind)

class TestShortcutFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void extensionRule_data();
    void extensionRule();
    void writtenBytes();
    void parsedFirstLine_data();
    void parsedFirstLine();
    void unreadableShortcutsIgnored_data();
    void unreadableShortcutsIgnored();
    void writeReplacesOrFails();

    void associationWritten();
    void associationLeftAlone();
    void failingStepShowsItsMessage_data();
    void failingStepShowsItsMessage();
    void execArgumentQuoted_data();
    void execArgumentQuoted();
    void dataHomeFromTheEnvironment();

    void dropsClassified_data();
    void dropsClassified();

private:
    QString home() const { return m_home->path(); }
    QString at(const char *relative) const { return m_home->filePath(QLatin1String(relative)); }

    std::unique_ptr<QTemporaryDir> m_home;
    QTemporaryDir m_tools;
    QByteArray m_path;
};

void TestShortcutFile::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    // The cache tools of this machine are not what is tested: stand-ins take their place.
    m_path = qgetenv("PATH");
    qputenv("PATH", m_tools.path().toLocal8Bit() + ':' + m_path);
}

void TestShortcutFile::cleanupTestCase()
{
    qputenv("PATH", m_path);
}

void TestShortcutFile::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    FakeTool(m_tools.path(), QStringLiteral("update-mime-database"), 0);
    FakeTool(m_tools.path(), QStringLiteral("update-desktop-database"), 0);
    QFile::remove(m_tools.filePath(QStringLiteral("update-mime-database.log")));
    QFile::remove(m_tools.filePath(QStringLiteral("update-desktop-database.log")));
}

// A name is a shortcut when its last four characters are ".lmk" in any case; the save dialog's
// choice gets ".lmk" unless it has it.
void TestShortcutFile::extensionRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isShortcut");
    QTest::addColumn<QString>("saved");
    QTest::newRow("memo.txt") << "/d/memo.txt" << false << "/d/memo.txt.lmk";
    QTest::newRow("a.LMK") << "/d/a.LMK" << true << "/d/a.LMK";
    QTest::newRow("a.Lmk") << "a.Lmk" << true << "a.Lmk";
    QTest::newRow("quoted") << "\"/d/a.lmk\"" << false << "\"/d/a.lmk\".lmk";
    QTest::newRow("lmk without dot") << "/d/almk" << false << "/d/almk.lmk";
    QTest::newRow("only .lmk") << ".lmk" << true << ".lmk";
}

void TestShortcutFile::extensionRule()
{
    QFETCH(QString, name);
    QFETCH(bool, isShortcut);
    QFETCH(QString, saved);
    QCOMPARE(app::HasShortcutExtension(name), isShortcut);
    QCOMPARE(app::ShortcutFilePath(name), saved);
}

// One line: folder, TAB, name, CR LF, in code page 932.
void TestShortcutFile::writtenBytes()
{
    const QString path = m_home->filePath(QStringLiteral("報告.txt.lmk"));
    QVERIFY(app::WriteShortcut(path, { QStringLiteral("data/年度"), QStringLiteral("報告 1.txt") }));
    QCOMPARE(ReadAll(path), QByteArray("data/\x94\x4e\x93\x78\t\x95\xf1\x8d\x90 1.txt\r\n"));
}

// Only the first line counts: the folder before the first TAB, the name all after it.
void TestShortcutFile::parsedFirstLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::newRow("as written") << QByteArray("F\tmemo.txt\r\n") << true << "F"
                                << "memo.txt";
    QTest::newRow("tabs in the name") << QByteArray("F\tx\ty\r\n") << true << "F"
                                      << "x\ty";
    QTest::newRow("no line break") << QByteArray("data\ta.txt") << true << "data"
                                   << "a.txt";
    QTest::newRow("LF, second line ignored") << QByteArray("data\ta\nother\tb\n") << true << "data"
                                             << "a";
    QTest::newRow("CR alone ends the line") << QByteArray("data\ta\rb") << true << "data"
                                            << "a";
    QTest::newRow("code page 932") << QByteArray("data/\x94\x4e\x93\x78\t\x83\x81\x83\x82.txt\r\n") << true
                                   << "data/年度"
                                   << "メモ.txt";
    QTest::newRow("no tab") << QByteArray("data a.txt\r\n") << false << ""
                            << "";
    QTest::newRow("tab on the second line") << QByteArray("data\r\n\ta.txt") << false << ""
                                            << "";
    QTest::newRow("empty") << QByteArray() << false << ""
                           << "";
}

void TestShortcutFile::parsedFirstLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, usable);
    QFETCH(QString, folder);
    QFETCH(QString, file);
    const QString path = m_home->filePath(QStringLiteral("s.lmk"));
    QVERIFY(WriteFile(path, bytes));
    const std::optional<app::HistoryItem> target = app::ReadShortcut(path);
    QCOMPARE(target.has_value(), usable);
    if (usable)
        QCOMPARE(*target, (app::HistoryItem { folder, file }));
}

// A shortcut that cannot be read is ignored like one without a TAB.
void TestShortcutFile::unreadableShortcutsIgnored_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << "missing.lmk";
    QTest::newRow("a folder") << "folder.lmk";
    QTest::newRow("not .lmk") << "good.txt";
}

void TestShortcutFile::unreadableShortcutsIgnored()
{
    QFETCH(QString, name);
    QVERIFY(QDir(home()).mkdir(QStringLiteral("folder.lmk")));
    QVERIFY(WriteFile(m_home->filePath(QStringLiteral("good.txt")), "data\ta.txt\r\n"));
    QVERIFY(!app::ReadShortcut(m_home->filePath(name)));
}

// Writing replaces an existing shortcut whole, and reports a place it cannot write to.
void TestShortcutFile::writeReplacesOrFails()
{
    const QString path = m_home->filePath(QStringLiteral("a.lmk"));
    QVERIFY(WriteFile(path, QByteArray(100, 'x')));
    QVERIFY(app::WriteShortcut(path, { QStringLiteral("data"), QStringLiteral("b.txt") }));
    QCOMPARE(ReadAll(path), QByteArray("data\tb.txt\r\n"));
    QVERIFY(!app::WriteShortcut(m_home->filePath(QStringLiteral("no/such/folder/a.lmk")), { "data", "b.txt" }));
    QVERIFY(QDir(home()).mkdir(QStringLiteral("taken.lmk")));
    QVERIFY(!app::WriteShortcut(m_home->filePath(QStringLiteral("taken.lmk")), { "data", "b.txt" }));
}

// The association: the MIME package, the desktop entry and both icons, then the caches.
void TestShortcutFile::associationWritten()
{
    const QString program = QStringLiteral("/opt/my tools/lumeno");
    QCOMPARE(app::RegisterAssociation(home(), program), QString());

    const QByteArray package = ReadAll(at("mime/packages/Lumeno.LocalShortcut.xml"));
    QVERIFY(package.contains(R"(<mime-type type="application/x-lumeno-localshortcut">)"));
    QVERIFY(package.contains(R"(<glob pattern="*.lmk"/>)"));
    QVERIFY(package.contains("<comment>Lumeno ローカルショートカットファイル</comment>"));
    QVERIFY(package.contains(R"(<icon name="application-x-lumeno-localshortcut"/>)"));

    const QList<QByteArray> entry = ReadAll(at("applications/lumeno.desktop")).split('\n');
    for (const char *line : { "[Desktop Entry]", "Type=Application", "Name=Lumeno", "Exec=\"/opt/my tools/lumeno\" %f",
             "Icon=lumeno", "MimeType=application/x-lumeno-localshortcut;", "Categories=Utility;TextEditor;" })
        QVERIFY2(entry.contains(line), line);

    QFile shortcutIcon(QStringLiteral(":/app/shortcut.png"));
    QVERIFY(shortcutIcon.open(QIODevice::ReadOnly));
    QCOMPARE(
        ReadAll(at("icons/hicolor/48x48/mimetypes/application-x-lumeno-localshortcut.png")), shortcutIcon.readAll());
    QFile programIcon(QStringLiteral(":/app/lumeno.png"));
    QVERIFY(programIcon.open(QIODevice::ReadOnly));
    QCOMPARE(ReadAll(at("icons/hicolor/48x48/apps/lumeno.png")), programIcon.readAll());

    QCOMPARE(ReadAll(m_tools.filePath(QStringLiteral("update-mime-database.log"))), (home() + "/mime\n").toUtf8());
    QCOMPARE(ReadAll(m_tools.filePath(QStringLiteral("update-desktop-database.log"))),
        (home() + "/applications\n").toUtf8());
}

// A MIME package already there: nothing is written, whatever the rest holds.
void TestShortcutFile::associationLeftAlone()
{
    QVERIFY(QDir(home()).mkpath(QStringLiteral("mime/packages")));
    QVERIFY(WriteFile(at("mime/packages/Lumeno.LocalShortcut.xml"), "mine"));
    QCOMPARE(app::RegisterAssociation(home(), QStringLiteral("/usr/bin/lumeno")), QString());
    QCOMPARE(ReadAll(at("mime/packages/Lumeno.LocalShortcut.xml")), QByteArray("mine"));
    QVERIFY(!QFile::exists(at("applications")));
    QVERIFY(!QFile::exists(at("icons")));
    QVERIFY(!QFile::exists(m_tools.filePath(QStringLiteral("update-mime-database.log"))));
}

// Each step that fails shows its own message; the steps after it are not taken.
void TestShortcutFile::failingStepShowsItsMessage_data()
{
    QTest::addColumn<QString>("obstacle"); // a file where a folder must be, or a folder where a file must be
    QTest::addColumn<bool>("obstacleIsFolder");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("lastWritten");
    QTest::addColumn<QString>("notWritten");
    QTest::newRow("mime folder") << "mime" << false << "RegCreateKeyEx[1]"
                                 << ""
                                 << "applications";
    QTest::newRow("package") << "mime/packages/Lumeno.LocalShortcut.xml" << true << "RegSetValueEx[1]"
                             << ""
                             << "applications";
    QTest::newRow("applications folder") << "applications" << false << "RegCreateKeyEx[2]"
                                         << "mime/packages/Lumeno.LocalShortcut.xml"
                                         << "icons";
    QTest::newRow("desktop entry") << "applications/lumeno.desktop" << true << "RegSetValueEx[2-1]"
                                   << "mime/packages/Lumeno.LocalShortcut.xml"
                                   << "icons";
    QTest::newRow("cache tool fails") << "" << false << "RegSetValueEx[2-2]"
                                      << "applications/lumeno.desktop"
                                      << "icons";
    QTest::newRow("type icon folder") << "icons/hicolor/48x48/mimetypes" << false << "RegCreateKeyEx[3]"
                                      << "applications/lumeno.desktop"
                                      << "icons/hicolor/48x48/apps";
    QTest::newRow("type icon") << "icons/hicolor/48x48/mimetypes/application-x-lumeno-localshortcut.png" << true
                               << "RegSetValueEx[3]"
                               << "applications/lumeno.desktop"
                               << "icons/hicolor/48x48/apps";
    QTest::newRow("program icon folder") << "icons/hicolor/48x48/apps" << false << "RegCreateKeyEx[4]"
                                         << "icons/hicolor/48x48/mimetypes/application-x-lumeno-localshortcut.png"
                                         << "";
    QTest::newRow("program icon") << "icons/hicolor/48x48/apps/lumeno.png" << true << "RegSetValueEx[4]"
                                  << "icons/hicolor/48x48/mimetypes/application-x-lumeno-localshortcut.png"
                                  << "";
}

void TestShortcutFile::failingStepShowsItsMessage()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, obstacleIsFolder);
    QFETCH(QString, message);
    QFETCH(QString, lastWritten);
    QFETCH(QString, notWritten);
    const QDir dir(home());
    if (obstacle.isEmpty()) {
        FakeTool(m_tools.path(), QStringLiteral("update-mime-database"), 1);
    } else if (obstacleIsFolder) {
        QVERIFY(dir.mkpath(obstacle));
    } else {
        QVERIFY(dir.mkpath(QFileInfo(dir.filePath(obstacle)).path()));
        QVERIFY(WriteFile(dir.filePath(obstacle), "in the way"));
    }

    QCOMPARE(app::RegisterAssociation(home(), QStringLiteral("/usr/bin/lumeno")),
        QStringLiteral("レジストリ操作エラー(%1)").arg(message));
    if (!lastWritten.isEmpty())
        QVERIFY2(QFileInfo(dir.filePath(lastWritten)).isFile(), qPrintable(lastWritten));
    if (!notWritten.isEmpty())
        QVERIFY2(!QFile::exists(dir.filePath(notWritten)), qPrintable(notWritten));
}

// The executable's path reaches the program as one argument, whatever characters it holds.
void TestShortcutFile::execArgumentQuoted_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("argument");
    QTest::newRow("plain") << "/usr/bin/lumeno"
                           << R"("/usr/bin/lumeno")";
    QTest::newRow("spaces") << "/home/u/my apps/lumeno"
                            << R"("/home/u/my apps/lumeno")";
    QTest::newRow("reserved") << R"(/a"b`c$d\e)"
                              << R"("/a\\"b\\`c\\$d\\\\e")";
    QTest::newRow("percent") << "/opt/100%/lumeno"
                             << R"("/opt/100%%/lumeno")";
}

void TestShortcutFile::execArgumentQuoted()
{
    QFETCH(QString, path);
    QFETCH(QString, argument);
    QCOMPARE(app::DesktopExecArgument(path), argument);
}

// The data folder is $XDG_DATA_HOME when absolute, otherwise ~/.local/share.
void TestShortcutFile::dataHomeFromTheEnvironment()
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/some/where/");
    QCOMPARE(app::UserDataHome(), QStringLiteral("/tmp/some/where"));
    qputenv("XDG_DATA_HOME", "relative/path");
    QCOMPARE(app::UserDataHome(), QDir::homePath() + QStringLiteral("/.local/share"));
    qunsetenv("XDG_DATA_HOME");
    QCOMPARE(app::UserDataHome(), QDir::homePath() + QStringLiteral("/.local/share"));
    if (!saved.isNull())
        qputenv("XDG_DATA_HOME", saved);
}

// Local files come before the text file managers send with them; other data is refused.
void TestShortcutFile::dropsClassified_data()
{
    using Kind = app::DroppedData::Kind;
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("picture");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QStringList>("files");
    const QList<QUrl> two { QUrl::fromLocalFile("/a/b c.lmk"), QUrl::fromLocalFile("/a/d.txt") };
    QTest::newRow("files with text") << two << "/a/b c.lmk" << QByteArray() << Kind::Files
                                     << QStringList { "/a/b c.lmk", "/a/d.txt" };
    QTest::newRow("web address") << QList<QUrl> { QUrl("https://example.org/") } << "https://example.org/"
                                 << QByteArray() << Kind::Text << QStringList {};
    QTest::newRow("text") << QList<QUrl> {} << "日本語" << QByteArray() << Kind::Text << QStringList {};
    QTest::newRow("picture") << QList<QUrl> {} << QString() << QByteArray("\x89PNG") << Kind::None << QStringList {};
}

void TestShortcutFile::dropsClassified()
{
    using Kind = app::DroppedData::Kind;
    QFETCH(QList<QUrl>, urls);
    QFETCH(QString, text);
    QFETCH(QByteArray, picture);
    QFETCH(Kind, kind);
    QFETCH(QStringList, files);
    QMimeData data;
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!text.isEmpty())
        data.setText(text);
    if (!picture.isEmpty())
        data.setData(QStringLiteral("image/png"), picture);
    const app::DroppedData dropped = app::ClassifyDrop(data);
    QCOMPARE(dropped.kind, kind);
    QCOMPARE(dropped.files, files);
    if (kind == Kind::Text)
        QCOMPARE(dropped.text, text);
}

QTEST_MAIN(TestShortcutFile)
#include "tst_shortcutfile.moc"
