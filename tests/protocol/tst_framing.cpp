// The request on the wire: boundary, header line, body bytes, address, and the fields of
// each of the ten commands.

#include "platform/cp932.h"
#include "protocol/framing.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <deque>

using namespace modPublic;

namespace {

const QString B = QStringLiteral("===261205074201===AbCdEfGhIjKlMn0--------------------");

QByteArray part(const QByteArray &name, const QByteArray &value)
{
    return "--" + B.toLatin1() + "\r\nContent-Disposition:form-data;name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

QByteArray closing()
{
    return "--" + B.toLatin1() + "--";
}

// The boundary drawn with 15 times the letter.
QString drawn(char letter)
{
    return QStringLiteral("===261205074201===") + QString(15, QLatin1Char(letter)) + QString(20, QLatin1Char('-'));
}

QByteArray wireBody(const FieldList &fields, const QString &boundary = B)
{
    return cp932::Encode(FrameBody(fields, boundary));
}

} // namespace

class tst_Framing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void cleanup()
    {
        setCommandHandler(nullptr);
        strServer = QStringLiteral("127.0.0.1");
        strPassword.clear();
    }

    void body_data();
    void body();
    void header();
    void url_data();
    void url();
    void commandFields_data();
    void commandFields();
    void boundaryForm();
    void boundaryRedrawn_data();
    void boundaryRedrawn();
};

void tst_Framing::body_data()
{
    QTest::addColumn<FieldList>("fields");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("check example")
        << FieldList{{"command", "CHECK"}, {"pass", "secret"}}
        << QByteArray("--===261205074201===AbCdEfGhIjKlMn0--------------------\r\n"
                      "Content-Disposition:form-data;name=\"command\"\r\n\r\nCHECK\r\n"
                      "--===261205074201===AbCdEfGhIjKlMn0--------------------\r\n"
                      "Content-Disposition:form-data;name=\"pass\"\r\n\r\nsecret\r\n"
                      "--===261205074201===AbCdEfGhIjKlMn0----------------------");
    QTest::newRow("value with CR LF inside and at its end")
        << FieldList{{"content", "line 1\r\nline 2\r\n\r\n"}}
        << part("content", "line 1\r\nline 2\r\n\r\n") + closing();
    QTest::newRow("lone CR and LF unchanged") << FieldList{{"content", "a\rb\nc"}} << part("content", "a\rb\nc") + closing();
    QTest::newRow("japanese values as code page 932")
        << FieldList{{"path", QString::fromUtf8("data/日本語")}, {"name", QString::fromUtf8("ソ表ｱｲｳ～①")}}
        << part("path", "data/\x93\xfa\x96\x7b\x8c\xea") + part("name", "\x83\x5c\x95\x5c\xb1\xb2\xb3\x81\x60\x87\x40")
               + closing();
    QTest::newRow("empty value") << FieldList{{"pass", ""}} << part("pass", "") + closing();
    QTest::newRow("blanks and quotes verbatim") << FieldList{{"name", " \"a\"; b "}} << part("name", " \"a\"; b ") + closing();
    QTest::newRow("no fields") << FieldList{} << closing();
}

// The body is laid out byte for byte as the script parses it, values verbatim, no final CR LF.
void tst_Framing::body()
{
    QFETCH(FieldList, fields);
    QFETCH(QByteArray, expected);
    QCOMPARE(wireBody(fields), expected);
}

// The header line has its blanks and the boundary unquoted, despite its "=" characters.
void tst_Framing::header()
{
    QCOMPARE(FrameHeader(B), QStringLiteral("Content-Type: multipart/form-data; boundary="
                                            "===261205074201===AbCdEfGhIjKlMn0--------------------\r\n"));
}

void tst_Framing::url_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("expected");
    QTest::newRow("host") << "127.0.0.1" << "http://127.0.0.1/vidodu.cgi";
    QTest::newRow("port") << "127.0.0.1:8080" << "http://127.0.0.1:8080/vidodu.cgi";
    QTest::newRow("path") << "127.0.0.1/cgi-bin" << "http://127.0.0.1/cgi-bin/vidodu.cgi";
    QTest::newRow("port and path") << "example.jp:81/~user/bin" << "http://example.jp:81/~user/bin/vidodu.cgi";
    QTest::newRow("nothing trimmed") << " host/ " << "http:// host/ /vidodu.cgi";
}

// The server text stands between "http://" and "/vidodu.cgi" untouched.
void tst_Framing::url()
{
    QFETCH(QString, server);
    QFETCH(QString, expected);
    QCOMPARE(ServerUrl(server), expected);
}

