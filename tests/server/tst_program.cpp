// The vidodu.cgi program itself: run as a web server runs a CGI program (the environment, the
// body on standard input, headers and reply on standard output, refusals in the error log),
// by hand to hash a password, and under the real lighttpd over HTTP on 127.0.0.1.

#include "multipartbody.h"
#include "support/localserver.h"

#include <QtTest>

using Bytes = QByteArray;
using servertest::EditorBody;

using testsupport::RunProgram;

static const Bytes kCheck = EditorBody({ { "command", "CHECK" }, { "pass", "" } });

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_server.start(), qPrintable(m_server.errorText())); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cgi_data();
    void cgi();
    void hashPassword();
    void lighttpd();

private:
    // A CGI run of the script with the configuration "root = ROOT" and `conf` (none if null).
    // 2000 bytes follow the body; what the script leaves unread goes to wc. Memory is short, so
    // that a buffer made to a claimed length before the body comes shows. $ARGS are arguments,
    // $LIMIT a file size limit in KiB.
    Bytes run(const Bytes &conf, const QStringList &env, const Bytes &input, Bytes *errors = nullptr)
    {
        QFile file(m_dir.filePath("v.conf"));
        file.remove();
        if (!conf.isNull() && !(file.open(QIODevice::WriteOnly) && file.write("root = " + root() + "\n" + conf) >= 0))
            return "(unwritable)";
        file.close();
        return RunProgram("bash",
            { "-c", "ulimit -v 300000 -f ${LIMIT:-unlimited}; \"$0\" $ARGS; wc -c", m_server.cgiPath() },
            input + Bytes(2000, 'x'),
            QStringList { "GATEWAY_INTERFACE=CGI/1.1", "REQUEST_METHOD=POST", "REMOTE_ADDR=127.0.0.1",
                "CONTENT_TYPE=" + servertest::EditorContentType(), "VIDODU_CONF=" + file.fileName(),
                "CONTENT_LENGTH=" + QString::number(input.size()), "PATH=/usr/bin:/bin" }
                + env,
            errors);
    }
    Bytes root() const { return m_server.rootDir().toUtf8(); }
    Bytes curl(const QStringList &arguments, const Bytes &input = {}, const QString &below = {})
    {
        return RunProgram(
            "curl", QStringList { "-s", "--noproxy", "*" } + arguments + QStringList { m_server.url() + below }, input);
    }

    testsupport::LocalServer m_server;
    QTemporaryDir m_dir;
};

void TestProgram::cgi_data()
{
    QTest::addColumn<Bytes>("conf"); // null: no file
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<Bytes>("body");
    QTest::addColumn<Bytes>("reply");
    QTest::addColumn<Bytes>("log"); // the error log line after "vidodu.cgi: "
    QTest::addColumn<int>("unread"); // body bytes the script left on its input
    const Bytes open = "# comment\r\n\nallow_empty_password_from = ::1, 127.0.0.1\nmax_request_bytes = 1024\r\n";
    const Bytes size = "CONF: max_request_bytes must be a number from 1024 to 1073741824";
    const auto check = [](const Bytes &pad) {
        return EditorBody({ { "command", "CHECK" }, { "pass", "" }, { "pad", pad } });
    };
    const Bytes save = EditorBody(
        { { "command", "SAVEFILE" }, { "pass", "" }, { "file", "data/f" }, { "content", Bytes(3000, 's') } });
    const int all = int(kCheck.size()) + 2000;
    const auto row = [&](const char *name, const Bytes &conf, const QStringList &env, const Bytes &reply,
                         const Bytes &log = {}, int unread = 2000, const Bytes &body = kCheck) {
        QTest::newRow(name) << conf << env << body << reply << log << unread;
    };
    row("empty password allowed", open, {}, "OK\n");
    row("empty password_hash", "password_hash =\n", {}, "NG");
    row("body of max_request_bytes", open, {}, "OK\n", {}, 2000, check(Bytes(1024 - check("").size(), 'p')));
    row("arguments under a web server", open, { "ARGS=x" }, "OK\n");
    // A file size limit makes the save fail with "NG" instead of killing the script.
    row("file size limit", "allow_empty_password_from = 127.0.0.1\n", { "LIMIT=1" }, "NG", {}, 2000, save);
    row("unknown key", open + "port = 80\n", {}, "NG", "CONF: unknown key port");
    row("no file", Bytes(), {}, "NG", "no configuration at CONF");
    row("unreadable", Bytes(), { "VIDODU_CONF=/" }, "NG", "cannot read the configuration /: Is a directory");
    row("none beside the program", Bytes(), { "VIDODU_CONF=" }, "NG", "no configuration at BIN/vidodu.conf");
    row("relative root", "root = srv\n", {}, "NG", "CONF: root must be an absolute folder");
    row("plain password", "password_hash = x\n", {}, "NG",
        "CONF: password_hash must come from vidodu.cgi --hash-password");
    row("size not a number", "max_request_bytes = 10M\n", {}, "NG", size);
    row("size too small", "max_request_bytes = 1023\n", {}, "NG", size);
    row("size too large", "max_request_bytes = 1073741825\n", {}, "NG", size);
    row("public address", "allow_empty_password_from = ::1,192.0.2.1\n", {}, "NG",
        "CONF: allow_empty_password_from takes loopback addresses only");
    row("no equals sign", "\nroot /r\n", {}, "NG", "CONF: line 3: no '='");
    row("GET", open, { "REQUEST_METHOD=GET" }, "NG", "method GET refused: the editor sends POST");
    row("no length", open, { "CONTENT_LENGTH=3x" }, "NG", "request without a valid CONTENT_LENGTH", all);
    row("over max_request_bytes", open, { "CONTENT_LENGTH=1025" }, "NG",
        "request body of 1025 bytes is over max_request_bytes (1024)", all - 1024);
    row("claimed body never comes", "max_request_bytes = 1073741824\n", { "CONTENT_LENGTH=1073741824" }, "NG", {}, 0);
}

