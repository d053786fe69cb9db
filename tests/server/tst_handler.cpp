// vidodu.cgi below the process: its pieces (multipart parsing, names, the rule for the empty
// password's headers, the throttle) and the request handler over a small tree on disk, with
// every command, every refusal and the change each makes to the disk. With
// LUMENO_SERVER_GATEWAY=fastcgi the same requests go instead to the real program, one FastCGI
// process under lighttpd serving them all, with the same expectations.

#include "multipartbody.h"
#include "server/auth.h"
#include "server/cgi.h"
#include "server/handler.h"
#include "server/multipart.h"
#include "server/throttle.h"
#include "support/localserver.h"
#include "support/tables.h"

#include <QtTest>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <utime.h>

using namespace servertest;
using namespace vidodu;
using Bytes = QByteArray;

namespace {

constexpr qint64 kStamp = 1'600'000'000;

bool WriteFile(const QString &path, const Bytes &content)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// One line per entry below `dir`: "path/" for a folder, "path->target" for a link,
// "path=content" for a file (then " MODE" unless 644), the bare path for anything else.
QStringList Snapshot(const QString &dir)
{
    QStringList out;
    QDirIterator it(
        dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QFile f(info.filePath());
        const QString mode = QString::number(info.permissions() & 0x0777, 16);
        out << info.filePath().mid(dir.size() + 1);
        if (info.isSymLink())
            out.last() += "->" + QFileInfo(info.symLinkTarget()).fileName();
        else if (info.isDir())
            out.last() += '/';
        else if (info.isFile() && f.open(QIODevice::ReadOnly))
            out.last() += '=' + QString::fromLatin1(f.readAll()) + (mode == "644" ? "" : ' ' + mode);
    }
    out.sort();
    return out;
}

// A version as the script names it: the SHA-256 of the bytes in lower-case hex, quoted.
QString Tag(const Bytes &bytes)
{
    return '"' + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + '"';
}

// A precondition header from a table, each $tag(TEXT) standing for the version of TEXT.
std::string WithTags(QString header)
{
    static const QRegularExpression tag(R"(\$tag\(([^)]*)\))");
    for (auto m = tag.match(header); m.hasMatch(); m = tag.match(header))
        header.replace(m.capturedStart(), m.capturedLength(), Tag(m.captured(1).toLatin1()));
    return header.toStdString();
}

// The reply as the program sends it, a file's content read into the body.
Reply Sent(Reply reply)
{
    std::string out;
    SendResponse(reply, [&out](std::string_view bytes) { return out.append(bytes), true; });
    reply.body = out.substr(out.find("\r\n\r\n") + 4);
    return reply;
}

// "-line" for each line gone, then "+line" for each new one.
QString Changes(const QStringList &before, const QStringList &after)
{
    QStringList changes;
    for (const QString &line : before + after)
        if (before.contains(line) != after.contains(line))
            changes << (after.contains(line) ? '+' : '-') + line;
    return changes.join(' ');
}

} // namespace

class TestVidodu : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { close(m_lock); }
    void multipart_data();
    void multipart();
    void throttle();
    void commands_data();
    void commands();
    void refusedPathsAndNames();
    void recordedTags();
    void requests_data();
    void requests();
    void history_data();
    void history();

private:
    // A command with the empty password (allowed from this machine) unless `pass` is given.
    Bytes run(const Bytes &command, const QList<Field> &fields = {}, const Bytes &pass = "")
    {
        return Bytes::fromStdString(answer(command, fields, pass).body);
    }
    Reply answer(const Bytes &command, const QList<Field> &fields = {}, const Bytes &pass = "")
    {
        m_request.body = EditorBody(QList<Field> { { "command", command }, { "pass", pass } } + fields).toStdString();
        return handle();
    }
    Reply handle() { return m_server ? throughFastCgi() : Sent(HandleRequest(m_config, m_request, m_services)); }
    Reply throughFastCgi();
    QString data() const { return m_base + "/root/data"; }
    QStringList disk() const { return Snapshot(data()) + Snapshot(m_base + "/outside"); }

    std::unique_ptr<testsupport::LocalServer> m_server; // only through FastCGI
    std::unique_ptr<QTemporaryDir> m_dir; // only without
    QString m_base; // the folder that holds root/ and outside/
    int m_lock = -1, m_checks = 0;
    std::time_t m_now = 0;
    Config m_config;
    Services m_services;
    Request m_request;
};

