// The request handler of vidodu.cgi called directly over a small tree on disk: every command
// and every refusal, with the change it makes to the disk.

#include "multipartbody.h"
#include "server/handler.h"
#include "server/throttle.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

using servertest::EditorBody;
using servertest::Field;

namespace {

// Japanese names as they travel (code page 932); on disk they are UTF-8.
const QByteArray kNikki = "\x93\xfa\x8b\x4c"; // 日記
const QByteArray kHyou = "\x95\x5c.txt"; // 表.txt: its trail byte is a backslash
const QByteArray kSoba = "\xbf\xca\xde\xb0.txt"; // ｿﾊﾞｰ.txt, half-width katakana
const QByteArray kOld = QByteArray("line\r\n\0\xff\r\n", 9); // every kind of byte, kept as it is
constexpr qint64 kStamp = 1'600'000'000;

bool WriteFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// One line per entry below `dir`: "path/" for a folder, "path->target" for a link,
// "path=content" for a file (then " MODE" unless 644), "path|" for anything else.
QStringList Snapshot(const QString &dir)
{
    QStringList out;
    QDirIterator it(
        dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile f(info.filePath());
        const int mode = int(info.permissions() & 0x0777);
        QString line = info.filePath().mid(dir.size() + 1);
        if (info.isSymLink())
            line += "->" + QFileInfo(info.symLinkTarget()).fileName();
        else if (info.isDir())
            line += '/';
        else if (info.isFile() && f.open(QIODevice::ReadOnly))
            line += '=' + QString::fromLatin1(f.readAll())
                + (mode == 0x0644 ? QString() : ' ' + QString::number(mode, 16));
        else
            line += '|';
        out << line;
    }
    out.sort();
    return out;
}

// What changed between two snapshots: "-line" for each line gone, then "+line" for each new one.
QString Changes(const QStringList &before, const QStringList &after)
{
    QStringList out;
    for (const QString &line : before)
        if (!after.contains(line))
            out << '-' + line;
    for (const QString &line : after)
        if (!before.contains(line))
            out << '+' + line;
    return out.join(' ');
}

} // namespace

class TestHandler : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { umask(022); }
    void init();
    void cleanup() { m_dir.reset(); }
    void commands_data();
    void commands();
    void refusedPathsAndNames_data();
    void refusedPathsAndNames();
    void passwordRules_data();
    void passwordRules();
    void throttle();
    void deleteDeeperThanOpenFiles();

private:
    QByteArray ask(const QByteArray &command, const QList<Field> &fields = {}, const QByteArray &pass = "",
        const QString &address = QStringLiteral("127.0.0.1"));
    QString data() const { return m_dir->filePath("root/data"); }
    QStringList disk() const { return Snapshot(data()) + Snapshot(m_dir->filePath("outside")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    vidodu::Config m_config;
    vidodu::Services m_services;
    vidodu::Request m_request;
    int m_checks = 0, m_pauses = 0;
    std::time_t m_now = 1'800'000'000;
};

// data/ holds a.txt (mode 640), 表.txt, 日記/2008/old.txt, an empty sub/, a hidden file, a
// named pipe and links to outside root.
void TestHandler::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(WriteFile(m_dir->filePath("outside/secret.txt"), "outside root"));
    QVERIFY(WriteFile(data() + "/a.txt", "a") && WriteFile(data() + "/表.txt", "表"));
    QVERIFY(WriteFile(data() + "/日記/2008/old.txt", kOld) && WriteFile(data() + "/.htaccess", "Deny"));
    QVERIFY(QDir().mkpath(data() + "/sub") && mkfifo(QFile::encodeName(data() + "/pipe"), 0644) == 0);
    for (const QString link : { "link", "日記/2008/out", "link.txt" })
        QVERIFY(
            QFile::link(m_dir->filePath(link.endsWith("txt") ? "outside/secret.txt" : "outside"), data() + '/' + link));
    const utimbuf times { kStamp, kStamp };
    QCOMPARE(chmod(QFile::encodeName(data() + "/a.txt"), 0640) | utime(QFile::encodeName(data() + "/a.txt"), &times)
            | utime(QFile::encodeName(data() + "/表.txt"), &times),
        0);
    m_config = { true, {}, m_dir->filePath("root").toStdString(), "$argon2id$stand-in", { "127.0.0.1" }, 4096 };
    m_request = { "POST", servertest::EditorContentType().toStdString(), "", "", "127.0.0.1:8080", "", "" };
    m_checks = m_pauses = 0;
    // The hash check is replaced by a counter: "right" is the right password.
    m_services.checkPassword = [this](const std::string &, std::string_view pass) {
        ++m_checks;
        return pass == "right";
    };
    m_services.now = [this] { return m_now; };
    m_services.pause = [this] { ++m_pauses; };
}

