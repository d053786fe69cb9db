// The vidodu.cgi program itself: run as a web server runs a CGI program (the environment, the
// body on standard input, headers and reply on standard output, refusals in the error log),
// and under the real lighttpd over HTTP on 127.0.0.1.

#include "multipartbody.h"
#include "support/localserver.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

using servertest::EditorBody;

namespace {

const QByteArray kCheck = EditorBody({ { "command", "CHECK" }, { "pass", "" } });

QByteArray Run(const QString &program, const QStringList &arguments, const QByteArray &input,
    const QProcessEnvironment &env = QProcessEnvironment(), QByteArray *errors = nullptr)
{
    QProcess p;
    p.setProcessEnvironment(env);
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
    void initTestCase();
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void refusals_data();
    void refusals();
    void hashPassword_data();
    void hashPassword();
    void twentyMegabytesRoundTrip();
    void curl_data();
    void curl();
    void concurrentSavesLeaveOneWhole();

private:
    QByteArray post(QNetworkAccessManager &network, const QByteArray &body);
    // The configuration file `name` over the test's root with `lines` after the root line.
    QString writeConf(const QString &name, const QByteArray &lines);

    testsupport::LocalServer m_server;
    QNetworkAccessManager m_network;
    QTemporaryDir m_dir;
};

void TestProgram::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
}

QString TestProgram::writeConf(const QString &name, const QByteArray &lines)
{
    QFile f(m_dir.filePath(name));
    const QByteArray text = "root = " + m_server.rootDir().toUtf8() + "\n" + lines;
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() ? f.fileName() : QStringLiteral("(unwritable)");
}

void TestProgram::refusals_data()
{
    QTest::addColumn<QByteArray>("conf"); // null: no file
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("log"); // the error log line after "vidodu.cgi: "
    QTest::addColumn<int>("unread"); // body bytes the script left on its input
    const QByteArray open = "allow_empty_password_from = 127.0.0.1\nmax_request_bytes = 1024\n";
    const int after = 2000, all = int(kCheck.size()) + after;
    const auto row = [&](const char *name, const QByteArray &conf, const QStringList &env, const QByteArray &reply,
                         const QByteArray &log,
                         int unread = 2000) { QTest::newRow(name) << conf << env << reply << log << unread; };
    row("empty password allowed", open, {}, "OK\n", "");
    row("no password configured", "", {}, "NG", "");
    row("browser page of another site", open, { "HTTP_ORIGIN=http://evil.example" }, "NG", "");
    row("unknown key", open + "port = 80\n", {}, "NG", "CONF: unknown key port");
    row("no file", QByteArray(), {}, "NG", "no configuration at CONF");
    row("GET", open, { "REQUEST_METHOD=GET" }, "NG", "method GET refused: the editor sends POST");
    row("no length", open, { "CONTENT_LENGTH=x" }, "NG", "request without a valid CONTENT_LENGTH", all);
    row("over max_request_bytes", open, { "CONTENT_LENGTH=1025" }, "NG",
        "request body of 1025 bytes is over max_request_bytes (1024)", all - 1024);
}

// Safe by default: only an explicit, valid configuration opens the script. Every refusal an
// administrator can mend is one line in the error log, and the body is read first so that
// every web server passes the "NG" on.
void TestProgram::refusals()
{
    QFETCH(QByteArray, conf);
    QFETCH(QStringList, environment);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, log);
    QFETCH(int, unread);
    const QString path = conf.isNull() ? m_dir.filePath("none.conf") : writeConf("v.conf", conf);
    QProcessEnvironment env;
    for (const QString &pair : QStringList { "GATEWAY_INTERFACE=CGI/1.1", "REQUEST_METHOD=POST",
                                   "CONTENT_TYPE=" + servertest::EditorContentType(), "REMOTE_ADDR=127.0.0.1",
                                   "VIDODU_CONF=" + path, "CONTENT_LENGTH=" + QString::number(kCheck.size()) }
            + environment)
        env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    // 2000 bytes follow the body; what the script leaves unread goes to wc.
    QByteArray errors;
    const QByteArray input = kCheck + QByteArray(2000, 'x');
    const QByteArray out = Run("bash", { "-c", "\"$0\"; wc -c", m_server.cgiPath() }, input, env, &errors);
    QCOMPARE(out,
        "Content-Type: text/plain\r\nContent-Length: " + QByteArray::number(reply.size()) + "\r\n\r\n" + reply
            + QByteArray::number(unread) + "\n");
    QCOMPARE(errors, log.isEmpty() ? QByteArray() : "vidodu.cgi: " + log.replace("CONF", path.toUtf8()) + "\n");
}

void TestProgram::hashPassword_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("error");
    QTest::newRow("letters, digits, _ and -") << QByteArray("Pass_word-9\n") << QByteArray();
    QTest::newRow("16 characters") << QByteArray("abcdefghijklmnop\n")
                                   << QByteArray("the editor sends at most 15 characters");
    QTest::newRow("a blank") << QByteArray("pass word\n")
                             << QByteArray("the editor sends only letters, digits, \"_\" and \"-\"");
    QTest::newRow("empty") << QByteArray("\n") << QByteArray("the password is empty");
}

