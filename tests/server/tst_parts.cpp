// The pieces of vidodu.cgi that need no disk: multipart parsing, names, the rule for the
// empty password's headers, the throttle's keys and state file.

#include "multipartbody.h"
#include "server/auth.h"
#include "server/multipart.h"
#include "server/names.h"
#include "server/throttle.h"

#include <QtTest>

using servertest::EditorBody;
using Bytes = QByteArray;

class TestParts : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void multipart_data();
    void multipart();
    void remotePaths_data();
    void remotePaths();
    void fromThisMachine_data();
    void fromThisMachine();
    void throttleState();
};

void TestParts::multipart_data()
{
    QTest::addColumn<Bytes>("boundary"); // as the Content-Type header gives it
    QTest::addColumn<Bytes>("body");
    QTest::addColumn<Bytes>("fields");
    const auto row = [](const char *name, const Bytes &type, const Bytes &body, const Bytes &fields) {
        QTest::newRow(name) << type << body << fields;
    };
    const auto part = [](const Bytes &headers, const Bytes &value = "1") {
        return "--xyz\r\n" + headers + "\r\n\r\n" + value + "\r\n--xyz--";
    };
    const Bytes b = servertest::kBoundary, x = "xyz", bad = "(malformed)", none = "(no boundary)";
    const Bytes a1 = EditorBody({ { "a", "1" } }), cr = "a\r\n--\r\n--" + b.left(9) + "\r\n", in = "x\r\n--" + b + "x";
    row("editor framing", b, EditorBody({ { "command", "CHECK" }, { "pass", "" } }), "command=CHECK|pass=");
    row("value with CR LF and dashes", b, EditorBody({ { "content", cr } }), "content=" + cr);
    row("boundary inside a line", b, EditorBody({ { "content", in } }), "content=" + in);
    row("quoted, browser framing", "\"x\\yz\"", part("Content-Disposition: form-data; name=\"a\"") + "\r\n", "a=1");
    row("upper case, charset after", "xyz; charset=x", part("CONTENT-DISPOSITION: form-data; name=a"), "a=1");
    row("content type first", x, part("content-type: text/plain\r\ncontent-disposition: form-data; name=p"), "p=1");
    row("blanks after boundary", x, "--xyz \r\nContent-Disposition:form-data;name=a\r\n\r\n1\r\n--xyz--", "a=1");
    row("no parts", x, "--xyz--", "");
    row("preamble", b, "junk\r\n" + a1, bad);
    row("no closing delimiter", b, a1.chopped(2), bad);
    row("epilogue", b, a1 + "more", bad);
    row("no disposition", x, part("Content-Type: text/plain"), bad);
    row("no name", x, part("Content-Disposition: form-data"), bad);
    row("attachment", x, part("Content-Disposition: attachment; name=a"), bad);
    row("unclosed quote", x, part("Content-Disposition: form-data; name=\"a"), bad);
    row("bare LF", x, "--xyz\nContent-Disposition: form-data; name=a\n\n1\n--xyz--", bad);
    row("other boundary", x, a1, bad);
    row("empty boundary", "", a1, none);
    row("boundary too long", Bytes(201, 'b'), a1, none);
}

// The boundary comes from the header, unquoted or quoted; the editor's framing and the
// browsers' both parse; anything else is malformed.
void TestParts::multipart()
{
    QFETCH(Bytes, boundary);
    QFETCH(Bytes, body);
    QFETCH(Bytes, fields);
    const auto b = vidodu::BoundaryOf(("multipart/form-data; boundary=" + boundary).toStdString());
    const auto parsed = b ? vidodu::ParseMultipart(std::string_view(body.constData(), body.size()), *b) : std::nullopt;
    QByteArrayList out;
    for (const auto &f : parsed.value_or(std::vector<vidodu::FormField> {}))
        out << Bytes::fromStdString(f.name) + '=' + Bytes(f.value.data(), qsizetype(f.value.size()));
    QCOMPARE(!b ? Bytes("(no boundary)") : parsed ? out.join('|') : Bytes("(malformed)"), fields);
    QVERIFY(!vidodu::BoundaryOf("multipart/mixed; boundary=xyz") && !vidodu::BoundaryOf("multipart/form-data"));
}

