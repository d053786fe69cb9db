// Answers no working vidodu.cgi gives: a web server's error page, an empty body, garbage, a
// connection refused or cut. Every one of the ten operations turns each of them into its
// failure result, soon, so the editor shows its message and keeps the user's text.

#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "randombytes.h"
#include "support/fakeplatform.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace modPublic;

namespace {

// Answers every request with the same bytes once the request is in whole, then closes.
class CannedServer : public QObject {
public:
    explicit CannedServer(QByteArray answer)
        : m_answer(std::move(answer))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { onReadable(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString serverText() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    void onReadable(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        const qsizetype headEnd = request.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QByteArray head = request.left(headEnd).toLower();
        const qsizetype at = head.indexOf("content-length:");
        const qsizetype length
            = at < 0 ? 0 : head.mid(at + 15, head.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (request.size() < headEnd + 4 + length)
            return;
        m_pending.remove(socket);
        socket->write(m_answer);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QByteArray m_answer;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

QByteArray httpResponse(const QByteArray &status, const QByteArray &type, const QByteArray &body)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\n\r\n" + body;
}

// The result of every operation, as one text per operation; the failure forms are
// false, "NG" and the list ("NG").
QStringList allOperations(const QString &server)
{
    const QString folder = QStringLiteral("data/手紙");
    return {
        CheckServer(server, QString()) ? QStringLiteral("true") : QStringLiteral("false"),
        ListRemoteFolders(folder).join(QLatin1Char('|')),
        ListRemoteFiles(folder).join(QLatin1Char('|')),
        ReadRemoteFile(folder, QStringLiteral("下書き.txt")),
        SaveRemoteFile(folder, QStringLiteral("下書き.txt"), QStringLiteral("本文\r\n")),
        NewRemoteFolder(folder + QStringLiteral("/new")),
        DeleteRemoteFolder(folder),
        RenameRemoteFolder(folder, QStringLiteral("other")),
        DeleteRemoteFile(folder + QStringLiteral("/下書き.txt")),
        RenameRemoteFile(folder + QStringLiteral("/下書き.txt"), QStringLiteral("x.txt")),
    };
}

const QStringList kAllFailed = { QStringLiteral("false"), QStringLiteral("NG"), QStringLiteral("NG"),
    QStringLiteral("NG"), QStringLiteral("NG"), QStringLiteral("NG"), QStringLiteral("NG"), QStringLiteral("NG"),
    QStringLiteral("NG"), QStringLiteral("NG") };

} // namespace

class tst_ReplyFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void cleanup() { setStallTimeoutForTesting(0); }

    void answersOfABrokenServer_data();
    void answersOfABrokenServer();
    void connectionRefused();
};

void tst_ReplyFaults::answersOfABrokenServer_data()
{
    QTest::addColumn<QByteArray>("answer");
    const QByteArray html = "<!DOCTYPE html>\n<html><head><title>500 Internal Server Error</title></head>\n"
                            "<body><h1>Internal Server Error</h1></body></html>\n";
    QTest::newRow("500 error page") << httpResponse("500 Internal Server Error", "text/html", html);
    QTest::newRow("404 page") << httpResponse("404 Not Found", "text/html", "<html>404 Not Found</html>\n");
    QTest::newRow("403 empty") << httpResponse("403 Forbidden", "text/plain", "");
    QTest::newRow("200 empty body") << httpResponse("200 OK", "text/plain", "");
    QTest::newRow("200 garbage") << httpResponse("200 OK", "text/plain", faults::RandomBytes(4096, 1));
    QTest::newRow("200 script source") << httpResponse("200 OK", "text/plain", "#!/usr/bin/perl\nprint \"NG\";\n");
    QTest::newRow("200 lone NG") << httpResponse("200 OK", "text/plain", "NG");
    QTest::newRow("200 NG and LF") << httpResponse("200 OK", "text/plain", "NG\n");
    QTest::newRow("200 CR LF lines") << httpResponse("200 OK", "text/plain", "data/手紙\r\nSave OK\r\n");
    QTest::newRow("not HTTP at all") << faults::RandomBytes(512, 2);
    QTest::newRow("cut in the headers") << QByteArray("HTTP/1.1 200 OK\r\nContent-Len");
    QTest::newRow("cut in the body") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nSave OK\n");
    QTest::newRow("closed at once") << QByteArray();
}

// Whatever a broken server answers, every operation gives its failure result and none hangs.
void tst_ReplyFaults::answersOfABrokenServer()
{
    QFETCH(QByteArray, answer);
    CannedServer server(answer);
    strServer = server.serverText();
    setStallTimeoutForTesting(5000);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(allOperations(server.serverText()), kAllFailed);
    QVERIFY2(clock.elapsed() < 5000, "answered within the time-out");
}

// A port where nothing listens: every operation fails at once, not at the time-out.
void tst_ReplyFaults::connectionRefused()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    strServer = QStringLiteral("127.0.0.1:%1").arg(port);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(allOperations(strServer), kAllFailed);
    QVERIFY2(clock.elapsed() < kStallTimeoutMs, "refused at once");
}

QTEST_GUILESS_MAIN(tst_ReplyFaults)
#include "tst_replyfaults.moc"
