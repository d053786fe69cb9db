// The request handler of vidodu.cgi called directly: every command, every refusal.

#include "multipartbody.h"
#include "server/handler.h"
#include "server/throttle.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <utime.h>

using servertest::EditorBody;
using servertest::EditorContentType;
using servertest::Field;

namespace {

// Japanese names as they travel (code page 932); on disk they are UTF-8.
const QByteArray kNikki = "\x93\xfa\x8b\x4c"; // 日記
const QByteArray kHyou = "\x95\x5c.txt"; // 表.txt: its trail byte is a backslash
const QByteArray kSoba = "\xbf\xca\xde\xb0.txt"; // ｿﾊﾞｰ.txt, half-width katakana

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// Every entry below `dir` with a digest of each file, links shown as links.
QStringList Snapshot(const QString &dir)
{
    QStringList out;
    QDirIterator it(
        dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString line = info.filePath().mid(dir.size());
        if (info.isSymLink())
            line += " -> " + info.symLinkTarget();
        else if (info.isFile())
            line += ' ' + QCryptographicHash::hash(ReadAll(info.filePath()), QCryptographicHash::Sha1).toHex();
        out << line;
    }
    out.sort();
    return out;
}

} // namespace

class TestHandler : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_dir.reset(); }
    void listFolders();
    void listFiles();
    void readFile();
    void saveFile_data();
    void saveFile();
    void saveReplacesWholeAndKeepsMode();
    void newFolder();
    void deleteFolderLeavesLinkTargets();
    void renameFolder();
    void deleteFile();
    void renameFileNeverOverwrites();
    void requestFailures_data();
    void requestFailures();
    void refusedPaths_data();
    void refusedPaths();
    void refusedNewNames_data();
    void refusedNewNames();
    void passwordRules_data();
    void passwordRules();
    void throttleShutsOutAfterTenFailures();
    void throttleCountsParallelGuesses();

private:
    // One command with the empty password (allowed from 127.0.0.1) unless another is given.
    QByteArray ask(const QByteArray &command, const QList<Field> &fields = {}, const QByteArray &pass = "",
        const QString &address = QStringLiteral("127.0.0.1"));
    QString data() const { return m_dir->filePath("root/data"); }
    QString outside() const { return m_dir->filePath("outside"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    vidodu::Config m_config;
    vidodu::Services m_services;
    int m_checks = 0;
    std::time_t m_now = 1'800'000'000;
};

void TestHandler::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkpath(m_dir->filePath("root")));
    QVERIFY(WriteFile(outside() + "/secret.txt", "outside root"));
    m_config = vidodu::Config();
    m_config.valid = true;
    m_config.root = m_dir->filePath("root").toStdString();
    m_config.emptyPasswordFrom = { "127.0.0.1" };
    m_config.passwordHash = "$argon2id$stand-in";
    m_checks = 0;
    // The hash check is replaced by a counter: "right" is the right password.
    m_services.checkPassword = [this](const std::string &, std::string_view pass) {
        ++m_checks;
        return pass == "right";
    };
    m_services.now = [this] { return m_now; };
}

QByteArray TestHandler::ask(
    const QByteArray &command, const QList<Field> &fields, const QByteArray &pass, const QString &address)
{
    const vidodu::Request r { "POST", EditorContentType().toStdString(), address.toStdString(),
        EditorBody(QList<Field> { { "command", command }, { "pass", pass } } + fields).toStdString() };
    return QByteArray::fromStdString(vidodu::HandleRequest(m_config, r, m_services));
}

// The data folder appears with the first request; subfolders come by name, hidden ones, names
// without a code page 932 form, files and links left out, no LF after the last; a folder
// without subfolders is the path as sent.
void TestHandler::listFolders()
{
    QVERIFY(!QFileInfo::exists(data()));
    QCOMPARE(ask("LISTFOLDERS", { { "path", "data" } }), QByteArray("data"));
    QVERIFY(QFileInfo(data()).isDir());
    for (const char *name : { "b", "a", "日記", ".hidden", "😀" })
        QVERIFY(QDir().mkpath(data() + "/" + QString::fromUtf8(name)));
    QVERIFY(WriteFile(data() + "/file.txt", "x"));
    QVERIFY(QFile::link(outside(), data() + "/link"));
    QCOMPARE(ask("LISTFOLDERS", { { "path", "data" } }), "data\na\nb\n" + kNikki);
    QCOMPARE(ask("LISTFOLDERS", { { "path", "data/" + kNikki } }), "data/" + kNikki);
}

