// The vidodu.cgi program itself: run as a web server runs a CGI program (the environment, the
// body on standard input, headers and reply on standard output, refusals in the error log),
// by hand to hash a password, and under the real lighttpd over HTTP on 127.0.0.1, as a CGI
// program and as one FastCGI process.

#include "multipartbody.h"
#include "support/localserver.h"
#include "support/tables.h"

#include <QtTest>

using Bytes = QByteArray;
using namespace servertest;
using namespace testsupport;

namespace {

// After curl's output: the HTTP status and the ETag header.
const QString kStatusAndTag = QStringLiteral("\n%{http_code} %header{etag}");

// A version as the script names it: the SHA-256 of the bytes in lower-case hex, quoted.
Bytes Tag(const Bytes &bytes)
{
    return '"' + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + '"';
}

QStringList Save(const QString &file, const QString &content)
{
    return { "-F", "command=SAVEFILE", "-F", "pass=", "-F", "file=" + file, "-F", "content=" + content };
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_server.start(), qPrintable(m_server.errorText())); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cgi_data();
    void cgi();
    void hashPassword();
    void lighttpd();
    void racingSaves();
    void restoreRacingSave();
    void fastcgi();

private:
    Bytes curl(const QStringList &arguments, const Bytes &input = {}, const QString &below = {})
    {
        return RunProgram("curl", QStringList { "-s", "--noproxy", "*", m_server.url() + below } + arguments, input);
    }

    // A CGI run of the script with the configuration "root = ROOT" and `conf` (none if null).
    // 2000 bytes follow the body; what the script leaves unread goes to wc. Memory is short, so
    // that a buffer made to a claimed length before the body comes shows. $ARGS are arguments,
    // $LIMIT a file size limit in KiB.
    Bytes run(const Bytes &conf, const QStringList &env, const Bytes &input)
    {
        QFile file(m_dir.filePath("v.conf"));
        file.remove();
        if (!conf.isNull() && file.open(QIODevice::WriteOnly))
            file.write("root = " + m_server.rootDir().toUtf8() + "\n" + conf);
        file.close();
        return RunProgram("bash",
            { "-c", "ulimit -v 300000 -f ${LIMIT:-unlimited}; \"$0\" $ARGS; wc -c", m_server.cgiPath() },
            input + Bytes(2000, 'x'),
            QStringList { "GATEWAY_INTERFACE=CGI/1.1", "REQUEST_METHOD=POST", "REMOTE_ADDR=127.0.0.1",
                "CONTENT_TYPE=" + kEditorContentType, "VIDODU_CONF=" + file.fileName(),
                "CONTENT_LENGTH=" + QString::number(input.size()), "PATH=/usr/bin:/bin" }
                + env);
    }

    LocalServer m_server;
    QTemporaryDir m_dir;
};

void TestProgram::cgi_data()
{
    AddTableRows(QStringLiteral("cgi-runs.txt"));
}

// Safe by default: only an explicit, valid configuration and a well-formed request open the
// script. Every refusal an administrator can mend is one line in the error log, and the body
// is read first so that every web server passes the "NG" on.
void TestProgram::cgi()
{
    QFETCH(QString, conf);
    QFETCH(QString, env);
    QFETCH(QString, body);
    QFETCH(QString, reply);
    QFETCH(QString, log);
    QFETCH(QString, unread);
    QFETCH(QString, headers);
    const auto check = [](const Bytes &pad) {
        return EditorBody({ { "command", "CHECK" }, { "pass", "" }, { "pad", pad } });
    };
    const Bytes saved(3000, 's');
    const QMap<QString, Bytes> bodies { { "", check("") }, { "max", check(Bytes(1024 - check("").size(), 'p')) },
        { "save",
            EditorBody({ { "command", "SAVEFILE" }, { "pass", "" }, { "file", "data/f" }, { "content", saved } }) } };
    conf.replace("$open", "# comment\r\n\nallow_empty_password_from = ::1, 127.0.0.1\nmax_request_bytes = 1024\r\n");
    log.replace("CONF", m_dir.filePath("v.conf")).replace("BIN", QFileInfo(m_server.cgiPath()).path());
    const qsizetype all = check("").size() + 2000;
    const Bytes left = Bytes::number(unread.startsWith("all") ? all + unread.mid(3).toInt() : unread.toInt());
    QCOMPARE(run(conf == "-" ? Bytes() : conf.toUtf8(), env.split(u' ', Qt::SkipEmptyParts), bodies[body]),
        (log.isEmpty() ? Bytes() : "vidodu.cgi: " + log.toUtf8() + "\n")
            + "Content-Type: text/plain\r\nContent-Length: " + Bytes::number(reply.size()) + "\r\n"
            + headers.toUtf8().replace("$saved", Tag(saved)) + "\r\n" + reply.toUtf8() + left + "\n");
}

