// The pieces of vidodu.cgi that need no disk: multipart parsing, names, configuration, the
// throttle's state file and the CGI body reader.

#include "multipartbody.h"
#include "server/cgi.h"
#include "server/config.h"
#include "server/multipart.h"
#include "server/names.h"
#include "server/throttle.h"

#include <QtTest>
#include <unistd.h>

using servertest::EditorBody;
using servertest::kBoundary;

Q_DECLARE_METATYPE(std::string)

namespace {

// "name=value" per field, joined by "|"; "(malformed)" when the parser refuses.
QByteArray Parsed(const QByteArray &body, const QByteArray &boundary)
{
    const auto fields = vidodu::ParseMultipart(std::string_view(body.constData(), body.size()), boundary.toStdString());
    if (!fields)
        return "(malformed)";
    QByteArrayList out;
    for (const auto &f : *fields)
        out << QByteArray::fromStdString(f.name) + '=' + QByteArray(f.value.data(), qsizetype(f.value.size()));
    return out.join('|');
}

} // namespace

class TestParts : public QObject {
    Q_OBJECT

private slots:
    void boundaryOf_data();
    void boundaryOf();
    void multipart_data();
    void multipart();
    void realNames_data();
    void realNames();
    void remotePaths_data();
    void remotePaths();
    void config_data();
    void config();
    void configPath();
    void failureFileClamped();
    void bodyReader_data();
    void bodyReader();
};

void TestParts::boundaryOf_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("boundary");
    QTest::newRow("editor, unquoted with =") << "multipart/form-data; boundary=" + kBoundary << kBoundary;
    QTest::newRow("quoted") << QByteArray("multipart/form-data; boundary=\"a b=c\"") << QByteArray("a b=c");
    QTest::newRow("no blank, upper case") << QByteArray("Multipart/Form-Data;Boundary=xyz") << QByteArray("xyz");
    QTest::newRow("charset after") << QByteArray("multipart/form-data; boundary=xyz; charset=x") << QByteArray("xyz");
    QTest::newRow("not form-data") << QByteArray("multipart/mixed; boundary=xyz") << QByteArray("(none)");
    QTest::newRow("no boundary") << QByteArray("multipart/form-data") << QByteArray("(none)");
    QTest::newRow("empty boundary") << QByteArray("multipart/form-data; boundary=") << QByteArray("(none)");
    QTest::newRow("too long") << "multipart/form-data; boundary=" + QByteArray(201, 'b') << QByteArray("(none)");
}

// The boundary comes from the header, unquoted or quoted.
void TestParts::boundaryOf()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, boundary);
    const auto b = vidodu::BoundaryOf(contentType.toStdString());
    QCOMPARE(b ? QByteArray::fromStdString(*b) : QByteArray("(none)"), boundary);
}

void TestParts::multipart_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("boundary");
    QTest::addColumn<QByteArray>("fields");
    const QByteArray b = kBoundary;
    QTest::newRow("editor framing") << EditorBody({ { "command", "CHECK" }, { "pass", "pw" } }) << b
                                    << QByteArray("command=CHECK|pass=pw");
    QTest::newRow("empty values") << EditorBody({ { "pass", "" }, { "content", "" } }) << b
                                  << QByteArray("pass=|content=");
    QTest::newRow("value with CR LF and dashes") << EditorBody({ { "content", "a\r\n--\r\n--" + b.left(10) + "\r\n" } })
                                                 << b << "content=a\r\n--\r\n--" + b.left(10) + "\r\n";
    QTest::newRow("boundary inside a line of the value")
        << EditorBody({ { "content", "x\r\n--" + b + "x\r\ny" } }) << b << "content=x\r\n--" + b + "x\r\ny";
    QTest::newRow("curl framing") << QByteArray(
        "--xyz\r\nContent-Disposition: form-data; name=\"command\"\r\n\r\nCHECK\r\n"
        "--xyz\r\nContent-Disposition: form-data; name=\"content\"; filename=\"m.txt\"\r\n"
        "Content-Type: text/plain\r\n\r\nbody\r\n--xyz--\r\n")
                                  << QByteArray("xyz") << QByteArray("command=CHECK|content=body");
    QTest::newRow("content type first, lower case") << QByteArray(
        "--xyz\r\ncontent-type: text/plain\r\ncontent-disposition: form-data; name=pass\r\n\r\np\r\n--xyz--")
                                                    << QByteArray("xyz") << QByteArray("pass=p");
    QTest::newRow("blanks after boundary")
        << QByteArray("--xyz  \r\nContent-Disposition:form-data;name=\"a\"\r\n\r\n1\r\n--xyz--") << QByteArray("xyz")
        << QByteArray("a=1");
    QTest::newRow("no parts") << QByteArray("--xyz--") << QByteArray("xyz") << QByteArray("");
    QTest::newRow("preamble") << "junk\r\n" + EditorBody({ { "a", "1" } }) << b << QByteArray("(malformed)");
    QTest::newRow("no closing delimiter") << EditorBody({ { "a", "1" } }).chopped(2) << b << QByteArray("(malformed)");
    QTest::newRow("truncated value") << EditorBody({ { "a", "1" } }).left(70) << b << QByteArray("(malformed)");
    QTest::newRow("epilogue") << EditorBody({ { "a", "1" } }) + "more" << b << QByteArray("(malformed)");
    QTest::newRow("no disposition") << QByteArray("--xyz\r\nContent-Type: text/plain\r\n\r\n1\r\n--xyz--")
                                    << QByteArray("xyz") << QByteArray("(malformed)");
    QTest::newRow("no name") << QByteArray("--xyz\r\nContent-Disposition: form-data\r\n\r\n1\r\n--xyz--")
                             << QByteArray("xyz") << QByteArray("(malformed)");
    QTest::newRow("attachment") << QByteArray("--xyz\r\nContent-Disposition: attachment; name=a\r\n\r\n1\r\n--xyz--")
                                << QByteArray("xyz") << QByteArray("(malformed)");
    QTest::newRow("unclosed quote") << QByteArray(
        "--xyz\r\nContent-Disposition: form-data; name=\"a\r\n\r\n1\r\n--xyz--")
                                    << QByteArray("xyz") << QByteArray("(malformed)");
    QTest::newRow("bare LF delimiters") << QByteArray("--xyz\nContent-Disposition: form-data; name=a\n\n1\n--xyz--")
                                        << QByteArray("xyz") << QByteArray("(malformed)");
    QTest::newRow("other boundary") << EditorBody({ { "a", "1" } }) << QByteArray("xyz") << QByteArray("(malformed)");
}