// One line per regular file: name TAB local "YYYY/MM/DD HH:MM:SS" TAB size in bytes.
void TestHandler::listFiles()
{
    QVERIFY(QDir().mkpath(data() + "/sub"));
    QVERIFY(WriteFile(data() + "/b.txt", "12345"));
    QVERIFY(WriteFile(data() + "/表.txt", ""));
    QVERIFY(WriteFile(data() + "/.hidden", "x"));
    QVERIFY(QFile::link(outside() + "/secret.txt", data() + "/link.txt"));
    const qint64 t1 = 1'600'000'000, t2 = 1'700'000'123;
    const utimbuf times1 { t1, t1 }, times2 { t2, t2 };
    QCOMPARE(utime(QFile::encodeName(data() + "/b.txt").constData(), &times1), 0);
    QCOMPARE(utime(QFile::encodeName(data() + "/表.txt").constData(), &times2), 0);
    const auto stamp = [](qint64 t) { return QDateTime::fromSecsSinceEpoch(t).toString("yyyy/MM/dd HH:mm:ss").toLatin1(); };
    QCOMPARE(ask("LISTFILES", { { "path", "data" } }), "data\nb.txt\t" + stamp(t1) + "\t5\n" + kHyou + "\t" + stamp(t2) + "\t0");
}

// READFILE answers the path, one LF, then the stored bytes unchanged; a missing file is NG.
void TestHandler::readFile()
{
    const QByteArray content("line\r\n\x00\xff\x82\xa0\r\n\n", 11);
    QVERIFY(WriteFile(data() + "/日記/表.txt", content));
    const QByteArray file = "data/" + kNikki + "/" + kHyou;
    QCOMPARE(ask("READFILE", { { "file", file } }), file + "\n" + content);
    QCOMPARE(ask("READFILE", { { "file", "data/none.txt" } }), QByteArray("NG"));
}

void TestHandler::saveFile_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("diskName");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("ascii") << QByteArray("memo.txt") << "memo.txt" << QByteArray("plain\r\n");
    QTest::newRow("trail byte 5C") << kHyou << "表.txt" << QByteArray("\x95\x5c\x8e\xa6\r\n");
    QTest::newRow("half-width katakana") << kSoba << "ｿﾊﾞｰ.txt" << QByteArray("\xbf\xce\xde\xb0");
    QTest::newRow("empty content") << QByteArray("empty.txt") << "empty.txt" << QByteArray();
    QTest::newRow("NUL and CR LF inside") << QByteArray("bin") << "bin" << QByteArray("a\0b\r\n--x\r\n", 10);
}

// SAVEFILE stores the content byte for byte under the UTF-8 form of the code page 932 name.
void TestHandler::saveFile()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, diskName);
    QFETCH(QByteArray, content);
    QCOMPARE(ask("SAVEFILE", { { "file", "data/" + name }, { "content", content } }), QByteArray("Save OK\n"));
    QCOMPARE(ReadAll(data() + "/" + diskName), content);
    QCOMPARE(ask("READFILE", { { "file", "data/" + name } }), "data/" + name + "\n" + content);
}