// data/ holds a.txt (mode 640), 表.txt, 日記/2008/old.txt, an empty sub/, hidden files, names
// that cannot travel (a control character, a letter code page 932 lacks), a named pipe, links
// to outside root, and the temporary files of two saves: one that died long ago, one still
// running (it holds its lock).
void TestVidodu::initTestCase()
{
    umask(022);
    if (qgetenv("LUMENO_SERVER_GATEWAY") != "fastcgi")
        return;
    m_server = std::make_unique<testsupport::LocalServer>();
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
}

void TestVidodu::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    if (m_server) {
        m_base = QFileInfo(m_server->rootDir()).path();
        QVERIFY(QDir(m_base + "/root").removeRecursively() && QDir(m_base + "/outside").removeRecursively());
    } else {
        m_dir = std::make_unique<QTemporaryDir>();
        m_base = m_dir->path();
    }
    QVERIFY(WriteFile(m_base + "/outside/secret.txt", "outside root") && WriteFile(data() + "/a.txt", "a"));
    QVERIFY(WriteFile(data() + "/表.txt", "表") && WriteFile(data() + "/x\ty", "x") && WriteFile(data() + "/é", "x"));
    QVERIFY(WriteFile(data() + "/日記/2008/old.txt", Bytes("line\r\n\0\xff\r\n", 10))
        && WriteFile(data() + "/.htaccess", "Deny"));
    QVERIFY(WriteFile(data() + "/.vidodu-save-old", "old") && WriteFile(data() + "/.vidodu-save-live", "live"));
    QVERIFY(QDir().mkpath(data() + "/sub") && QDir().mkpath(data() + "/é2"));
    QCOMPARE(mkfifo(QFile::encodeName(data() + "/pipe"), 0644), 0);
    for (const QString link : { "link", "日記/2008/out", "link.txt" })
        QVERIFY(QFile::link(m_base + (link.endsWith("txt") ? "/outside/secret.txt" : "/outside"), data() + '/' + link));
    const utimbuf times { kStamp, kStamp };
    for (const QString name : { "a.txt", "表.txt", ".htaccess", ".vidodu-save-old", ".vidodu-save-live" })
        QCOMPARE(utime(QFile::encodeName(data() + '/' + name), &times), 0);
    QCOMPARE(chmod(QFile::encodeName(data() + "/a.txt"), 0640), 0);
    m_lock = open(QFile::encodeName(data() + "/.vidodu-save-live"), O_RDONLY | O_CLOEXEC);
    QCOMPARE(flock(m_lock, LOCK_EX), 0);
    m_config = { true, {}, (m_base + "/root").toStdString(), "$argon2id$stand-in", { "127.0.0.1" }, 4096, {} };
    if (m_server) {
        static const std::string right = HashPassword("right").value_or("");
        m_config.passwordHash = right;
    }
    m_request = { "POST", kEditorContentType.toStdString(), "127.0.0.1", "", "127.0.0.1:8080", "", "", {} };
    m_checks = 0;
    // The hash check is replaced by a counter: "right" is the right password.
    m_services.checkPassword
        = [this](const std::string &, std::string_view pass) { return ++m_checks, pass == "right"; };
    m_now = 1'800'000'000;
    m_services.now = [this] { return m_now; };
    m_services.pause = [] { QFAIL("no check waits here"); };
}