// The editor's framing and the browsers' both parse; anything else is malformed.
void TestParts::multipart()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, boundary);
    QFETCH(QByteArray, fields);
    QCOMPARE(Parsed(body, boundary), fields);
}

void TestParts::realNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("real");
    QTest::newRow("plain") << QByteArray("memo.txt") << true;
    QTest::newRow("Japanese") << QByteArray("日記 2008.txt") << true;
    QTest::newRow("inner dots") << QByteArray("a..b") << true;
    QTest::newRow("TAB") << QByteArray("a\tb") << false;
    QTest::newRow("DEL") << QByteArray("a\x7f") << false;
    QTest::newRow("C1 control") << QByteArray("a\xc2\x85") << false;
    QTest::newRow("Latin-1 letter") << QByteArray("\xc3\xa9") << true;
}

// A real name: no control character, inner dots allowed (the handler's refusal tables hold the
// rest of the rule).
void TestParts::realNames()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, real);
    QCOMPARE(vidodu::IsRealName(std::string_view(name.constData(), name.size())), real);
}

void TestParts::remotePaths_data()
{
    QTest::addColumn<QByteArray>("cp932");
    QTest::addColumn<QByteArray>("elements");
    QTest::newRow("data") << QByteArray("data") << QByteArray("data");
    QTest::newRow("nested") << QByteArray("data/a/b") << QByteArray("data|a|b");
    QTest::newRow("trail byte 5C") << QByteArray("data/\x95\x5c") << QByteArray("data|表");
    QTest::newRow("trail byte 7C") << QByteArray("data/\x83\x7c") << QByteArray("data|ポ");
    QTest::newRow("half-width") << QByteArray("data/\xb1") << QByteArray("data|ｱ");
    QTest::newRow("wave dash") << QByteArray("data/\x81\x60") << QByteArray("data|～");
    QTest::newRow("circled one") << QByteArray("data/\x87\x40") << QByteArray("data|①");
    QTest::newRow("lone lead byte") << QByteArray("data/\x81") << QByteArray("(refused)");
    QTest::newRow("unassigned") << QByteArray("data/\xa0") << QByteArray("(refused)");
}

// Paths convert from code page 932 before the rules look at them, element by element (the
// handler's refusal table holds the rules themselves).
void TestParts::remotePaths()
{
    QFETCH(QByteArray, cp932);
    QFETCH(QByteArray, elements);
    const auto path = vidodu::RemotePath(std::string_view(cp932.constData(), cp932.size()));
    QByteArrayList parts;
    for (const auto &e : path.value_or(std::vector<std::string> {}))
        parts << QByteArray::fromStdString(e);
    QCOMPARE(path ? parts.join('|') : QByteArray("(refused)"), elements);
}

