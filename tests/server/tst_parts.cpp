// The pieces of vidodu.cgi that need no disk: multipart parsing, names, configuration, the
// throttle's keys and state file, and the CGI body reader.

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

QByteArray Text(const std::optional<std::string> &s)
{
    return s ? QByteArray::fromStdString(*s) : QByteArray("(refused)");
}

} // namespace

class TestParts : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void multipart_data();
    void multipart();
    void remotePaths_data();
    void remotePaths();
    void config_data();
    void config();
    void throttleKeys_data();
    void throttleKeys();
    void failureFileClamped();
    void bodyReader_data();
    void bodyReader();
};

void TestParts::multipart_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("fields");
    const auto row = [](const char *name, const QByteArray &type, const QByteArray &body, const QByteArray &fields) {
        QTest::newRow(name) << "multipart/form-data; boundary=" + type << body << fields;
    };
    const auto part = [](const QByteArray &headers, const QByteArray &value = "1") {
        return "--xyz\r\n" + headers + "\r\n\r\n" + value + "\r\n--xyz--";
    };
    const QByteArray b = kBoundary, x = "xyz", bad = "(malformed)", a1 = EditorBody({ { "a", "1" } });
    const QByteArray cr = "a\r\n--\r\n--" + b.left(10) + "\r\n", inner = "x\r\n--" + b + "x\r\ny";
    row("editor framing", b, EditorBody({ { "command", "CHECK" }, { "pass", "" } }), "command=CHECK|pass=");
    row("value with CR LF and dashes", b, EditorBody({ { "content", cr } }), "content=" + cr);
    row("boundary inside a line", b, EditorBody({ { "content", inner } }), "content=" + inner);
    row("quoted, browser framing", "\"x\\yz\"", part("Content-Disposition: form-data; name=\"a\"") + "\r\n", "a=1");
    row("upper case, charset after", "xyz; charset=x", part("CONTENT-DISPOSITION: form-data; name=a"), "a=1");
    row("content type first", x, part("content-type: text/plain\r\ncontent-disposition: form-data; name=p", "v"),
        "p=v");
    row("blanks after boundary", x, "--xyz  \r\nContent-Disposition:form-data;name=\"a\"\r\n\r\n1\r\n--xyz--", "a=1");
    row("no parts", x, "--xyz--", "");
    row("preamble", b, "junk\r\n" + a1, bad);
    row("no closing delimiter", b, a1.chopped(2), bad);
    row("truncated value", b, a1.left(70), bad);
    row("epilogue", b, a1 + "more", bad);
    row("no disposition", x, part("Content-Type: text/plain"), bad);
    row("no name", x, part("Content-Disposition: form-data"), bad);
    row("attachment", x, part("Content-Disposition: attachment; name=a"), bad);
    row("unclosed quote", x, part("Content-Disposition: form-data; name=\"a"), bad);
    row("bare LF delimiters", x, "--xyz\nContent-Disposition: form-data; name=a\n\n1\n--xyz--", bad);
    row("other boundary", x, a1, bad);
    row("empty boundary", "", a1, "(no boundary)");
    row("boundary too long", QByteArray(201, 'b'), a1, "(no boundary)");
    QTest::newRow("not form-data") << QByteArray("multipart/mixed; boundary=xyz") << part("")
                                   << QByteArray("(no boundary)");
    QTest::newRow("no boundary") << QByteArray("multipart/form-data") << a1 << QByteArray("(no boundary)");
}

// The boundary comes from the header, unquoted or quoted; the editor's framing and the
// browsers' both parse; anything else is malformed.
void TestParts::multipart()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, fields);
    const auto boundary = vidodu::BoundaryOf(contentType.toStdString());
    QCOMPARE(boundary ? Parsed(body, QByteArray::fromStdString(*boundary)) : QByteArray("(no boundary)"), fields);
}

void TestParts::remotePaths_data()
{
    QTest::addColumn<QByteArray>("cp932");
    QTest::addColumn<QByteArray>("elements");
    QTest::newRow("data") << QByteArray("data") << QByteArray("data");
    QTest::newRow("nested, inner dots") << QByteArray("data/a..b/c") << QByteArray("data|a..b|c");
    QTest::newRow("trail byte 5C") << QByteArray("data/\x95\x5c") << QByteArray("data|表");
    QTest::newRow("trail byte 7C") << QByteArray("data/\x83\x7c") << QByteArray("data|ポ");
    QTest::newRow("half-width") << QByteArray("data/\xb1") << QByteArray("data|ｱ");
    QTest::newRow("wave dash") << QByteArray("data/\x81\x60") << QByteArray("data|～");
    QTest::newRow("circled one") << QByteArray("data/\x87\x40") << QByteArray("data|①");
    QTest::newRow("lone lead byte") << QByteArray("data/\x81") << QByteArray("(refused)");
    QTest::newRow("unassigned") << QByteArray("data/\xa0") << QByteArray("(refused)");
    QTest::newRow("DEL") << QByteArray("data/a\x7f") << QByteArray("(refused)");
}

// Paths convert from code page 932 before the rules look at them, element by element (the
// handler's refusal table holds the rules themselves). A name read from disk obeys the same
// rules in UTF-8, C1 controls included.
void TestParts::remotePaths()
{
    QFETCH(QByteArray, cp932);
    QFETCH(QByteArray, elements);
    const auto path = vidodu::RemotePath(std::string_view(cp932.constData(), cp932.size()));
    QByteArrayList parts;
    for (const auto &e : path.value_or(std::vector<std::string> {}))
        parts << QByteArray::fromStdString(e);
    QCOMPARE(path ? parts.join('|') : QByteArray("(refused)"), elements);
    QVERIFY(!vidodu::IsRealName("a\xc2\x85") && vidodu::IsRealName("\xc3\xa9"));
}