QByteArray TestHandler::ask(
    const QByteArray &command, const QList<Field> &fields, const QByteArray &pass, const QString &address)
{
    vidodu::Request r = m_request;
    r.remoteAddress = address.toStdString();
    r.body = EditorBody(QList<Field> { { "command", command }, { "pass", pass } } + fields).toStdString();
    return QByteArray::fromStdString(vidodu::HandleRequest(m_config, r, m_services));
}

void TestHandler::commands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("target"); // the path or file; null: not sent
    QTest::addColumn<QByteArray>("second"); // the content or new name; null: not sent
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("changes");
    const auto row = [](const QByteArray &command, const QByteArray &target, const QByteArray &second,
                         const QByteArray &reply, const QString &changes = {}) {
        QTest::newRow(command + ' ' + target + ' ' + second) << command << target << second << reply << changes;
    };
    const QByteArray ng = "NG", none, nikki = "data/" + kNikki, old = nikki + "/2008/old.txt";
    const QByteArray stamp = QDateTime::fromSecsSinceEpoch(kStamp).toString("yyyy/MM/dd HH:mm:ss").toLatin1();
    const QString oldFile = "日記/2008/old.txt=" + QString::fromLatin1(kOld);
    row("CHECK", none, none, "OK\n");
    // Folders by name, hidden ones and links left out, no LF after the last line.
    row("LISTFOLDERS", "data", none, "data\nsub\n" + kNikki);
    row("LISTFOLDERS", "data/sub", none, "data/sub");
    // Regular files only: name TAB local time TAB size.
    row("LISTFILES", "data", none, "data\na.txt\t" + stamp + "\t1\n" + kHyou + "\t" + stamp + "\t3");
    row("READFILE", old, none, old + "\n" + kOld);
    row("READFILE", "data/none.txt", none, ng);
    row("READFILE", "data/pipe", none, ng); // a named pipe must not hold the request
    row("READFILE", none, none, ng);
    // Saves store the bytes under the UTF-8 name, keep the mode, leave no temporary file.
    row("SAVEFILE", "data/sub/m", "x\r\n", "Save OK\n", "+sub/m=x\r\n");
    row("SAVEFILE", "data/a.txt", kOld, "Save OK\n", "-a.txt=a 640 +a.txt=" + QString::fromLatin1(kOld) + " 640");
    row("SAVEFILE", "data/" + kHyou, "", "Save OK\n", "-表.txt=" + QString::fromLatin1("表") + " +表.txt=");
    row("SAVEFILE", "data/none/a", "", ng);
    row("SAVEFILE", "data/sub", "", ng);
    row("SAVEFILE", "data/a.txt", none, ng);
    row("NEWFOLDER", "data/sub/" + kNikki, none, "New Folder OK\n", "+sub/日記/");
    row("NEWFOLDER", "data/sub", none, ng);
    row("NEWFOLDER", "data/none/x", none, ng);
    row("NEWFOLDER", "data", none, ng);
    // A folder goes with its tree; links inside go, what they point to stays.
    row("DELETEFOLDER", nikki, none, "Delete Folder OK\n",
        "-日記/ -日記/2008/ -" + oldFile + " -日記/2008/out->outside");
    row("DELETEFOLDER", "data/a.txt", none, ng);
    row("DELETEFOLDER", "data", none, ng);
    row("RENAMEFOLDER", nikki, "d", "Rename Folder OK\n",
        "-日記/ -日記/2008/ -" + oldFile + " -日記/2008/out->outside +d/ +d/2008/ +d" + oldFile.mid(2)
            + " +d/2008/out->outside");
    row("RENAMEFOLDER", "data/sub", kNikki, ng);
    row("RENAMEFOLDER", "data/a.txt", "b", ng);
    row("RENAMEFOLDER", "data", "b", ng);
    row("DELETEFILE", "data/" + kHyou, none, "Delete File OK\n", "-表.txt=" + QString::fromLatin1("表"));
    row("DELETEFILE", "data/sub", none, ng);
    row("RENAMEFILE", "data/a.txt", kSoba, "Rename File OK\n", "-a.txt=a 640 +ｿﾊﾞｰ.txt=a 640");
    row("RENAMEFILE", "data/a.txt", kHyou, ng);
    row("RENAMEFILE", "data/sub", "b", ng);
    row("RENAMEFILE", "data/a.txt", none, ng);
    row("FORMAT", "data", none, ng);
    row("check", none, none, ng);
}