// The request as lighttpd hands it to the FastCGI process, under the configuration m_config
// says, written anew as an administrator would.
Reply TestVidodu::throughFastCgi()
{
    const auto text = [](const std::string &s) { return QString::fromStdString(s); };
    QSaveFile conf(m_server->configPath());
    conf.open(QIODevice::WriteOnly);
    const HistoryLimits &h = m_config.history;
    conf.write(QString("root = %1\npassword_hash = %2\nmax_request_bytes = %3\nallow_empty_password_from = %4\n%5"
                       "history = %6\nhistory_versions = %7\nhistory_days = %8\nhistory_bytes = %9\n")
                   .arg(text(m_config.root), text(m_config.passwordHash), QString::number(m_config.maxRequestBytes),
                       text(m_config.emptyPasswordFrom.empty() ? "" : m_config.emptyPasswordFrom[0]),
                       m_config.valid ? "" : "valid = no\n", h.enabled ? "on" : "off")
                   .arg(h.versions)
                   .arg(h.days)
                   .arg(h.bytes)
                   .toUtf8());
    QStringList arguments { "-s", "--noproxy", "*", "-X", text(m_request.method), "--data-binary", "@-", "-w",
        "\n%{http_code} %header{etag}", m_request.host.empty() ? "--http1.0" : "--http1.1" }; // no Host but in 1.0
    for (const auto &[name, value] :
        { std::pair { "Host:", m_request.host }, { "Content-Type:", m_request.contentType },
            { "Origin:", m_request.origin }, { "Sec-Fetch-Site:", m_request.fetchSite },
            { "If-Match:", m_request.precondition.ifMatch }, { "If-None-Match:", m_request.precondition.ifNoneMatch } })
        arguments << "-H" << name + text(value); // "Name:" alone sends none
    const Bytes out = conf.commit()
        ? testsupport::RunProgram("curl", arguments << m_server->url(), Bytes::fromStdString(m_request.body))
        : Bytes();
    const QByteArrayList tail = out.mid(out.lastIndexOf('\n') + 1).split(' ');
    return { out.left(out.lastIndexOf('\n')).toStdString(), tail.value(0).toInt(), tail.value(1).toStdString() };
}

void TestVidodu::multipart_data()
{
    testsupport::AddTableRows(QStringLiteral("multipart-bodies.txt"));
}

// The boundary comes from the header, unquoted or quoted; the editor's framing and the
// browsers' both parse; anything else is malformed.
void TestVidodu::multipart()
{
    QFETCH(QString, boundary);
    QFETCH(QString, body);
    const QString editor = QString::fromLatin1(kBoundary);
    const Bytes raw = body.replace("$B", editor).toLatin1();
    const auto b = BoundaryOf("multipart/form-data; boundary=" + boundary.replace("$B", editor).toStdString());
    const auto parsed = b ? ParseMultipart(std::string_view(raw.data(), raw.size()), *b) : std::nullopt;
    QStringList fields;
    for (const auto &f : parsed.value_or(std::vector<FormField> {}))
        fields << QString::fromLatin1(f.name.data(), qsizetype(f.name.size())) + '='
                + QString::fromLatin1(f.value.data(), qsizetype(f.value.size()));
    QTEST(QString(!b ? "(no boundary)" : parsed ? fields.join('|') : "(malformed)").replace(editor, "$B"), "fields");
    QVERIFY(!BoundaryOf("multipart/mixed; boundary=xyz") && !BoundaryOf("multipart/form-data"));
}