void TestParts::config_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("summary");
    QTest::newRow("minimal") << QByteArray("root = /srv/x\n") << QByteArray("/srv/x||67108864|");
    QTest::newRow("full") << QByteArray("# c\n\nroot=/r\r\npassword_hash = $argon2id$v=19$x\nmax_request_bytes = 2048\n"
                                        "allow_empty_password_from = 127.0.0.1, ::1\n")
                          << QByteArray("/r|$argon2id$v=19$x|2048|127.0.0.1,::1");
    QTest::newRow("empty hash") << QByteArray("root = /r\npassword_hash =\n") << QByteArray("/r||67108864|");
    QTest::newRow("no root") << QByteArray("password_hash = $argon2id$x\n") << QByteArray("no root");
    QTest::newRow("relative root") << QByteArray("root = srv\n") << QByteArray("root must be an absolute folder");
    QTest::newRow("plain password") << QByteArray("root = /r\npassword_hash = secret\n")
                                    << QByteArray("password_hash must come from vidodu.cgi --hash-password");
    const QByteArray size = "max_request_bytes must be a number from 1024 to 1073741824";
    QTest::newRow("size not a number") << QByteArray("root = /r\nmax_request_bytes = 10M\n") << size;
    QTest::newRow("size too small") << QByteArray("root = /r\nmax_request_bytes = 1023\n") << size;
    QTest::newRow("size too large") << QByteArray("root = /r\nmax_request_bytes = 1073741825\n") << size;
    QTest::newRow("public address") << QByteArray("root = /r\nallow_empty_password_from = 192.0.2.1\n")
                                    << QByteArray("allow_empty_password_from takes loopback addresses only");
    QTest::newRow("misspelt key") << QByteArray("root = /r\npasword_hash = $argon2id$x\n")
                                  << QByteArray("unknown key pasword_hash");
    QTest::newRow("no equals sign") << QByteArray("\nroot /r\n") << QByteArray("line 2: no '='");
}

// A configuration with any doubtful line is not valid, which refuses every request, and says
// which line for the web server's error log.
void TestParts::config()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, summary);
    const vidodu::Config c = vidodu::ParseConfig(text.toStdString());
    QByteArrayList from;
    for (const auto &a : c.emptyPasswordFrom)
        from << QByteArray::fromStdString(a);
    QCOMPARE(QByteArray::fromStdString(
                 c.valid ? c.root + "|" + c.passwordHash + "|" + std::to_string(c.maxRequestBytes) : c.error)
            + (c.valid ? "|" + from.join(',') : QByteArray()),
        summary);
    QCOMPARE(vidodu::ConfigPath("", "/srv/cgi-bin/vidodu.cgi"), std::string("/srv/cgi-bin/vidodu.conf"));
    QCOMPARE(vidodu::ConfigPath("/etc/v.conf", "/srv/cgi-bin/vidodu.cgi"), std::string("/etc/v.conf"));
}

void TestParts::throttleKeys_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArray>("key");
    QTest::newRow("IPv4") << QByteArray("192.0.2.1") << QByteArray("192.0.2.1");
    QTest::newRow("IPv6 by its /64") << QByteArray("2001:db8:1:2:3:4:5:6") << QByteArray("2001:db8:1:2::");
    QTest::newRow("IPv4-mapped") << QByteArray("::ffff:192.0.2.1") << QByteArray("192.0.2.1");
    QTest::newRow("not an address") << QByteArray("evil 1 1\n") << QByteArray("?");
    QTest::newRow("empty") << QByteArray() << QByteArray("?");
}

// One host is one bucket: an IPv6 host owns its /64; the state file stays parseable.
void TestParts::throttleKeys()
{
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, key);
    QCOMPARE(QByteArray::fromStdString(vidodu::AddressKey(address.toStdString())), key);
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
    QTest::newRow("many chunks") << QByteArray(200'000, 'x') << QByteArray("200000") << QByteArray(200'000, 'x');
    QTest::newRow("input ends early") << QByteArray("abc") << QByteArray("6") << QByteArray("(refused)");
    // A claimed terabyte costs nothing before it arrives.
    QTest::newRow("huge claim") << QByteArray("abc") << QByteArray("1099511627776") << QByteArray("(refused)");
    QTest::newRow("missing") << QByteArray("abc") << QByteArray() << QByteArray("(no length)");
    QTest::newRow("negative") << QByteArray("abc") << QByteArray("-1") << QByteArray("(no length)");
    QTest::newRow("not a number") << QByteArray("abc") << QByteArray("3x") << QByteArray("(no length)");
    QTest::newRow("too many digits") << QByteArray("abc") << QByteArray("99999999999999999999999")
                                     << QByteArray("(no length)");
}

// CONTENT_LENGTH must be a number, and the body must be all there.
void TestParts::bodyReader()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, contentLength);
    QFETCH(QByteArray, body);
    QTemporaryFile file;
    QVERIFY(file.open() && file.write(input) == input.size() && file.seek(0));
    const auto length = vidodu::ContentLength(contentLength.isNull() ? nullptr : contentLength.constData());
    QCOMPARE(length ? Text(vidodu::ReadBody(file.handle(), *length)) : QByteArray("(no length)"), body);
}

QTEST_GUILESS_MAIN(TestParts)
#include "tst_parts.moc"