// Each command's reply, and exactly the change it makes on disk (none when it answers "NG").
void TestHandler::commands()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, second);
    QFETCH(QByteArray, reply);
    QFETCH(QString, changes);
    const bool file = command == "READFILE" || command == "SAVEFILE";
    QList<Field> fields;
    if (!target.isNull())
        fields << Field(file ? "file" : "path", target);
    if (!second.isNull())
        fields << Field(file ? "content" : "name", second);
    const QStringList before = disk();
    QCOMPARE(ask(command, fields), reply);
    QCOMPARE(Changes(before, disk()), changes);
}

void TestHandler::refusedPathsAndNames_data()
{
    QTest::addColumn<QByteArray>("path");
    for (const char *path : { "data/..", "data/../x", "../data", "/etc", "/data", "data//x", "data/x/", "data/./x",
             "Data/x", "data\\x", "data/x\\..\\..", "data/x\ty", "data/.htaccess", "other/x", "data/link",
             "data/link/secret.txt", "data/link.txt", "", "..", ".", ".x", "a/b", "a\\b", "a\r", "a\x7f", "\xff\xff" })
        QTest::newRow(*path ? path : "empty") << QByteArray(path);
    QTest::newRow("NUL") << QByteArray("data/x\0y", 8);
}

// Every command refuses a path that breaks the rules, and each rename a new name that would
// break them; nothing inside or outside root changes.
void TestHandler::refusedPathsAndNames()
{
    QFETCH(QByteArray, path);
    const QStringList before = disk();
    for (const QByteArray &command : { "LISTFOLDERS", "LISTFILES", "NEWFOLDER", "DELETEFOLDER", "DELETEFILE" })
        QCOMPARE(ask(command, { { "path", path } }), QByteArray("NG"));
    QCOMPARE(ask("READFILE", { { "file", path } }), QByteArray("NG"));
    QCOMPARE(ask("SAVEFILE", { { "file", path }, { "content", "overwritten" } }), QByteArray("NG"));
    QCOMPARE(ask("NEWFOLDER", { { "path", path + "/new" } }), QByteArray("NG"));
    QCOMPARE(ask("RENAMEFOLDER", { { "path", path }, { "name", "renamed" } }), QByteArray("NG"));
    QCOMPARE(ask("RENAMEFILE", { { "path", path }, { "name", "renamed" } }), QByteArray("NG"));
    QCOMPARE(ask("RENAMEFOLDER", { { "path", "data/sub" }, { "name", path } }), QByteArray("NG"));
    QCOMPARE(ask("RENAMEFILE", { { "path", "data/a.txt" }, { "name", path } }), QByteArray("NG"));
    QCOMPARE(disk(), before);
}