// By hand, --hash-password prints the configuration line whose hash the script then accepts
// (a CR before the LF is not part of the password), and refuses a password the editor could
// never send.
void TestProgram::hashPassword()
{
    const auto hash = [&](const Bytes &input) { return RunProgram(m_server.cgiPath(), { "--hash-password" }, input); };
    const Bytes line = hash("AZaz09_-Pass_wd\r\n"), refused = "vidodu.cgi: password refused: ";
    QVERIFY2(line.startsWith("password_hash = $argon2id$") && line.endsWith("\n"), line.constData());
    for (const Bytes pass : { "AZaz09_-Pass_wd", "AZaz09_-Pass_we" })
        QCOMPARE(run(line, {}, EditorBody({ { "command", "CHECK" }, { "pass", pass } })).split('\n').value(3),
            pass.endsWith('d') ? "OK" : "NG2000");
    QCOMPARE(hash("abcdefghijklmnop\n"), refused + "the editor sends at most 15 characters\n");
    QCOMPARE(hash("pass word\n"), refused + "the editor sends only letters, digits, \"_\" and \"-\"\n");
    QCOMPARE(hash("\n"), refused + "the password is empty\n");
    QCOMPARE(hash(""), "vidodu.cgi: type the password on standard input\n");
}

// Requests from curl and from browsers as lighttpd hands them over: curl -F frames with blanks,
// a per-part Content-Type and a final CR LF; a browser's headers reach the script; below the
// script's path the script still answers; a 20 MB document with every byte value comes back
// byte for byte, saved and read with its version.
void TestProgram::lighttpd()
{
    const QStringList check { "-F", "command=CHECK", "-F", "pass=" };
    QCOMPARE(curl(check), "OK\nfeatures: history\n");
    for (const QString header : { "Host: evil.example", "Origin: http://evil.example", "Sec-Fetch-Site: cross-site" })
        QCOMPARE(curl(check + QStringList { "-H", header }), "NG");
    QCOMPARE(curl({}, {}, "/x"), "NG");
    Bytes big(20 * 1024 * 1024, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 251);
    QCOMPARE(curl(Save("data/big", "@-") + QStringList { "-w", kStatusAndTag }, big), "Save OK\n\n200 " + Tag(big));
    QVERIFY(curl({ "-w", kStatusAndTag, "-F", "command=READFILE", "-F", "pass=", "-F", "file=data/big" })
        == "data/big\n" + big + "\n200 " + Tag(big));
}

// Saves racing from one version, as two editors save one document at once: exactly one
// replaces the file, the other is refused with 412 and writes nothing. First two save-as
// under a new name, then two saves over a large version, whose check takes long enough
// for the two to overlap.
void TestProgram::racingSaves()
{
    for (int round = 0; round < 3; ++round) {
        const Bytes version(16 * 1024 * 1024, char('a' + round));
        if (round > 0)
            QCOMPARE(curl(Save("data/race", "@-") + QStringList { "-w", kStatusAndTag }, version),
                "Save OK\n\n200 " + Tag(version));
        const QString header = round == 0 ? "If-None-Match: *" : "If-Match: " + Tag(version);
        std::array<QProcess, 2> racers;
        for (int i = 0; i < 2; ++i)
            racers[i].start("curl",
                QStringList { "-s", "--noproxy", "*", "-w", kStatusAndTag, "-H", header, m_server.url() }
                    + Save("data/race", QString("racer %1").arg(i)));
        QByteArrayList replies;
        for (QProcess &racer : racers) {
            QVERIFY(racer.waitForFinished());
            replies << racer.readAllStandardOutput();
        }
        const int winner = replies[0].startsWith("Save OK") ? 0 : 1;
        const Bytes won = "racer " + Bytes::number(winner);
        QCOMPARE(replies[winner], "Save OK\n\n200 " + Tag(won));
        QCOMPARE(replies[1 - winner], "NG\n412 ");
        QFile stored(m_server.dataDir() + "/race");
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), won);
    }
}

