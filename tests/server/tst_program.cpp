// The vidodu.cgi program itself, run as a web server runs a CGI program: the environment,
// the body on standard input, headers and reply on standard output.

#include "multipartbody.h"
#include "support/localserver.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using servertest::EditorBody;
using servertest::EditorContentType;

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void configuration_data();
    void configuration();
    void contentLengthBeyondLimit();
    void hashPasswordLineOpensTheScript();
    void confBesideTheExecutable();

private:
    // Standard output of one CGI run of `program`.
    QByteArray runCgi(
        const QByteArray &body, const QString &conf, const QByteArray &contentLength = {}, const QString &program = {});
    // Writes a configuration over the test's root, with the given lines after the root line.
    QString writeConf(const QString &name, const QByteArray &lines);

    QString m_cgi;
    QTemporaryDir m_dir;
};

void TestProgram::initTestCase()
{
    m_cgi = testsupport::LocalServer().cgiPath();
    QVERIFY2(QFileInfo(m_cgi).isExecutable(), qPrintable(m_cgi));
    QVERIFY(QDir().mkpath(m_dir.filePath("root")));
}

QString TestProgram::writeConf(const QString &path, const QByteArray &lines)
{
    QFile f(path);
    const QByteArray text = "root = " + m_dir.filePath("root").toUtf8() + "\n" + lines;
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() ? path : QStringLiteral("(unwritable)");
}

QByteArray TestProgram::runCgi(
    const QByteArray &body, const QString &conf, const QByteArray &contentLength, const QString &program)
{
    QProcess p;
    QProcessEnvironment env;
    env.insert("GATEWAY_INTERFACE", "CGI/1.1");
    env.insert("REQUEST_METHOD", "POST");
    env.insert("CONTENT_TYPE", QString::fromLatin1(EditorContentType()));
    env.insert(
        "CONTENT_LENGTH", contentLength.isNull() ? QString::number(body.size()) : QString::fromLatin1(contentLength));
    env.insert("REMOTE_ADDR", "127.0.0.1");
    if (!conf.isEmpty())
        env.insert("VIDODU_CONF", conf);
    p.setProcessEnvironment(env);
    p.start(program.isEmpty() ? m_cgi : program, {});
    p.write(body);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000))
        return "(hung)";
    return p.readAllStandardOutput();
}

void TestProgram::configuration_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("empty password allowed") << QByteArray("allow_empty_password_from = 127.0.0.1\n") << QByteArray("OK\n");
    QTest::newRow("no password configured") << QByteArray("") << QByteArray("NG");
    QTest::newRow("unknown key") << QByteArray("allow_empty_password_from = 127.0.0.1\nport = 80\n") << QByteArray("NG");
    QTest::newRow("no file") << QByteArray() << QByteArray("NG");
}

// Safe by default: only an explicit, valid configuration opens the script.
void TestProgram::configuration()
{
    QFETCH(QByteArray, conf);
    QFETCH(QByteArray, reply);
    const QString path = m_dir.filePath("vidodu.conf");
    QFile::remove(path);
    if (!conf.isNull())
        QCOMPARE(writeConf(path, conf), path);
    QCOMPARE(runCgi(EditorBody({ { "command", "CHECK" }, { "pass", "" } }), path),
        "Content-Type: text/plain\r\nContent-Length: " + QByteArray::number(reply.size()) + "\r\n\r\n" + reply);
}

// A CONTENT_LENGTH beyond max_request_bytes is refused before the body is read.
void TestProgram::contentLengthBeyondLimit()
{
    const QString path = writeConf(m_dir.filePath("limit.conf"), "allow_empty_password_from = 127.0.0.1\nmax_request_bytes = 1024\n");
    const QByteArray body = EditorBody({ { "command", "CHECK" }, { "pass", "" } });
    QVERIFY(runCgi(body, path).endsWith("\r\n\r\nOK\n"));
    QVERIFY(runCgi(body, path, "1025").endsWith("\r\n\r\nNG"));
    QVERIFY(runCgi(body, path, QByteArray::number(body.size() + 10)).endsWith("\r\n\r\nNG"));
}

// --hash-password prints the configuration line whose hash the script then accepts.
void TestProgram::hashPasswordLineOpensTheScript()
{
    QProcess hasher;
    hasher.start(m_cgi, { "--hash-password" });
    hasher.write("Pass_word-9\n");
    hasher.closeWriteChannel();
    QVERIFY(hasher.waitForFinished(30000));
    QCOMPARE(hasher.exitCode(), 0);
    const QByteArray line = hasher.readAllStandardOutput();
    QVERIFY2(line.startsWith("password_hash = $argon2id$") && line.endsWith("\n"), line.constData());
    QVERIFY(!line.contains("Pass_word-9"));
    const QString path = writeConf(m_dir.filePath("hashed.conf"), line);
    QVERIFY(runCgi(EditorBody({ { "command", "CHECK" }, { "pass", "Pass_word-9" } }), path).endsWith("\r\n\r\nOK\n"));
    QVERIFY(runCgi(EditorBody({ { "command", "CHECK" }, { "pass", "Pass_word-8" } }), path).endsWith("\r\n\r\nNG"));
    QVERIFY(runCgi(EditorBody({ { "command", "CHECK" }, { "pass", "" } }), path).endsWith("\r\n\r\nNG"));
}

// Without VIDODU_CONF the script reads vidodu.conf from its own folder.
void TestProgram::confBesideTheExecutable()
{
    QTemporaryDir bin;
    QVERIFY(QFile::copy(m_cgi, bin.filePath("vidodu.cgi")));
    writeConf(bin.filePath("vidodu.conf"), "allow_empty_password_from = 127.0.0.1\n");
    QVERIFY(runCgi(EditorBody({ { "command", "CHECK" }, { "pass", "" } }), {}, {}, bin.filePath("vidodu.cgi")).endsWith("\r\n\r\nOK\n"));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