// The handler counts every check and takes a right one back: right passwords never shut an
// address out, ten wrong ones do, for the right password too and without a check. One host is
// one bucket (an IPv6 host owns its /64). At most ten checks are admitted at once: a further one
// waits its turn while the others run, and is refused at once when they failed. The state file
// is read with suspicion.
void TestVidodu::throttle()
{
    if (m_server)
        QSKIP("needs other addresses than this machine's");
    m_request.remoteAddress = "2001:db8::1";
    // A password the process knows is right costs no check, and only a shut-out address is refused it.
    m_services.knownPassword = [](const std::string &, std::string_view pass) { return pass == "known"; };
    for (int i = 0; i < 11; ++i)
        QCOMPARE(
            run("CHECK", {}, "right") + run("CHECK", {}, "known"), QByteArray("OK\nfeatures: history\n").repeated(2));
    for (int i = 0; i < 10; ++i)
        QCOMPARE(run("CHECK", {}, "wrong"), "NG");
    m_request.remoteAddress = "2001:db8::2:3:4:5";
    QCOMPARE(run("CHECK", {}, "right") + run("CHECK", {}, "known"), "NGNG");
    QCOMPARE(m_checks, 21);
    QCOMPARE(AddressKey("::ffff:192.0.2.1") + AddressKey("x 1 1\n"), "192.0.2.1?");
    const auto table = ParseFailures("192.0.2.1 999990 3\n"
                                     "192.0.2.2 999400 5\n" // window over
                                     "192.0.2.3 999999 99999 -1\n" // counts clamped
                                     "192.0.2.7 999999 2 5\n192.0.2.8 999990 0\n"
                                     "x 999990 1\n192.0.2.4 1000001 1\n192.0.2.5 x 1\n192.0.2.6 999990\n"
                                     "192.0.2.9 999990x 1\n",
        1'000'000);
    QCOMPARE(FormatFailures(table), "192.0.2.1 999990 3 0\n192.0.2.3 999999 10 0\n192.0.2.7 999999 2 2\n");

    const Throttle t((m_base + "/state").toStdString());
    const std::string a = "192.0.2.1";
    const std::time_t now = 1'800'000'000;
    int pauses = 0;
    for (int i = 0; i < kMaxFailures; ++i)
        QVERIFY(t.admit(a, now));
    QVERIFY(!t.admit(a, now)); // without a pause: refused at once
    QVERIFY(t.admit(a, now, [&] { (++pauses == 3) ? t.settle(a, now, true) : void(); }));
    for (int i = 0; i < kMaxFailures; ++i)
        t.settle(a, now, false);
    QVERIFY(!t.admit(a, now + kFailureWindow - 1, [&] { ++pauses; }));
    QCOMPARE(pauses, 3); // shut out: no waiting
    QVERIFY(t.shutOut(a, now + kFailureWindow - 1) && !t.shutOut(a, now + kFailureWindow));
    QVERIFY(t.admit(a, now + kFailureWindow) && t.admit("192.0.2.2", now));
    t.settle("192.0.2.2", now, true); // a right check leaves no trace
    QFile state(m_base + "/state");
    QVERIFY(state.open(QIODevice::ReadOnly) && !state.readAll().contains("192.0.2.2"));
}

void TestVidodu::commands_data()
{
    testsupport::AddTableRows(QStringLiteral("server-commands.txt"));
}

// Each command over a fresh tree: its reply, and exactly the change it makes on disk. A
// reading or a stored save carries the SHA-256 of the bytes it read or stored as its ETag.
void TestVidodu::commands()
{
    QFETCH(QString, command);
    QFETCH(QString, target);
    QFETCH(QString, second);
    QFETCH(QString, reply);
    QFETCH(QString, ifmatch);
    QFETCH(QString, ifnonematch);
    const bool file = command == "READFILE" || command == "SAVEFILE";
    QList<Field> fields;
    if (target != "-")
        fields.append({ file ? "file" : "path", target.toLatin1() });
    if (second != "-")
        fields.append({ file ? "content" : "name", second.toLatin1() });
    m_request.precondition = { WithTags(ifmatch), WithTags(ifnonematch) };
    const QStringList before = disk();
    const QString stamp = QDateTime::fromSecsSinceEpoch(kStamp).toString("yyyy/MM/dd HH:mm:ss");
    const Reply r = answer(command.toLatin1(), fields);
    const Bytes body = Bytes::fromStdString(r.body);
    QCOMPARE((r.status == 200 ? "" : QString::number(r.status) + ' ') + QString::fromLatin1(body),
        reply.replace("$stamp", stamp));
    const Bytes stored = command == "READFILE" ? body.mid(body.indexOf('\n') + 1) : second.toLatin1();
    QCOMPARE(QString::fromStdString(r.etag), file && body != "NG" ? Tag(stored) : QString());
    QTEST(Changes(before, disk()), "changes");
}