// A restore racing a save of one file: both are done, one after the other, so that the file
// and its versions hold each content once.
void TestProgram::restoreRacingSave()
{
    const Bytes first = "first", second(16 * 1024 * 1024, 'b'), third(16 * 1024 * 1024, 'c');
    const auto ask = [&](const QString &command, const QString &id = {}) {
        return curl({ "-F", "command=" + command, "-F", "pass=", "-F", "path=data/r", "-F", "id=" + id });
    };
    QCOMPARE(curl(Save("data/r", "first")) + curl(Save("data/r", "@-"), second), "Save OK\nSave OK\n");
    const Bytes id = ask("LISTVERSIONS").split('\n').value(1).split('\t').value(0);
    std::array<QProcess, 2> racers;
    racers[0].start("curl",
        { "-s", "--noproxy", "*", m_server.url(), "-F", "command=RESTORE", "-F", "pass=", "-F", "path=data/r", "-F",
            "id=" + id });
    racers[1].start("curl", QStringList { "-s", "--noproxy", "*", m_server.url() } + Save("data/r", "@-"));
    racers[1].write(third);
    racers[1].closeWriteChannel();
    for (QProcess &racer : racers)
        QVERIFY(racer.waitForFinished());
    QCOMPARE(racers[0].readAll() + racers[1].readAll(), "Restore OK\nSave OK\n");
    QFile current(m_server.dataDir() + "/r");
    QVERIFY(current.open(QIODevice::ReadOnly));
    QByteArrayList contents { current.readAll() };
    for (const Bytes &line : ask("LISTVERSIONS").split('\n').mid(1))
        contents << ask("READVERSION", line.split('\t').value(0)).split('\n').mid(1).join('\n');
    std::sort(contents.begin(), contents.end());
    QCOMPARE(contents, QByteArrayList({ second, third, first }));
}

// One FastCGI process keeps nothing of a request once it is answered: after 100,000 requests
// of several kinds (a remembered password, a reading, a listing, a refusal) it holds within a
// few percent of the memory it held after the first 1,000. A changed configuration counts from
// the next request on, and a changed password_hash forgets the password that verified before. A
// wrong password after a right one is refused and counted: ten failures shut the address out,
// for the password the process remembers too.
void TestProgram::fastcgi()
{
    LocalServer server;
    QVERIFY2(server.start("right_1", LocalServer::Gateway::FastCgi), qPrintable(server.errorText()));
    QFile body(m_dir.filePath("body")), file(server.dataDir() + "/a.txt");
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("text") == 4);
    file.close();
    // Each kind `count` times in one curl, over kept-alive connections: how many answered right.
    const auto send = [&](int count) {
        qsizetype right = 0;
        for (const auto &[command, reply] : { std::pair<Bytes, Bytes> { "CHECK", "OK\n" },
                 { "READFILE", "data/a.txt\ntext" }, { "LISTFILES", "data\na.txt\t" }, { "", "NG" } }) {
            body.open(QIODevice::WriteOnly);
            body.write(EditorBody(
                { { "command", command }, { "pass", "right_1" }, { "path", "data" }, { "file", "data/a.txt" } }));
            body.close();
            right += RunProgram("curl",
                { "-s", "--noproxy", "*", "-H", "Content-Type: " + kEditorContentType, "--data-binary",
                    "@" + body.fileName(), server.url() + QStringLiteral("/[1-%1]").arg(count) })
                         .count(reply);
        }
        return right;
    };
    QFile pid(QFileInfo(server.configPath()).path() + "/lighttpd.pid");
    QVERIFY(pid.open(QIODevice::ReadOnly));
    const Bytes process = RunProgram("pgrep", { "-P", pid.readAll().trimmed() }).trimmed();
    const auto kib = [&] { return RunProgram("ps", { "-o", "rss=", "-p", process }).trimmed().toLongLong(); };
    QCOMPARE(send(250), 1000);
    const qint64 early = kib();
    QCOMPARE(send(24'750), 99'000);
    QVERIFY2(kib() <= early * 103 / 100, qPrintable(QStringLiteral("%1 KiB, then %2 KiB").arg(early).arg(kib())));

    QSaveFile conf(server.configPath());
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("root = " + server.rootDir().toUtf8() + "\n"
        + RunProgram(server.cgiPath(), { "--hash-password" }, "other_2\n"));
    QVERIFY(conf.commit());
    const auto check = [&](const QString &pass) {
        return RunProgram(
            "curl", { "-s", "--noproxy", "*", server.url(), "-F", "command=CHECK", "-F", "pass=" + pass });
    };
    QCOMPARE(check("right_1") + check("other_2"), "NGOK\nfeatures: history\n");
    for (int i = 0; i < 9; ++i)
        QCOMPARE(check("wrong_3"), "NG");
    QCOMPARE(check("other_2"), "NG"); // ten failures: refused, though remembered
    QVERIFY(kib() > 0); // the same process
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