void tst_Framing::commandFields_data()
{
    QTest::addColumn<std::function<void()>>("operation");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QByteArray>("expected");
    // The parts of a command sent with the module's password "pw", then the given fields.
    const auto parts = [](const QByteArray &command, std::initializer_list<std::pair<QByteArray, QByteArray>> fields) {
        QByteArray body = part("command", command) + part("pass", "pw");
        for (const auto &[name, value] : fields)
            body += part(name, value);
        return body + closing();
    };
    using Op = std::function<void()>;
    QTest::newRow("CHECK") << Op([] { CheckServer("typed.example:8080/x", "typed"); }) << "typed.example:8080/x"
                           << part("command", "CHECK") + part("pass", "typed") + closing();
    QTest::newRow("LISTFOLDERS") << Op([] { ListRemoteFolders("data/a"); }) << "srv"
                                 << parts("LISTFOLDERS", {{"path", "data/a"}});
    QTest::newRow("LISTFILES") << Op([] { ListRemoteFiles("data"); }) << "srv" << parts("LISTFILES", {{"path", "data"}});
    QTest::newRow("READFILE") << Op([] { ReadRemoteFile("data/a", "n.txt"); }) << "srv"
                              << parts("READFILE", {{"file", "data/a/n.txt"}});
    QTest::newRow("SAVEFILE") << Op([] { SaveRemoteFile("data/a", "n.txt", "x\r\ny"); }) << "srv"
                              << parts("SAVEFILE", {{"file", "data/a/n.txt"}, {"content", "x\r\ny"}});
    QTest::newRow("NEWFOLDER") << Op([] { NewRemoteFolder("data/a/new"); }) << "srv"
                               << parts("NEWFOLDER", {{"path", "data/a/new"}});
    QTest::newRow("DELETEFOLDER") << Op([] { DeleteRemoteFolder("data/a"); }) << "srv"
                                  << parts("DELETEFOLDER", {{"path", "data/a"}});
    QTest::newRow("RENAMEFOLDER") << Op([] { RenameRemoteFolder("data/a", "b"); }) << "srv"
                                  << parts("RENAMEFOLDER", {{"path", "data/a"}, {"name", "b"}});
    QTest::newRow("DELETEFILE") << Op([] { DeleteRemoteFile("data/a/n.txt"); }) << "srv"
                                << parts("DELETEFILE", {{"path", "data/a/n.txt"}});
    QTest::newRow("RENAMEFILE") << Op([] { RenameRemoteFile("data/a/n.txt", "m.txt"); }) << "srv"
                                << parts("RENAMEFILE", {{"path", "data/a/n.txt"}, {"name", "m.txt"}});
}

// Each command sends "command", "pass" and its own fields in their order; CHECK uses the
// server and password it is given, the others the module state.
void tst_Framing::commandFields()
{
    QFETCH(std::function<void()>, operation);
    QFETCH(QString, server);
    QFETCH(QByteArray, expected);
    strServer = QStringLiteral("srv");
    strPassword = QStringLiteral("pw");
    QStringList servers;
    QList<FieldList> requests;
    setCommandHandler([&](const QString &s, const FieldList &fields) {
        servers.append(s);
        requests.append(fields);
        return QString();
    });
    operation();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(servers.constFirst(), server);
    QCOMPARE(wireBody(requests.constFirst()), expected);
}

// A boundary is "===", the clock's yymmddhhnnss, "===", 15 letters or digits, 20 hyphens; over
// many draws every letter and digit turns up, and a request's boundary carries its local time.
void tst_Framing::boundaryForm()
{
    const QRegularExpression form(QStringLiteral("^===(\\d{12})===[A-Za-z0-9]{15}-{20}$"));
    QSet<QChar> seen;
    for (int i = 0; i < 400; ++i) {
        const QString boundary = MakeBoundary(QDateTime(QDate(2009, 1, 2), QTime(23, 4, 5)));
        QCOMPARE(form.match(boundary).captured(1), QStringLiteral("090102230405"));
        for (QChar c : QStringView(boundary).mid(18, 15))
            seen.insert(c);
    }
    QCOMPARE(seen.size(), 62);
    const QDateTime before = QDateTime::currentDateTime();
    const QString digits = form.match(MakeBoundary()).captured(1);
    const QString format = QStringLiteral("yyMMddHHmmss");
    QVERIFY(digits == before.toString(format) || digits == QDateTime::currentDateTime().toString(format));
}

void tst_Framing::boundaryRedrawn_data()
{
    QTest::addColumn<FieldList>("fields");
    QTest::addColumn<QString>("expectedBoundary");
    const QString b1 = drawn('A'), b2 = drawn('B'), b3 = drawn('C');
    QTest::newRow("no value holds it") << FieldList{{"content", "plain"}} << b1;
    QTest::newRow("the content holds the first")
        << FieldList{{"content", "x\r\n--" + b1 + "--"}} << b2;
    QTest::newRow("two values hold the first two")
        << FieldList{{"name", "a" + b1}, {"content", b2 + "z"}} << b3;
    QTest::newRow("a part of it is no collision") << FieldList{{"content", b1.left(52)}} << b1;
}

// A value that contains the boundary makes a new one drawn, so no document cuts its request.
void tst_Framing::boundaryRedrawn()
{
    QFETCH(FieldList, fields);
    QFETCH(QString, expectedBoundary);
    std::deque<QString> draws{drawn('A'), drawn('B'), drawn('C')};
    const FramedRequest request = FrameRequest(fields, [&draws] {
        QString next = draws.front();
        draws.pop_front();
        return next;
    });
    QCOMPARE(request.boundary, expectedBoundary);
    QCOMPARE(request.header, FrameHeader(expectedBoundary));
    QCOMPARE(request.body, FrameBody(fields, expectedBoundary));
}

QTEST_GUILESS_MAIN(tst_Framing)
#include "tst_framing.moc"