// Every command refuses a path that breaks the rules (or does not convert from code page 932),
// and each rename a new name that would break them; nothing inside or outside root changes.
void TestVidodu::refusedPathsAndNames()
{
    const QStringList before = disk();
    QByteArrayList actual, expected;
    for (const Bytes &path : QByteArrayList { "data/..", "data/../x", "../data", "/etc", "/data", "data//x", "data/x/",
             "data/./x", "Data/x", "data\\x", "data/x\\..\\..", "data/x\ty", "data/.htaccess", "other/x", "data/link",
             "data/link/secret.txt", "data/link.txt", "", "..", ".", ".x", "a/b", "a\\b", "a\r", "a\x7f", "\xff\xff",
             "data/\x81", "data/\xa0", Bytes("data/x\0y", 8) }) {
        QByteArrayList replies;
        for (const char *command : { "LISTFOLDERS", "LISTFILES", "NEWFOLDER", "DELETEFOLDER", "DELETEFILE" })
            replies << run(command, { { "path", path } });
        replies << run("READFILE", { { "file", path } }) << run("SAVEFILE", { { "file", path }, { "content", "new" } })
                << run("NEWFOLDER", { { "path", path + "/new" } })
                << run("RENAMEFOLDER", { { "path", path }, { "name", "renamed" } })
                << run("RENAMEFILE", { { "path", path }, { "name", "renamed" } })
                << run("RENAMEFOLDER", { { "path", "data/sub" }, { "name", path } })
                << run("RENAMEFILE", { { "path", "data/a.txt" }, { "name", path } });
        actual << path + " -> " + replies.join(' ');
        expected << path + " -> " + QByteArrayList(12, "NG").join(' ');
    }
    QCOMPARE(actual, expected);
    QCOMPARE(disk(), before);
}

// A save records its tag beside the file and a reading believes it while the file's size,
// time and inode are as recorded; a file changed behind the script's back is hashed again.
void TestVidodu::recordedTags()
{
    const Bytes path = QFile::encodeName(data() + "/t.txt");
    const auto record = [&path] {
        char value[128];
        return Bytes(value, std::max<ssize_t>(0, getxattr(path, "user.vidodu.etag", value, sizeof value)));
    };
    const auto read = [this] { return QString::fromStdString(answer("READFILE", { { "file", "data/t.txt" } }).etag); };
    QCOMPARE(answer("SAVEFILE", { { "file", "data/t.txt" }, { "content", "one" } }).etag, Tag("one").toStdString());
    if (record().isEmpty())
        QSKIP("this file system keeps no extended attributes");
    const Bytes forged = record().replace(Tag("one").toLatin1(), Tag("two").toLatin1());
    QVERIFY(setxattr(path, "user.vidodu.etag", forged.data(), forged.size(), 0) == 0);
    QCOMPARE(read(), Tag("two"));
    const utimbuf past { kStamp, kStamp }; // the same size, another time
    QVERIFY(WriteFile(data() + "/t.txt", "new") && utime(path, &past) == 0);
    QCOMPARE(read(), Tag("new"));
    QVERIFY(record().endsWith(Tag("new").toLatin1()));
}

void TestVidodu::requests_data()
{
    testsupport::AddTableRows(QStringLiteral("server-requests.txt"));
}