// Replacing a file leaves no temporary file behind and keeps its permissions; SAVEFILE never
// makes folders.
void TestHandler::saveReplacesWholeAndKeepsMode()
{
    QVERIFY(WriteFile(data() + "/a.txt", "old old old"));
    QCOMPARE(chmod(QFile::encodeName(data() + "/a.txt").constData(), 0640), 0);
    QCOMPARE(ask("SAVEFILE", { { "file", "data/a.txt" }, { "content", "new" } }), QByteArray("Save OK\n"));
    QCOMPARE(ReadAll(data() + "/a.txt"), QByteArray("new"));
    struct stat st { };
    QCOMPARE(stat(QFile::encodeName(data() + "/a.txt").constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0640u);
    QCOMPARE(ask("SAVEFILE", { { "file", "data/none/a.txt" }, { "content", "x" } }), QByteArray("NG"));
    QCOMPARE(QDir(data()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList { "a.txt" });
}

// NEWFOLDER makes one folder in an existing parent, and refuses an existing name or "data".
void TestHandler::newFolder()
{
    const QByteArray path = "data/" + kNikki;
    QCOMPARE(ask("NEWFOLDER", { { "path", path } }), QByteArray("New Folder OK\n"));
    QVERIFY(QFileInfo(data() + "/日記").isDir());
    QCOMPARE(ask("NEWFOLDER", { { "path", path } }), QByteArray("NG"));
    QCOMPARE(ask("NEWFOLDER", { { "path", "data/none/x" } }), QByteArray("NG"));
    QCOMPARE(ask("NEWFOLDER", { { "path", "data" } }), QByteArray("NG"));
}

// DELETEFOLDER removes the whole tree; a link inside goes, what it points to stays; "data"
// itself can be neither deleted nor renamed.
void TestHandler::deleteFolderLeavesLinkTargets()
{
    QVERIFY(WriteFile(data() + "/日記/a.txt", "a"));
    QVERIFY(WriteFile(data() + "/日記/2008/old/.hidden", "h"));
    QVERIFY(QFile::link(outside(), data() + "/日記/2008/out"));
    const QStringList before = Snapshot(outside());
    QCOMPARE(ask("DELETEFOLDER", { { "path", "data/" + kNikki } }), QByteArray("Delete Folder OK\n"));
    QVERIFY(!QFileInfo::exists(data() + "/日記"));
    QCOMPARE(Snapshot(outside()), before);
    QCOMPARE(ask("DELETEFOLDER", { { "path", "data/" + kNikki } }), QByteArray("NG"));
    QVERIFY(QDir().mkpath(data() + "/keep"));
    QCOMPARE(ask("DELETEFOLDER", { { "path", "data" } }), QByteArray("NG"));
    QCOMPARE(ask("RENAMEFOLDER", { { "path", "data" }, { "name", "other" } }), QByteArray("NG"));
    QVERIFY(QFileInfo(data() + "/keep").isDir());
}

// RENAMEFOLDER renames within the parent and never onto an existing name or a file.
void TestHandler::renameFolder()
{
    QVERIFY(QDir().mkpath(data() + "/a/inner"));
    QVERIFY(QDir().mkpath(data() + "/taken"));
    QVERIFY(WriteFile(data() + "/f.txt", "f"));
    QCOMPARE(ask("RENAMEFOLDER", { { "path", "data/a" }, { "name", kNikki } }), QByteArray("Rename Folder OK\n"));
    QVERIFY(QFileInfo(data() + "/日記/inner").isDir());
    QCOMPARE(ask("RENAMEFOLDER", { { "path", "data/" + kNikki }, { "name", "taken" } }), QByteArray("NG"));
    QVERIFY(QFileInfo(data() + "/日記/inner").isDir());
    QCOMPARE(ask("RENAMEFOLDER", { { "path", "data/f.txt" }, { "name", "g" } }), QByteArray("NG"));
}

// DELETEFILE removes a file, never a folder.
void TestHandler::deleteFile()
{
    QVERIFY(QDir().mkpath(data() + "/folder"));
    QVERIFY(WriteFile(data() + "/表.txt", "x"));
    QCOMPARE(ask("DELETEFILE", { { "path", "data/" + kHyou } }), QByteArray("Delete File OK\n"));
    QVERIFY(!QFileInfo::exists(data() + "/表.txt"));
    QCOMPARE(ask("DELETEFILE", { { "path", "data/" + kHyou } }), QByteArray("NG"));
    QCOMPARE(ask("DELETEFILE", { { "path", "data/folder" } }), QByteArray("NG"));
    QVERIFY(QFileInfo(data() + "/folder").isDir());
}

// RENAMEFILE renames within the folder; onto an existing name both files stay as they were.
void TestHandler::renameFileNeverOverwrites()
{
    QVERIFY(WriteFile(data() + "/a.txt", "a"));
    QVERIFY(WriteFile(data() + "/b.txt", "b"));
    QCOMPARE(ask("RENAMEFILE", { { "path", "data/a.txt" }, { "name", kHyou } }), QByteArray("Rename File OK\n"));
    QCOMPARE(ask("RENAMEFILE", { { "path", "data/" + kHyou }, { "name", "b.txt" } }), QByteArray("NG"));
    QCOMPARE(ReadAll(data() + "/表.txt"), QByteArray("a"));
    QCOMPARE(ReadAll(data() + "/b.txt"), QByteArray("b"));
}

void TestHandler::requestFailures_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    const QByteArray ok = EditorBody({ { "command", "CHECK" }, { "pass", "" } });
    const QByteArray type = EditorContentType(), post = "POST";
    const auto body = [](const QByteArray &command, const QList<Field> &fields = {}) {
        return EditorBody(QList<Field> { { "command", command }, { "pass", "" } } + fields);
    };
    QTest::newRow("GET") << QByteArray("GET") << type << ok;
    QTest::newRow("urlencoded") << post << QByteArray("application/x-www-form-urlencoded") << ok;
    QTest::newRow("no boundary") << post << QByteArray("multipart/form-data") << ok;
    QTest::newRow("other boundary") << post << QByteArray("multipart/form-data; boundary=zz") << ok;
    QTest::newRow("no closing delimiter") << post << type << ok.chopped(2);
    QTest::newRow("empty body") << post << type << QByteArray();
    QTest::newRow("oversized") << post << type << body("CHECK", { { "pad", QByteArray(5000, 'x') } });
    QTest::newRow("unknown command") << post << type << body("FORMAT");
    QTest::newRow("lower-case command") << post << type << body("check");
    QTest::newRow("no pass field") << post << type << EditorBody({ { "command", "CHECK" } });
    QTest::newRow("no command field") << post << type << EditorBody({ { "pass", "" } });
    QTest::newRow("command twice") << post << type << body("CHECK", { { "command", "CHECK" } });
    QTest::newRow("READFILE without file") << post << type << body("READFILE");
    QTest::newRow("SAVEFILE without content") << post << type << body("SAVEFILE", { { "file", "data/a" } });
    QTest::newRow("name not code page 932") << post << type << body("NEWFOLDER", { { "path", "data/\x81" } });
}

// Any method but POST, any malformed or oversized body, any unknown command: exactly "NG".
void TestHandler::requestFailures()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    m_config.maxRequestBytes = 4096;
    const QStringList before = Snapshot(m_dir->path());
    const vidodu::Request r { method.toStdString(), contentType.toStdString(), "127.0.0.1", body.toStdString() };
    QCOMPARE(QByteArray::fromStdString(vidodu::HandleRequest(m_config, r, m_services)), QByteArray("NG"));
    QCOMPARE(Snapshot(m_dir->path()), before);
}