void TestHandler::passwordRules_data()
{
    QTest::addColumn<QByteArray>("pass");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("setup"); // "hash", "empty" or both: what the configuration allows
    QTest::addColumn<QString>("host");
    QTest::addColumn<QByteArray>("reply");
    const QString local = "127.0.0.1", other = "192.0.2.1", editor = "127.0.0.1:8080";
    QTest::newRow("right password") << QByteArray("right") << other << "hash"
                                    << "example.org" << QByteArray("OK\n");
    QTest::newRow("wrong password") << QByteArray("wrong") << other << "hash" << editor << QByteArray("NG");
    QTest::newRow("empty, not allowed") << QByteArray() << local << "hash" << editor << QByteArray("NG");
    QTest::newRow("no hash configured") << QByteArray("right") << other << "empty" << editor << QByteArray("NG");
    QTest::newRow("empty from another address") << QByteArray() << other << "empty hash" << editor << QByteArray("NG");
    QTest::newRow("empty from the editor") << QByteArray() << local << "empty" << editor << QByteArray("OK\n");
    QTest::newRow("empty from a rebound name") << QByteArray() << local << "empty"
                                               << "evil.example" << QByteArray("NG");
}

// Only the configured hash, or the empty password explicitly allowed to the editor on this
// machine, opens the script.
void TestHandler::passwordRules()
{
    QFETCH(QByteArray, pass);
    QFETCH(QString, address);
    QFETCH(QString, setup);
    QFETCH(QString, host);
    QFETCH(QByteArray, reply);
    if (!setup.contains("hash"))
        m_config.passwordHash.clear();
    if (!setup.contains("empty"))
        m_config.emptyPasswordFrom.clear();
    m_request.host = host.toStdString();
    QCOMPARE(ask("CHECK", {}, pass, address), reply);
}

// At most ten checks per address (an IPv6 host: per /64) within ten minutes, however they
// overlap: a check counts from the moment it starts, a right password is then taken back.
void TestHandler::throttle()
{
    for (int i = 0; i < 12; ++i)
        QCOMPARE(ask("CHECK", {}, "right", "2001:db8::1"), QByteArray("OK\n"));
    for (int i = 0; i < 9; ++i)
        QCOMPARE(ask("CHECK", {}, "guess", QString("2001:db8::%1").arg(i)), QByteArray("NG"));
    // While the tenth check runs, another from the same /64 waits for its turn, and is refused
    // without a check once that check has failed (here: when its wait is over).
    QByteArray overlapping;
    m_services.checkPassword = [&](const std::string &, std::string_view pass) {
        ++m_checks;
        if (overlapping.isNull())
            overlapping = ask("CHECK", {}, "right", "2001:db8::ff");
        return pass == "right";
    };
    QCOMPARE(ask("CHECK", {}, "guess", "2001:db8::9"), QByteArray("NG"));
    QCOMPARE(overlapping, QByteArray("NG"));
    QCOMPARE(m_pauses, vidodu::kMaxTurnWaits);
    QCOMPARE(m_checks, 12 + 10);
    QCOMPARE(ask("CHECK", {}, "right", "2001:db8::1"), QByteArray("NG"));
    QCOMPARE(m_pauses, vidodu::kMaxTurnWaits); // shut out: no waiting
    QCOMPARE(ask("CHECK", {}, "right", "2001:db8:0:1::1"), QByteArray("OK\n"));
    QCOMPARE(m_checks, 12 + 10 + 1);
    m_now += vidodu::kFailureWindow;
    QCOMPARE(ask("CHECK", {}, "right", "2001:db8::1"), QByteArray("OK\n"));
}

// A tree deeper than the open files a process may hold goes whole.
void TestHandler::deleteDeeperThanOpenFiles()
{
    QString deep = data() + "/deep";
    for (int i = 0; i < 300; ++i)
        deep += "/d";
    QVERIFY(WriteFile(deep + "/f.txt", "f"));
    rlimit saved {}, few {};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    few = { 100, saved.rlim_max };
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &few), 0);
    const QByteArray reply = ask("DELETEFOLDER", { { "path", "data/deep" } });
    setrlimit(RLIMIT_NOFILE, &saved);
    QCOMPARE(reply, QByteArray("Delete Folder OK\n"));
    QVERIFY(!QFileInfo::exists(data() + "/deep"));
}

QTEST_GUILESS_MAIN(TestHandler)
#include "tst_handler.moc"
