// The vidodu.cgi program itself: run as a web server runs a CGI program (the environment, the
// body on standard input, headers and reply on standard output, refusals in the error log),
// and under the real lighttpd over HTTP on 127.0.0.1.

#include "multipartbody.h"
#include "support/localserver.h"

#include <QProcess>
#include <QtTest>

using Bytes = QByteArray;

namespace {

const Bytes kCheck = servertest::EditorBody({ { "command", "CHECK" }, { "pass", "" } });

// Standard output of `program`, given `input`; its standard error into `errors`.
Bytes Run(const QString &program, const QStringList &arguments, const Bytes &input, const QStringList &env = {},
    Bytes *errors = nullptr)
{
    QProcess p;
    QProcessEnvironment environment;
    for (const QString &pair : env)
        environment.insert(pair.section('=', 0, 0), pair.section('=', 1));
    p.setProcessEnvironment(env.isEmpty() ? QProcessEnvironment::systemEnvironment() : environment);
    p.start(program, arguments);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        return "(hung)";
    if (errors)
        *errors = p.readAllStandardError();
    return p.readAllStandardOutput();
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(m_server.start(), qPrintable(m_server.errorText())); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void refusals_data();
    void refusals();
    void hashPassword_data();
    void hashPassword();
    void curl_data();
    void curl();

private:
    // A CGI run of the script with the configuration "root = ROOT" and `conf` (none if null).
    Bytes cgi(const Bytes &conf, const QStringList &env, const Bytes &input, Bytes *errors = nullptr);

    testsupport::LocalServer m_server;
    QTemporaryDir m_dir;
};

Bytes TestProgram::cgi(const Bytes &conf, const QStringList &env, const Bytes &input, Bytes *errors)
{
    QFile file(m_dir.filePath("v.conf"));
    file.remove();
    const Bytes root = conf.contains("root =") ? Bytes() : "root = " + m_server.rootDir().toUtf8() + "\n";
    if (!conf.isNull() && !(file.open(QIODevice::WriteOnly) && file.write(root + conf) >= 0))
        return "(unwritable)";
    file.close();
    // 2000 bytes follow the body; what the script leaves unread goes to wc. Memory is short,
    // so that a buffer made to a claimed length before the body comes shows.
    return Run("bash", { "-c", "ulimit -v 300000; \"$0\"; wc -c", m_server.cgiPath() }, input + Bytes(2000, 'x'),
        QStringList { "GATEWAY_INTERFACE=CGI/1.1", "REQUEST_METHOD=POST", "REMOTE_ADDR=127.0.0.1",
            "CONTENT_TYPE=" + servertest::EditorContentType(), "VIDODU_CONF=" + file.fileName(),
            "CONTENT_LENGTH=" + QString::number(input.size()), "PATH=/usr/bin:/bin" }
            + env,
        errors);
}

void TestProgram::refusals_data()
{
    QTest::addColumn<Bytes>("conf"); // null: no file
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<Bytes>("body");
    QTest::addColumn<Bytes>("reply");
    QTest::addColumn<Bytes>("log"); // the error log line after "vidodu.cgi: "
    QTest::addColumn<int>("unread"); // body bytes the script left on its input
    const Bytes open = "# comment\r\n\nallow_empty_password_from = ::1, 127.0.0.1\nmax_request_bytes = 1024\r\n";
    const Bytes size = "CONF: max_request_bytes must be a number from 1024 to 1073741824";
    const int all = int(kCheck.size()) + 2000;
    const auto row = [&](const char *name, const Bytes &conf, const QStringList &env, const Bytes &reply,
                         const Bytes &log = {}, int unread = 2000, const Bytes &body = kCheck) {
        QTest::newRow(name) << conf << env << body << reply << log << unread;
    };
    const auto body = [&](const char *name, const QList<servertest::Field> &fields) {
        row(name, open, {}, "NG", {}, 2000, servertest::EditorBody(fields));
    };
    row("empty password allowed", open, {}, "OK\n");
    row("no password configured", "", {}, "NG");
    row("browser page of another site", open, { "HTTP_ORIGIN=http://evil.example" }, "NG");
    row("unknown key", open + "port = 80\n", {}, "NG", "CONF: unknown key port");
    row("no file", Bytes(), {}, "NG", "no configuration at CONF");
    row("unreadable", Bytes(), { "VIDODU_CONF=/" }, "NG", "cannot read the configuration /: Is a directory");
    row("none beside the program", Bytes(), { "VIDODU_CONF=" }, "NG", "no configuration at BIN/vidodu.conf");
    row("no root", "# root = /r\n", {}, "NG", "CONF: no root");
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
    row("urlencoded", open, { "CONTENT_TYPE=application/x-www-form-urlencoded" }, "NG");
    row("no closing delimiter", open, {}, "NG", {}, 2000, kCheck.chopped(2));
    body("no pass field", { { "command", "CHECK" } });
    body("no command field", { { "pass", "" } });
    body("command twice", { { "command", "CHECK" }, { "pass", "" }, { "command", "CHECK" } });
}

// Safe by default: only an explicit, valid configuration and a well-formed request open the
// script. Every refusal an administrator can mend is one line in the error log, and the body
// is read first so that every web server passes the "NG" on.
void TestProgram::refusals()
{
    QFETCH(Bytes, conf);
    QFETCH(QStringList, env);
    QFETCH(Bytes, body);
    QFETCH(Bytes, reply);
    QFETCH(Bytes, log);
    QFETCH(int, unread);
    Bytes errors;
    QCOMPARE(cgi(conf, env, body, &errors),
        "Content-Type: text/plain\r\nContent-Length: " + Bytes::number(reply.size()) + "\r\n\r\n" + reply
            + Bytes::number(unread) + "\n");
    const Bytes line = log.replace("CONF", m_dir.filePath("v.conf").toUtf8())
                           .replace("BIN", QFileInfo(m_server.cgiPath()).path().toUtf8());
    QCOMPARE(errors, log.isEmpty() ? Bytes() : "vidodu.cgi: " + line + "\n");
}

void TestProgram::hashPassword_data()
{
    QTest::addColumn<Bytes>("input");
    QTest::addColumn<Bytes>("error");
    QTest::newRow("15 letters, digits, _ and -") << Bytes("Pass_word-9abcd\n") << Bytes();
    QTest::newRow("16 characters") << Bytes("abcdefghijklmnop\n") << Bytes("the editor sends at most 15 characters");
    QTest::newRow("a blank") << Bytes("pass word\n") << Bytes("the editor sends only letters, digits, \"_\" and \"-\"");
    QTest::newRow("empty") << Bytes("\n") << Bytes("the password is empty");
}

// --hash-password prints the configuration line whose hash the script then accepts, and
// refuses a password the editor could never send.
void TestProgram::hashPassword()
{
    QFETCH(Bytes, input);
    QFETCH(Bytes, error);
    Bytes errors;
    const Bytes line = Run(m_server.cgiPath(), { "--hash-password" }, input, {}, &errors);
    QCOMPARE(errors, error.isEmpty() ? Bytes() : "vidodu.cgi: password refused: " + error + "\n");
    if (!error.isEmpty())
        return;
    QVERIFY2(line.startsWith("password_hash = $argon2id$") && line.endsWith("\n"), line.constData());
    for (const Bytes pass : { "Pass_word-9abcd", "Pass_word-9abce" }) {
        const Bytes body = servertest::EditorBody({ { "command", "CHECK" }, { "pass", pass } });
        QCOMPARE(cgi(line, {}, body).split('\n').value(3), pass.endsWith('d') ? "OK" : "NG2000");
    }
}

void TestProgram::curl_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Bytes>("reply");
    const QStringList check { "-F", "command=CHECK", "-F", "pass=" };
    // curl -F frames with blanks, a per-part Content-Type for files and a final CR LF.
    QTest::newRow("curl -F") << check << Bytes("OK\n");
    QTest::newRow("GET") << QStringList {} << Bytes("NG");
    QTest::newRow("GET below the path") << QStringList { "/x" } << Bytes("NG");
    QTest::newRow("Host of another name") << check + QStringList { "-H", "Host: evil.example" } << Bytes("NG");
    QTest::newRow("Origin of another site")
        << check + QStringList { "-H", "Origin: http://evil.example" } << Bytes("NG");
    QTest::newRow("Sec-Fetch-Site") << check + QStringList { "-H", "Sec-Fetch-Site: cross-site" } << Bytes("NG");
    // A 20 MB document with every byte value comes back byte for byte.
    QTest::newRow("20 MB round trip") << QStringList { "-F", "command=SAVEFILE", "-F", "pass=", "-F", "file=data/big",
        "-F", "content=@-" } << Bytes("Save OK\n");
}

// Requests from curl and from browsers as lighttpd hands them over.
void TestProgram::curl()
{
    QFETCH(QStringList, arguments);
    QFETCH(Bytes, reply);
    Bytes big(reply.startsWith("Save") ? 20 * 1024 * 1024 : 0, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 251);
    const QString url = m_server.url() + (arguments.value(0) == "/x" ? arguments.takeFirst() : QString());
    QCOMPARE(Run("curl", QStringList { "-s", "--noproxy", "*" } + arguments + QStringList { url }, big), reply);
    if (!big.isEmpty())
        QVERIFY(Run("curl",
                    { "-s", "--noproxy", "*", "-F", "command=READFILE", "-F", "pass=", "-F", "file=data/big", url }, {})
            == "data/big\n" + big);
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