// Who may ask, and how: the editor's request with one change.
void TestVidodu::requests()
{
    QFETCH(QString, fields);
    QFETCH(QString, change);
    QList<Field> parts;
    for (const QString &field : fields.split(u' '))
        parts.append({ field.section(u'=', 0, 0).toLatin1(), field.section(u'=', 1).toLatin1() });
    parts.append({ "pad", Bytes(1024, 'p') }); // a body can meet the smallest max_request_bytes
    QFETCH(QString, host);
    QFETCH(QString, origin);
    QFETCH(QString, site);
    const auto header = [](const QString &h) { return h == "-" ? std::string() : h.toStdString(); };
    m_request = { "POST", kEditorContentType.toStdString(), "127.0.0.1", EditorBody(parts).toStdString(), header(host),
        header(origin), header(site), {} };
    const std::map<QString, std::function<void()>> changes { { "", [] {} },
        { "remote", [this] { m_request.remoteAddress = "192.0.2.1"; } },
        { "no hash", [this] { m_config.passwordHash.clear(); } },
        { "no empty password", [this] { m_config.emptyPasswordFrom.clear(); } },
        { "body at the limit", [this] { m_config.maxRequestBytes = m_request.body.size(); } },
        { "body over the limit", [this] { m_config.maxRequestBytes = m_request.body.size() - 1; } },
        { "invalid configuration", [this] { m_config.valid = false; } },
        { "GET",
            [this] {
                m_request.method = "GET";
                if (m_server)
                    m_request.body.clear(); // lighttpd refuses a GET with a body itself
            } },
        { "urlencoded", [this] { m_request.contentType = "application/x-www-form-urlencoded"; } } };
    if (m_server && change == "remote")
        QSKIP("through the web server every request comes from this machine");
    changes.at(change)();
    QTEST(QString::fromStdString(handle().body), "reply");
}

void TestVidodu::history_data()
{
    testsupport::AddTableRows(QStringLiteral("server-history.txt"));
}

// What saves replace and deletes remove stays listed, readable and restorable within the
// limits, over a fresh tree: the steps' replies (ids as #1, #2... in the order they first
// appear) and the change to data.
void TestVidodu::history()
{
    QFETCH(QString, limits);
    QFETCH(QString, steps);
    if (m_server && steps.contains("WAIT"))
        QSKIP("the web server's script keeps the real time");
    const std::map<QString, std::uint64_t HistoryLimits::*> keys { { "versions", &HistoryLimits::versions },
        { "days", &HistoryLimits::days }, { "bytes", &HistoryLimits::bytes } };
    m_config.history.enabled = limits != "off";
    for (const QString &limit : limits.split(u' ', Qt::SkipEmptyParts).filter("="))
        m_config.history.*keys.at(limit.section('=', 0, 0)) = limit.section('=', 1).toULongLong();
    const QStringList before = disk();
    static const QRegularExpression time(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"), id(R"(\d+-\d+-\d+)");
    QStringList ids, replies;
    for (const QString &step : steps.split(" ; ")) {
        const QStringList words = step.split(u' ');
        QList<Field> fields;
        for (const QString &field : words.mid(1)) {
            const QString value = field.section('=', 1);
            fields.append({ field.section('=', 0, 0).toLatin1(),
                (value.startsWith('#') ? ids.value(value.mid(1).toInt() - 1) : value).toLatin1() });
        }
        m_now += words[0] == "WAIT" ? words.value(1).toLongLong() : 0;
        QString reply = words[0] == "WAIT" ? "" : QString::fromLatin1(run(words[0].toLatin1(), fields));
        reply.replace(time, "$time");
        for (auto m = id.match(reply); m.hasMatch(); m = id.match(reply, m.capturedStart() + 1)) {
            ids << (ids.contains(m.captured()) ? QStringList() : QStringList { m.captured() });
            reply.replace(m.capturedStart(), m.capturedLength(), '#' + QString::number(ids.indexOf(m.captured()) + 1));
        }
        replies << reply;
    }
    QTEST(replies.join(" ; "), "replies");
    QTEST(Changes(before, disk()), "changes");
    qint64 held = 0; // on disk, beside the notes of paths: nothing pruned lingers
    for (QDirIterator it(m_base + "/root/history", QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
         it.hasNext();)
        held += it.nextFileInfo().fileName() == "path" ? 0 : it.fileInfo().size();
    QVERIFY(held <= qint64(m_config.history.bytes));
}

QTEST_GUILESS_MAIN(TestVidodu)
#include "tst_handler.moc"
