// The request cycle's plain rules: how a request is framed, and what a reply means.

#include "platform/cp932.h"
#include "protocol/framing.h"
#include "protocol/replies.h"

#include <QRegularExpression>
#include <QTest>
#include <deque>

using namespace modPublic;

namespace {

const QString B = QStringLiteral("===261205074201===AbCdEfGhIjKlMn0--------------------");

QByteArray part(const QByteArray &name, const QByteArray &value)
{
    return "--" + B.toLatin1() + "\r\nContent-Disposition:form-data;name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

const QByteArray kClosing = "--" + B.toLatin1() + "--";

// The boundary drawn with 15 times the letter.
QString drawn(char letter)
{
    return QStringLiteral("===261205074201===") + QString(15, QLatin1Char(letter)) + QString(20, QLatin1Char('-'));
}

// A list's items and their count: an empty list and a list of one empty item differ.
QString joined(const QStringList &list)
{
    return QString::number(list.size()) + u'[' + list.join(u'|') + u']';
}

using Rule = std::function<QString(const QString &reply)>;

} // namespace

class tst_Rules : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void body_data();
    void body();
    void boundaryRedrawn_data();
    void boundaryRedrawn();
    void replies_data();
    void replies();
};

void tst_Rules::body_data()
{
    QTest::addColumn<FieldList>("fields");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("check") << FieldList { { "command", "CHECK" }, { "pass", "secret" } }
                           << QByteArray("--===261205074201===AbCdEfGhIjKlMn0--------------------\r\n"
                                         "Content-Disposition:form-data;name=\"command\"\r\n\r\nCHECK\r\n"
                                         "--===261205074201===AbCdEfGhIjKlMn0--------------------\r\n"
                                         "Content-Disposition:form-data;name=\"pass\"\r\n\r\nsecret\r\n"
                                         "--===261205074201===AbCdEfGhIjKlMn0----------------------");
    QTest::newRow("line breaks and blanks verbatim") << FieldList { { "content", "a\r\nb\rc\n \"q\"; \r\n" } }
                                                     << part("content", "a\r\nb\rc\n \"q\"; \r\n") + kClosing;
    QTest::newRow("japanese as code page 932")
        << FieldList { { "path", QString::fromUtf8("data/日本") }, { "name", QString::fromUtf8("ソｱ～①") } }
        << part("path", "data/\x93\xfa\x96\x7b") + part("name", "\x83\x5c\xb1\x81\x60\x87\x40") + kClosing;
    QTest::newRow("no fields") << FieldList {} << kClosing;
}

// The body is laid out byte for byte as the script parses it, values verbatim, no final CR LF.
void tst_Rules::body()
{
    QFETCH(FieldList, fields);
    QFETCH(QByteArray, expected);
    QCOMPARE(cp932::Encode(FrameBody(fields, B)), expected);
}

void tst_Rules::boundaryRedrawn_data()
{
    QTest::addColumn<FieldList>("fields");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no value holds it") << FieldList { { "content", "plain" } } << drawn('A');
    QTest::newRow("the content holds the first")
        << FieldList { { "content", "x\r\n--" + drawn('A') + "--" } } << drawn('B');
    QTest::newRow("two values hold the first two")
        << FieldList { { "n", "a" + drawn('A') }, { "c", drawn('B') } } << drawn('C');
    QTest::newRow("a part of it is no collision") << FieldList { { "content", drawn('A').left(52) } } << drawn('A');
}

// A value that contains the boundary makes a new one drawn, so no document cuts its request.
void tst_Rules::boundaryRedrawn()
{
    QFETCH(FieldList, fields);
    QFETCH(QString, expected);
    std::deque<QString> draws { drawn('A'), drawn('B'), drawn('C') };
    const FramedRequest request = FrameRequest(fields, [&draws] {
        const QString next = draws.front();
        draws.pop_front();
        return next;
    });
    QCOMPARE(request.boundary, expected);
    QCOMPARE(request.header, FrameHeader(expected));
    QCOMPARE(request.body, FrameBody(fields, expected));
}

void tst_Rules::replies_data()
{
    QTest::addColumn<Rule>("rule");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    // CHECK: the reply begins with "OK".
    const Rule check = [](const QString &r) { return QVariant(CheckReplyResult(r)).toString(); };
    QTest::newRow("check begins with OK") << check << "OKAY"
                                          << "true";
    QTest::newRow("check lower case") << check << "ok"
                                      << "false";
    QTest::newRow("check NG") << check << "NG"
                              << "false";
    // Status: the text before the first LF is the command's success line.
    const Rule status = [](const QString &r) { return StatusReplyResult(r, u"Save OK"); };
    QTest::newRow("status line") << status << "Save OK\n"
                                 << "OK";
    QTest::newRow("status further lines ignored") << status << "Save OK\nNG"
                                                  << "OK";
    QTest::newRow("status without LF") << status << "Save OK"
                                       << "NG";
    QTest::newRow("another command's status") << status << "New Folder OK\n"
                                              << "NG";
    // Listing: the lines after the first, which must be the folder path sent.
    const Rule listing = [](const QString &r) { return joined(ListingReplyResult(r, u"data/a")); };
    QTest::newRow("names") << listing << "data/a\nx\ny"
                           << "2[x|y]";
    QTest::newRow("path alone: empty list") << listing << "data/a"
                                            << "0[]";
    QTest::newRow("ends with LF: empty last item") << listing << "data/a\nx\n"
                                                   << "2[x|]";
    QTest::newRow("other path") << listing << "data/b\nx"
                                << "1[NG]";
    QTest::newRow("listing NG") << listing << "NG"
                                << "1[NG]";
    // READFILE: everything after the first LF, when the line before it is the file asked for.
    const Rule read = [](const QString &r) { return ReadReplyResult(r, u"data/a/n.txt"); };
    QTest::newRow("content") << read << "data/a/n.txt\nx\r\n\r\n"
                             << "x\r\n\r\n";
    QTest::newRow("empty file") << read << "data/a/n.txt\n"
                                << "";
    QTest::newRow("another file") << read << "data/a/m.txt\nhello"
                                  << "NG";
    QTest::newRow("read NG") << read << "NG"
                             << "NG";
}

// Each reply means what the comment above its rows says.
void tst_Rules::replies()
{
    QFETCH(Rule, rule);
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    QCOMPARE(rule(reply), expected);
}

QTEST_GUILESS_MAIN(tst_Rules)
#include "tst_rules.moc"