void TestHandler::refusedPaths_data()
{
    QTest::addColumn<QByteArray>("path");
    for (const char *path : { "data/..", "data/../x", "../data", "/etc", "/data", "data//x", "data/x/", "data/./x",
             "Data/x", "data\\x", "data/x\\..\\..", "data/x\ty", "data/.htaccess", "data/.x", "other/x", "data/link",
             "data/link/secret.txt", "" })
        QTest::newRow(*path ? path : "empty") << QByteArray(path);
    QTest::newRow("NUL") << QByteArray("data/x\0y", 8);
}

// Every command refuses a path that breaks the rules, and nothing inside or outside root changes.
void TestHandler::refusedPaths()
{
    QFETCH(QByteArray, path);
    QVERIFY(WriteFile(data() + "/x/y", "y"));
    QVERIFY(WriteFile(data() + "/.htaccess", "Deny"));
    QVERIFY(WriteFile(data() + "/.x", "hidden"));
    QVERIFY(QFile::link(outside(), data() + "/link"));
    const QStringList before = Snapshot(m_dir->path());
    for (const QByteArray &command : { "LISTFOLDERS", "LISTFILES", "NEWFOLDER", "DELETEFOLDER", "DELETEFILE" })
        QCOMPARE(ask(command, { { "path", path } }), QByteArray("NG"));
    QCOMPARE(ask("READFILE", { { "file", path } }), QByteArray("NG"));
    QCOMPARE(ask("SAVEFILE", { { "file", path }, { "content", "overwritten" } }), QByteArray("NG"));
    QCOMPARE(ask("NEWFOLDER", { { "path", path + "/new" } }), QByteArray("NG"));
    QCOMPARE(ask("RENAMEFOLDER", { { "path", path }, { "name", "renamed" } }), QByteArray("NG"));
    QCOMPARE(ask("RENAMEFILE", { { "path", path }, { "name", "renamed" } }), QByteArray("NG"));
    QCOMPARE(Snapshot(m_dir->path()), before);
}

void TestHandler::refusedNewNames_data()
{
    QTest::addColumn<QByteArray>("name");
    for (const char *name : { "..", ".", "a/b", "", ".htaccess", "a\\b", "a\nb", "a\r", "a\x7f", "\xff\xff" })
        QTest::newRow(*name ? name : "empty") << QByteArray(name);
}

