// Answers no working vidodu.cgi gives: an error page, garbage, a body cut short, a connection
// closed or left silent. Every one of the ten operations turns each into its failure result,
// so the editor shows its message and keeps the user's text.

#include "protocol/modPublic.h"
#include "support/scriptedserver.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using namespace modPublic;

namespace {

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &b : bytes)
        b = char(random.bounded(256));
    return bytes;
}

// The result of every operation; the failure forms are false, "NG" and the list ("NG").
QStringList allOperations()
{
    const QString folder = QStringLiteral("data/a");
    return {QVariant(CheckServer(strServer, QString())).toString(), ListRemoteFolders(folder).join(u'|'),
            ListRemoteFiles(folder).join(u'|'), ReadRemoteFile(folder, "n.txt"), SaveRemoteFile(folder, "n.txt", "x"),
            NewRemoteFolder(folder), DeleteRemoteFolder(folder), RenameRemoteFolder(folder, "b"),
            DeleteRemoteFile(folder + "/n.txt"), RenameRemoteFile(folder + "/n.txt", "m.txt")};
}

} // namespace

class tst_ReplyFaults : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void cleanup() { setStallTimeoutForTesting(0); }
    void brokenAnswers_data();
    void brokenAnswers();
};

void tst_ReplyFaults::brokenAnswers_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("closeAfter");
    const auto ok = [](const QByteArray &body) { return testsupport::HttpResponse("HTTP/1.1 200 OK", body); };
    QTest::newRow("500 page") << QList<QByteArray>{testsupport::HttpResponse("HTTP/1.1 500 Error", "<html>OK\n")} << false;
    QTest::newRow("garbage") << QList<QByteArray>{ok(randomBytes(4096, 1))} << false;
    QTest::newRow("lone NG") << QList<QByteArray>{ok("NG")} << false;
    QTest::newRow("CR LF lines") << QList<QByteArray>{ok("data/a\r\nSave OK\r\n")} << false;
    QTest::newRow("not HTTP at all") << QList<QByteArray>{randomBytes(512, 2)} << true;
    QTest::newRow("cut in the headers") << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Len"} << true;
    QTest::newRow("cut in the sized body") << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\nOK\n"} << true;
    QTest::newRow("cut in the chunks")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "3\r\nOK\n\r\n"} << true;
    QTest::newRow("closed at once") << QList<QByteArray>{} << true;
    QTest::newRow("silent from the start") << QList<QByteArray>{} << false;
    QTest::newRow("silent after the start of the body")
        << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\nOK\n"} << false;
}

// Whatever a broken server answers, every operation gives its failure result; a silent one
// is given up after the stall time-out, here shortened.
void tst_ReplyFaults::brokenAnswers()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, closeAfter);
    testsupport::ScriptedServer server;
    server.replyAlways(pieces, closeAfter);   // Qt asks again once when a connection breaks early
    strServer = server.serverText();
    setStallTimeoutForTesting(300);
    QCOMPARE(allOperations(), (QStringList{"false", "NG", "NG", "NG", "NG", "NG", "NG", "NG", "NG", "NG"}));
}

QTEST_GUILESS_MAIN(tst_ReplyFaults)
#include "tst_replyfaults.moc"