void TestParts::remotePaths_data()
{
    QTest::addColumn<Bytes>("cp932");
    QTest::addColumn<Bytes>("elements");
    QTest::newRow("data") << Bytes("data") << Bytes("data");
    QTest::newRow("nested, inner dots") << Bytes("data/a..b/c") << Bytes("data|a..b|c");
    QTest::newRow("trail byte 5C") << Bytes("data/\x95\x5c") << Bytes("data|表");
    QTest::newRow("trail byte 7C") << Bytes("data/\x83\x7c") << Bytes("data|ポ");
    QTest::newRow("half-width") << Bytes("data/\xb1") << Bytes("data|ｱ");
    QTest::newRow("wave dash") << Bytes("data/\x81\x60") << Bytes("data|～");
    QTest::newRow("lone lead byte") << Bytes("data/\x81") << Bytes("(refused)");
    QTest::newRow("unassigned") << Bytes("data/\xa0") << Bytes("(refused)");
}

// Paths convert from code page 932 before the rules look at them, element by element (the
// handler's refusal table holds the rules). Names read from disk obey the same rules in
// UTF-8, C1 controls included.
void TestParts::remotePaths()
{
    QFETCH(Bytes, cp932);
    QFETCH(Bytes, elements);
    QByteArrayList parts;
    const auto path = vidodu::RemotePath(cp932.toStdString());
    for (const auto &e : path.value_or(std::vector<std::string> {}))
        parts << Bytes::fromStdString(e);
    QCOMPARE(path ? parts.join('|') : Bytes("(refused)"), elements);
    QVERIFY(!vidodu::IsRealName("a\xc2\x85") && vidodu::IsRealName("\xc3\xa9"));
}

void TestParts::fromThisMachine_data()
{
    QTest::addColumn<QString>("headers"); // Host, Origin and Sec-Fetch-Site; "-" for none
    QTest::addColumn<bool>("allowed");
    for (const char *ok : { "127.0.0.1:8080 - -", "- - -", "localhost:8080 - -", "[::1]:80 - -",
             "localhost http://localhost same-origin", "127.0.0.1 https://127.0.0.1 none" })
        QTest::newRow(ok) << QString(ok) << true;
    for (const char *refused : { "evil.example:8080 - -", "127.0.0.1:80x - -", "127.0.0.1: - -", "[::1 - -",
             "[::1]x - -", "127.0.0.1:8080 http://127.0.0.1:3000 -", "127.0.0.1 null -", "- http://127.0.0.1 -",
             "127.0.0.1 - cross-site", "127.0.0.1 - same-site" })
        QTest::newRow(refused) << QString(refused) << false;
}

// The empty password is for the editor on this machine: never for a page of another site in a
// browser here, nor for a name that a DNS rebinding points at 127.0.0.1.
void TestParts::fromThisMachine()
{
    QFETCH(QString, headers);
    QFETCH(bool, allowed);
    QStringList h = headers.split(' ');
    for (QString &value : h)
        value = value == "-" ? QString() : value;
    QCOMPARE(vidodu::FromThisMachine(h[0].toStdString(), h[1].toStdString(), h[2].toStdString()), allowed);
}

// One host is one bucket (an IPv6 host owns its /64); the state file is read with suspicion:
// bad lines, old windows and huge counts go.
void TestParts::throttleState()
{
    QCOMPARE(vidodu::AddressKey("192.0.2.1"), std::string("192.0.2.1"));
    QCOMPARE(vidodu::AddressKey("2001:db8:1:2:3:4:5:6"), std::string("2001:db8:1:2::"));
    QCOMPARE(vidodu::AddressKey("::ffff:192.0.2.1"), std::string("192.0.2.1"));
    QCOMPARE(vidodu::AddressKey("x 1 1\n"), std::string("?"));
    const auto table = vidodu::ParseFailures("192.0.2.1 999990 3\n"
                                             "192.0.2.2 999400 5\n" // window over
                                             "192.0.2.3 999999 99999 -1\n" // counts clamped
                                             "192.0.2.7 999999 2 5\n"
                                             "x 999990 1\n192.0.2.4 1000001 1\n192.0.2.5 x 1\n192.0.2.6 999990\n",
        1'000'000);
    QCOMPARE(Bytes::fromStdString(vidodu::FormatFailures(table)),
        Bytes("192.0.2.1 999990 3 0\n192.0.2.3 999999 10 0\n192.0.2.7 999999 2 2\n"));
}

QTEST_GUILESS_MAIN(TestParts)
#include "tst_parts.moc"