void TestParts::config_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("summary");
    QTest::newRow("minimal") << QByteArray("root = /srv/x\n") << true << QByteArray("/srv/x||67108864");
    QTest::newRow("full") << QByteArray("# c\n\nroot=/r\r\npassword_hash = $argon2id$v=19$x\nmax_request_bytes = 2048\n"
                                        "allow_empty_password_from = 127.0.0.1, ::1\n")
                          << true << QByteArray("/r|$argon2id$v=19$x|2048|127.0.0.1,::1");
    QTest::newRow("empty hash") << QByteArray("root = /r\npassword_hash =\n") << true << QByteArray("/r||67108864");
    QTest::newRow("no root") << QByteArray("password_hash = $argon2id$x\n") << false << QByteArray();
    QTest::newRow("relative root") << QByteArray("root = srv\n") << false << QByteArray();
    QTest::newRow("plain password") << QByteArray("root = /r\npassword_hash = secret\n") << false << QByteArray();
    QTest::newRow("size not a number") << QByteArray("root = /r\nmax_request_bytes = 10M\n") << false << QByteArray();
    QTest::newRow("size too small") << QByteArray("root = /r\nmax_request_bytes = 10\n") << false << QByteArray();
    QTest::newRow("public address") << QByteArray("root = /r\nallow_empty_password_from = 192.0.2.1\n") << false
                                    << QByteArray();
    QTest::newRow("misspelt key") << QByteArray("root = /r\npasword_hash = $argon2id$x\n") << false << QByteArray();
    QTest::newRow("no equals sign") << QByteArray("root /r\n") << false << QByteArray();
}

// A configuration with any doubtful line is not valid, which refuses every request.
void TestParts::config()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(QByteArray, summary);
    const vidodu::Config c = vidodu::ParseConfig(text.toStdString());
    QCOMPARE(c.valid, valid);
    if (!valid)
        return;
    QByteArrayList from;
    for (const auto &a : c.emptyPasswordFrom)
        from << QByteArray::fromStdString(a);
    QCOMPARE(QByteArray::fromStdString(c.root + "|" + c.passwordHash + "|" + std::to_string(c.maxRequestBytes)) + "|"
            + from.join(','),
        summary.count('|') == 2 ? summary + "|" : summary);
}

// VIDODU_CONF wins; otherwise vidodu.conf beside the executable.
void TestParts::configPath()
{
    QCOMPARE(vidodu::ConfigPath("/etc/v.conf", "/srv/cgi-bin/vidodu.cgi"), std::string("/etc/v.conf"));
    QCOMPARE(vidodu::ConfigPath("", "/srv/cgi-bin/vidodu.cgi"), std::string("/srv/cgi-bin/vidodu.conf"));
    QCOMPARE(vidodu::ConfigPath(nullptr, "/srv/cgi-bin/vidodu.cgi"), std::string("/srv/cgi-bin/vidodu.conf"));
}

// The throttle's file is read with suspicion: bad lines, old windows and huge counts go.
void TestParts::failureFileClamped()
{
    const std::time_t now = 1'000'000;
    const auto table = vidodu::ParseFailures("192.0.2.1 999990 3\n"
                                             "192.0.2.2 990000 5\n" // window over
                                             "192.0.2.3 999999 99999\n" // count clamped
                                             "bad address! 999990 1\n"
                                             "192.0.2.4 2000000 1\n" // in the future
                                             "192.0.2.5 x 1\n"
                                             "192.0.2.6 999990\n",
        now);
    QCOMPARE(table.size(), std::size_t(2));
    QCOMPARE(table.at("192.0.2.1").count, 3);
    QCOMPARE(table.at("192.0.2.3").count, vidodu::kMaxFailures);
    QCOMPARE(vidodu::ParseFailures(vidodu::FormatFailures(table), now).size(), std::size_t(2));
}

void TestParts::bodyReader_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("contentLength");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("exact") << QByteArray("abcdef") << QByteArray("6") << QByteArray("abcdef");
    QTest::newRow("reads no further") << QByteArray("abcdef") << QByteArray("3") << QByteArray("abc");
    QTest::newRow("empty") << QByteArray() << QByteArray("0") << QByteArray("");
    QTest::newRow("input ends early") << QByteArray("abc") << QByteArray("6") << QByteArray("(refused)");
    QTest::newRow("over the limit") << QByteArray(2000, 'x') << QByteArray("1025") << QByteArray("(refused)");
    QTest::newRow("missing") << QByteArray("abc") << QByteArray() << QByteArray("(refused)");
    QTest::newRow("negative") << QByteArray("abc") << QByteArray("-1") << QByteArray("(refused)");
    QTest::newRow("not a number") << QByteArray("abc") << QByteArray("3x") << QByteArray("(refused)");
    QTest::newRow("huge") << QByteArray("abc") << QByteArray("99999999999999999999999") << QByteArray("(refused)");
}

// CONTENT_LENGTH is trusted only up to the limit, and the body must be all there.
void TestParts::bodyReader()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, contentLength);
    QFETCH(QByteArray, body);
    int fds[2];
    QCOMPARE(pipe(fds), 0);
    QCOMPARE(write(fds[1], input.constData(), input.size()), ssize_t(input.size()));
    close(fds[1]);
    const auto read = vidodu::ReadBody(fds[0], contentLength.isNull() ? nullptr : contentLength.constData(), 1024);
    close(fds[0]);
    QCOMPARE(read ? QByteArray::fromStdString(*read) : QByteArray("(refused)"), body);
}

QTEST_GUILESS_MAIN(TestParts)
#include "tst_parts.moc"