// --hash-password prints the configuration line whose hash the script then accepts, and
// refuses a password the editor could never send.
void TestProgram::hashPassword()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, error);
    QByteArray errors;
    const QByteArray line = Run(m_server.cgiPath(), { "--hash-password" }, input, {}, &errors);
    if (!error.isEmpty()) {
        QCOMPARE(errors, "vidodu.cgi: password refused: " + error + "\n");
        return;
    }
    QVERIFY2(line.startsWith("password_hash = $argon2id$") && line.endsWith("\n"), line.constData());
    QProcessEnvironment env;
    env.insert("VIDODU_CONF", writeConf("hashed.conf", line));
    env.insert("GATEWAY_INTERFACE", "CGI/1.1");
    env.insert("REQUEST_METHOD", "POST");
    env.insert("CONTENT_TYPE", servertest::EditorContentType());
    for (const QByteArray &pass : { QByteArray("Pass_word-9"), QByteArray("Pass_word-8") }) {
        const QByteArray body = EditorBody({ { "command", "CHECK" }, { "pass", pass } });
        env.insert("CONTENT_LENGTH", QString::number(body.size()));
        QVERIFY(Run(m_server.cgiPath(), {}, body, env).endsWith(pass.endsWith('9') ? "\r\n\r\nOK\n" : "\r\n\r\nNG"));
    }
}

QByteArray TestProgram::post(QNetworkAccessManager &network, const QByteArray &body)
{
    QNetworkRequest request(QUrl(m_server.url()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, servertest::EditorContentType());
    std::unique_ptr<QNetworkReply> reply(network.post(request, body));
    if (!reply->isFinished() && !QSignalSpy(reply.get(), &QNetworkReply::finished).wait(60000))
        return "(no reply)";
    return reply->readAll();
}

// A 20 MB document with every byte value comes back byte for byte.
void TestProgram::twentyMegabytesRoundTrip()
{
    QByteArray content(20 * 1024 * 1024, '\0');
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i * 7 + i / 251);
    const QByteArray file = "data/\x91\xe5\x82\xab\x82\xa2.txt"; // 大きい.txt
    QCOMPARE(post(m_network,
                 EditorBody({ { "command", "SAVEFILE" }, { "pass", "" }, { "file", file }, { "content", content } })),
        QByteArray("Save OK\n"));
    QVERIFY(post(m_network, EditorBody({ { "command", "READFILE" }, { "pass", "" }, { "file", file } }))
        == file + '\n' + content);
}

void TestProgram::curl_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("reply");
    const QStringList check { "-F", "command=CHECK", "-F", "pass=" };
    // curl -F frames with blanks, a per-part Content-Type for files and a final CR LF.
    QTest::newRow("curl -F") << check << QByteArray("OK\n");
    QTest::newRow("GET") << QStringList {} << QByteArray("NG");
    QTest::newRow("GET below the path") << QStringList { "/x" } << QByteArray("NG");
    QTest::newRow("Host of another name") << check + QStringList { "-H", "Host: evil.example" } << QByteArray("NG");
    QTest::newRow("Origin of another site")
        << check + QStringList { "-H", "Origin: http://evil.example" } << QByteArray("NG");
    QTest::newRow("Sec-Fetch-Site") << check + QStringList { "-H", "Sec-Fetch-Site: cross-site" } << QByteArray("NG");
}

// Requests from curl and from browsers as lighttpd hands them over.
void TestProgram::curl()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, reply);
    QString url = m_server.url();
    if (arguments.value(0) == "/x")
        url += arguments.takeFirst();
    QCOMPARE(Run("curl", QStringList { "-s" } + arguments + QStringList { url }, {}), reply);
}

// Twenty saves of different contents racing for one file leave exactly one of them whole.
void TestProgram::concurrentSavesLeaveOneWhole()
{
    QVERIFY(QDir().mkpath(m_server.dataDir() + "/race"));
    QList<QByteArray> contents;
    std::vector<std::unique_ptr<QNetworkAccessManager>> managers;
    std::vector<std::unique_ptr<QNetworkReply>> replies;
    for (int i = 0; i < 20; ++i) {
        contents << QByteArray(256 * 1024 + i, char('A' + i));
        // One manager each, so that all twenty requests are on the wire at once.
        managers.push_back(std::make_unique<QNetworkAccessManager>());
        QNetworkRequest request(QUrl(m_server.url()));
        request.setHeader(QNetworkRequest::ContentTypeHeader, servertest::EditorContentType());
        replies.emplace_back(managers.back()->post(request,
            EditorBody({ { "command", "SAVEFILE" }, { "pass", "" }, { "file", "data/race/r" },
                { "content", contents.last() } })));
    }
    for (auto &reply : replies) {
        if (!reply->isFinished())
            QVERIFY(QSignalSpy(reply.get(), &QNetworkReply::finished).wait(60000));
        QCOMPARE(reply->readAll(), QByteArray("Save OK\n"));
    }
    QFile saved(m_server.dataDir() + "/race/r");
    QVERIFY(saved.open(QIODevice::ReadOnly) && contents.contains(saved.readAll()));
    QCOMPARE(QDir(m_server.dataDir() + "/race").entryList(QDir::Files | QDir::Hidden), QStringList { "r" });
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