// Safe by default: only an explicit, valid configuration and a well-formed request open the
// script. Every refusal an administrator can mend is one line in the error log, and the body
// is read first so that every web server passes the "NG" on.
void TestProgram::cgi()
{
    QFETCH(Bytes, conf);
    QFETCH(QStringList, env);
    QFETCH(Bytes, body);
    QFETCH(Bytes, reply);
    QFETCH(Bytes, log);
    QFETCH(int, unread);
    Bytes errors;
    QCOMPARE(run(conf, env, body, &errors),
        "Content-Type: text/plain\r\nContent-Length: " + Bytes::number(reply.size()) + "\r\n\r\n" + reply
            + Bytes::number(unread) + "\n");
    const Bytes line = log.replace("CONF", m_dir.filePath("v.conf").toUtf8())
                           .replace("BIN", QFileInfo(m_server.cgiPath()).path().toUtf8());
    QCOMPARE(errors, log.isEmpty() ? Bytes() : "vidodu.cgi: " + line + "\n");
}

// By hand, --hash-password prints the configuration line whose hash the script then accepts
// (a CR before the LF is not part of the password), and refuses a password the editor could
// never send; any other argument gets the usage.
void TestProgram::hashPassword()
{
    Bytes errors;
    const auto hash = [&](const Bytes &input, const QString &argument = "--hash-password") {
        const Bytes out = RunProgram(m_server.cgiPath(), { argument }, input, {}, &errors);
        return out + errors;
    };
    const Bytes line = hash("AZaz09_-Pass_wd\r\n"), refused = "vidodu.cgi: password refused: ";
    QVERIFY2(line.startsWith("password_hash = $argon2id$") && line.endsWith("\n") && errors.isEmpty(), line.constData());
    for (const Bytes pass : { "AZaz09_-Pass_wd", "AZaz09_-Pass_we" })
        QCOMPARE(run(line, {}, EditorBody({ { "command", "CHECK" }, { "pass", pass } })).split('\n').value(3),
            pass.endsWith('d') ? "OK" : "NG2000");
    QCOMPARE(hash("abcdefghijklmnop\n"), refused + "the editor sends at most 15 characters\n");
    QCOMPARE(hash("pass word\n"), refused + "the editor sends only letters, digits, \"_\" and \"-\"\n");
    QCOMPARE(hash("\n"), refused + "the password is empty\n");
    QCOMPARE(hash(""), "vidodu.cgi: type the password on standard input\n");
    QCOMPARE(hash("", "--help"), "usage: vidodu.cgi --hash-password\nWithout arguments it serves one CGI request.\n");
}

// Requests from curl and from browsers as lighttpd hands them over: curl -F frames with blanks,
// a per-part Content-Type and a final CR LF; a browser's headers reach the script; below the
// script's path the script still answers; a 20 MB document with every byte value comes back
// byte for byte.
void TestProgram::lighttpd()
{
    const QStringList check { "-F", "command=CHECK", "-F", "pass=" };
    QCOMPARE(curl(check), "OK\n");
    for (const QString header : { "Host: evil.example", "Origin: http://evil.example", "Sec-Fetch-Site: cross-site" })
        QCOMPARE(curl(check + QStringList { "-H", header }), "NG");
    QCOMPARE(curl({}, {}, "/x"), "NG");
    Bytes big(20 * 1024 * 1024, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 251);
    QCOMPARE(
        curl({ "-F", "command=SAVEFILE", "-F", "pass=", "-F", "file=data/big", "-F", "content=@-" }, big), "Save OK\n");
    QVERIFY(curl({ "-F", "command=READFILE", "-F", "pass=", "-F", "file=data/big" }) == "data/big\n" + big);
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