// A new name obeys the same rules as every path element.
void TestHandler::refusedNewNames()
{
    QFETCH(QByteArray, name);
    QVERIFY(QDir().mkpath(data() + "/folder/a"));
    QVERIFY(WriteFile(data() + "/file.txt", "f"));
    const QStringList before = Snapshot(m_dir->path());
    QCOMPARE(ask("RENAMEFOLDER", { { "path", "data/folder" }, { "name", name } }), QByteArray("NG"));
    QCOMPARE(ask("RENAMEFILE", { { "path", "data/file.txt" }, { "name", name } }), QByteArray("NG"));
    QCOMPARE(Snapshot(m_dir->path()), before);
}

void TestHandler::passwordRules_data()
{
    QTest::addColumn<QByteArray>("pass");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("hashConfigured");
    QTest::addColumn<bool>("emptyAllowed");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("right password") << QByteArray("right") << "192.0.2.1" << true << false << QByteArray("OK\n");
    QTest::newRow("wrong password") << QByteArray("wrong") << "192.0.2.1" << true << false << QByteArray("NG");
    QTest::newRow("right with a CR") << QByteArray("right\r") << "192.0.2.1" << true << false << QByteArray("NG");
    QTest::newRow("empty, not allowed") << QByteArray() << "127.0.0.1" << true << false << QByteArray("NG");
    QTest::newRow("empty from allowed address") << QByteArray() << "127.0.0.1" << false << true << QByteArray("OK\n");
    QTest::newRow("empty from another address") << QByteArray() << "192.0.2.1" << false << true << QByteArray("NG");
    QTest::newRow("no hash configured") << QByteArray("right") << "192.0.2.1" << false << false << QByteArray("NG");
    QTest::newRow("no hash, empty") << QByteArray() << "192.0.2.1" << false << false << QByteArray("NG");
}

// Only the configured hash or the explicitly allowed empty password opens the script.
void TestHandler::passwordRules()
{
    QFETCH(QByteArray, pass);
    QFETCH(QString, address);
    QFETCH(bool, hashConfigured);
    QFETCH(bool, emptyAllowed);
    QFETCH(QByteArray, reply);
    if (!hashConfigured)
        m_config.passwordHash.clear();
    if (!emptyAllowed)
        m_config.emptyPasswordFrom.clear();
    QCOMPARE(ask("CHECK", {}, pass, address), reply);
}

// The 11th wrong password from one address within ten minutes is refused without a check;
// other addresses still get in, and so does this one once the ten minutes are over.
void TestHandler::throttleShutsOutAfterTenFailures()
{
    const QString attacker = QStringLiteral("192.0.2.7");
    for (int i = 0; i < vidodu::kMaxFailures; ++i) {
        m_now += 30;
        QCOMPARE(ask("CHECK", {}, "guess", attacker), QByteArray("NG"));
    }
    QCOMPARE(m_checks, 10);
    QCOMPARE(ask("CHECK", {}, "guess", attacker), QByteArray("NG"));
    QCOMPARE(ask("CHECK", {}, "right", attacker), QByteArray("NG"));
    QCOMPARE(m_checks, 10);
    QCOMPARE(ask("CHECK", {}, "right", "192.0.2.8"), QByteArray("OK\n"));
    QCOMPARE(m_checks, 11);
    m_now += vidodu::kFailureWindow;
    QCOMPARE(ask("CHECK", {}, "right", attacker), QByteArray("OK\n"));
    QCOMPARE(m_checks, 12);
}

// A right password does not count against the address; guesses in flight already do.
void TestHandler::throttleCountsParallelGuesses()
{
    const QString address = QStringLiteral("192.0.2.9");
    for (int i = 0; i < 20; ++i)
        QCOMPARE(ask("CHECK", {}, "right", address), QByteArray("OK\n"));
    // While a check runs the attempt is already counted: a second request sees it.
    m_services.checkPassword = [this, address](const std::string &, std::string_view) {
        const auto table = vidodu::ParseFailures(ReadAll(m_dir->filePath("root/.vidodu-throttle")).toStdString(), m_now);
        return table.count(address.toStdString()) && table.at(address.toStdString()).count == 1;
    };
    QCOMPARE(ask("CHECK", {}, "x", address), QByteArray("OK\n"));
}

QTEST_GUILESS_MAIN(TestHandler)
#include "tst_handler.moc"
