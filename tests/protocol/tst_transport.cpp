// The request cycle over a real socket, against a scripted server that answers as told,
// including in ways no correct server does.

#include "platform/cp932.h"
#include "protocol/framing.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <ctime>

using namespace modPublic;

namespace {

// A tiny HTTP server on 127.0.0.1 and a free port: it reads each request whole and hands the
// socket to the test's script, which may answer in pieces, cut the answer off, or never answer.
class ScriptedServer : public QObject {
public:
    struct Request {
        QByteArray head, body;   // head: the request line and header lines
        QByteArray header(const QByteArray &name) const
        {
            for (const QByteArray &line : head.split('\n')) {
                if (line.toLower().startsWith(name.toLower() + ':'))
                    return line.mid(name.size() + 1).trimmed();
            }
            return {};
        }
    };
    QList<Request> requests;

    explicit ScriptedServer(std::function<void(QTcpSocket *)> script)
        : m_script(std::move(script))
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString serverText() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        Request request{buffer.left(headEnd), {}};
        const qsizetype end = headEnd + 4 + request.header("Content-Length").toLongLong();
        if (headEnd < 0 || buffer.size() < end)
            return;
        request.body = buffer.mid(headEnd + 4, end - headEnd - 4);
        buffer.remove(0, end);
        requests.append(request);
        m_script(socket);
    }
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    std::function<void(QTcpSocket *)> m_script;
};

QByteArray response(const QByteArray &statusLine, const QByteArray &body)
{
    return statusLine + "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
        + body;
}

// Writes the pieces gapMs apart, then closes the connection when asked to.
void sendPieces(QTcpSocket *socket, QList<QByteArray> pieces, int gapMs, bool closeAfter)
{
    if (pieces.isEmpty()) {
        if (closeAfter)
            socket->disconnectFromHost();
        return;
    }
    socket->write(pieces.takeFirst());
    socket->flush();
    if (!pieces.isEmpty() || closeAfter)
        QTimer::singleShot(pieces.isEmpty() ? 0 : gapMs, socket, [=] { sendPieces(socket, pieces, gapMs, closeAfter); });
}

const QByteArray kOkHead = "HTTP/1.1 200 OK";
const QString kJapanese = QString::fromUtf8("日本語の文書ｱｲｳ～①");

QByteArray chunk(const QByteArray &data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

FieldList checkFields()
{
    return {{"command", "CHECK"}, {"pass", "pw"}};
}

// Process CPU time, all threads.
double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

class tst_Transport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void cleanup()
    {
        setStallTimeoutForTesting(0);
        setTransferControl(nullptr);
        setCommandHandler(nullptr);
    }

    void requestOnTheWire();
    void replies_data();
    void replies();
    void unreachable_data();
    void unreachable();
    void windowStaysResponsive();
    void secondRequestWhileWaiting();
    void proxyNotUsed();
    void registeredTransferControl();
    void chunksNeverCutACharacter();
};

// The request goes to the path under the server text, with the header line as framed and the
// body as code page 932 bytes exactly as framed.
void tst_Transport::requestOnTheWire()
{
    ScriptedServer server([](QTcpSocket *s) { s->write(response(kOkHead, "Save OK\n")); });
    strServer = server.serverText() + QStringLiteral("/cgi-bin");
    strPassword = QStringLiteral("pw");
    const QString content = QStringLiteral("line 1\r\n") + kJapanese + QStringLiteral("\r\n");

    QCOMPARE(SaveRemoteFile(QString::fromUtf8("data/日本"), QString::fromUtf8("ソ表.txt"), content), QStringLiteral("OK"));
    QCOMPARE(server.requests.size(), 1);
    const ScriptedServer::Request &request = server.requests.constFirst();
    QVERIFY2(request.head.startsWith("POST /cgi-bin/vidodu.cgi HTTP/1.1\r\n"), request.head.constData());
    const QByteArray contentType = request.header("Content-Type");
    const auto match = QRegularExpression(QStringLiteral("^multipart/form-data; boundary=(===\\d{12}===[A-Za-z0-9]{15}-{20})$"))
                           .match(QString::fromLatin1(contentType));
    QVERIFY2(match.hasMatch(), contentType.constData());
    const FieldList fields{{"command", "SAVEFILE"}, {"pass", "pw"},
                           {"file", QString::fromUtf8("data/日本/ソ表.txt")}, {"content", content}};
    const QByteArray expected = cp932::Encode(FrameBody(fields, match.captured(1)));
    QCOMPARE(request.body, expected);
    QVERIFY(request.body.contains("data/\x93\xfa\x96\x7b/\x83\x5c\x95\x5c.txt"));
    QCOMPARE(request.header("Content-Length"), QByteArray::number(expected.size()));
}

void tst_Transport::replies_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<int>("stallMs");
    QTest::addColumn<QString>("expected");

    const QByteArray japanese = cp932::Encode(kJapanese);   // the first character is two bytes
    const QByteArray chunkedHead = kOkHead + "\r\nTransfer-Encoding: chunked\r\n\r\n";
    QTest::newRow("chunks joined in order, a character split between them")
        << QList<QByteArray>{chunkedHead, chunk("data\n" + japanese.left(1)), chunk(japanese.mid(1, 6)),
                             chunk(japanese.mid(7)), "0\r\n\r\n"}
        << false << 0 << QStringLiteral("data\n") + kJapanese;
    // Stray and unassigned bytes read the same however the body is split.
    const QByteArray odd = "data\n\x82\n\x82" "A\x93\xfa\x85\x40\xa0\xfd\x81\x81\x60 \x93";
    QList<QByteArray> bytewise{kOkHead + "\r\nContent-Length: " + QByteArray::number(odd.size()) + "\r\n\r\n"};
    for (char c : odd)
        bytewise.append(QByteArray(1, c));
    QTest::newRow("every byte its own piece, broken characters too")
        << bytewise << false << 0 << cp932::Decode(odd);
    const QByteArray sized = response(kOkHead, "data\n" + japanese);
    QTest::newRow("one body written in pieces")
        << QList<QByteArray>{sized.left(20), sized.mid(20, sized.size() - 26), sized.right(6)} << false << 0
        << QStringLiteral("data\n") + kJapanese;
    QTest::newRow("empty body") << QList<QByteArray>{response(kOkHead, "")} << false << 0 << QString();
    QTest::newRow("server error page is the reply")
        << QList<QByteArray>{response("HTTP/1.1 500 Internal Server Error", "<h1>Error</h1>\n")}
        << false << 0 << QStringLiteral("<h1>Error</h1>\n");
    QTest::newRow("not found page is the reply")
        << QList<QByteArray>{response("HTTP/1.1 404 Not Found", "missing")} << false << 0
        << QStringLiteral("missing");
    QTest::newRow("redirect is not followed")
        << QList<QByteArray>{"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/x\r\nContent-Length: 5\r\n\r\nmoved"}
        << false << 0 << QStringLiteral("moved");
    QTest::newRow("body up to the close")
        << QList<QByteArray>{"HTTP/1.0 200 OK\r\nConnection: close\r\n\r\nOK\n", "more"} << true << 0
        << QStringLiteral("OK\nmore");
    QTest::newRow("cut in the middle of a sized body")
        << QList<QByteArray>{kOkHead + "\r\nContent-Length: 100\r\n\r\ndata\nabc"} << true << 0 << QString();
    QTest::newRow("cut in the middle of chunks")
        << QList<QByteArray>{chunkedHead, chunk("data\nabc")} << true << 0 << QString();
    QTest::newRow("closed without an answer") << QList<QByteArray>{} << true << 0 << QString();
    QTest::newRow("no HTTP at all") << QList<QByteArray>{"garbage\r\n\r\n"} << true << 0 << QString();
    QTest::newRow("accepts and never answers") << QList<QByteArray>{} << false << 300 << QString();
    QTest::newRow("headers, then silence")
        << QList<QByteArray>{kOkHead + "\r\nContent-Length: 10\r\n\r\nOK"} << false << 300 << QString();
    QList<QByteArray> drip{kOkHead + "\r\nContent-Length: 8\r\n\r\n"};
    for (char c : QByteArray("OK\nslow\n"))
        drip.append(QByteArray(1, c));
    QTest::newRow("slow but steady: each piece is progress")
        << drip << false << 600 << QStringLiteral("OK\nslow\n");
}

// Every server behaviour ends the wait: a whole body is the reply, whatever its status; a
// broken or stalled transfer gives the empty reply.
void tst_Transport::replies()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, closeAfter);
    QFETCH(int, stallMs);
    QFETCH(QString, expected);
    const int gapMs = stallMs > 0 ? stallMs / 4 : 20;   // well inside the stall time-out
    ScriptedServer server([&](QTcpSocket *s) { sendPieces(s, pieces, gapMs, closeAfter); });
    setStallTimeoutForTesting(stallMs);
    strReply = QStringLiteral("previous");
    const QString reply = ServerCommand(server.serverText(), checkFields());
    QCOMPARE(reply, expected);
    QCOMPARE(strReply, expected);
    QVERIFY(!blnReplyDone);
    QVERIFY(!server.requests.isEmpty());
}

void tst_Transport::unreachable_data()
{
    QTest::addColumn<QString>("server");
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    QTest::newRow("refused") << QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    QTest::newRow("empty") << QString();
    QTest::newRow("port out of range") << QStringLiteral("127.0.0.1:99999");
    QTest::newRow("blank inside the host") << QStringLiteral("127.0.0 .1");
}

// A refused connection or a server text that makes no usable address ends the wait with the
// empty reply instead of hanging it, and the command fails.
void tst_Transport::unreachable()
{
    QFETCH(QString, server);
    setStallTimeoutForTesting(2000);
    strReply = QStringLiteral("previous");
    QCOMPARE(ServerCommand(server, checkFields()), QString());
    QCOMPARE(strReply, QString());
    QVERIFY(!CheckServer(server, "pw"));
}

// Window events go on while a request waits, and the wait sleeps between them instead of
// spinning a core.
void tst_Transport::windowStaysResponsive()
{
    ScriptedServer server([](QTcpSocket *s) {
        sendPieces(s, {kOkHead + "\r\nContent-Length: 3\r\n\r\n", "O", "K", "\n"}, 200, false);
    });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(10);
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    QCOMPARE(ServerCommand(server.serverText(), checkFields()), QStringLiteral("OK\n"));
    const double cpu = cpuSeconds() - cpuBefore, wallSeconds = wall.elapsed() / 1000.0;
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QVERIFY2(wallSeconds >= 0.5, qPrintable(QString::number(wallSeconds)));
    QVERIFY2(cpu < wallSeconds / 2, qPrintable(QStringLiteral("cpu %1 s of %2 s").arg(cpu).arg(wallSeconds)));
}

// A request made while one waits fails at once, and the waiting one completes undisturbed.
void tst_Transport::secondRequestWhileWaiting()
{
    bool answered = false;
    ScriptedServer server([&answered](QTcpSocket *s) {
        QTimer::singleShot(300, s, [s, &answered] {
            s->write(response(kOkHead, "data\nfirst"));
            answered = true;
        });
    });
    strServer = server.serverText();
    QString second = QStringLiteral("not run");
    bool secondBeforeAnswer = false;
    QTimer::singleShot(50, this, [&] {
        second = ReadRemoteFile("data", "other.txt");
        secondBeforeAnswer = !answered;
    });
    QCOMPARE(ListRemoteFolders("data"), QStringList{"first"});
    QCOMPARE(second, QStringLiteral("NG"));
    QVERIFY(secondBeforeAnswer);
    QCOMPARE(server.requests.size(), 1);
}

// No proxy is asked for: the script is reached directly, whatever the environment says.
void tst_Transport::proxyNotUsed()
{
    struct RecordingFactory : QNetworkProxyFactory {
        int queries = 0;
        QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &) override
        {
            ++queries;
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        }
    };
    auto *factory = new RecordingFactory;
    QNetworkProxyFactory::setApplicationProxyFactory(factory);
    ScriptedServer server([](QTcpSocket *s) { s->write(response(kOkHead, "OK")); });
    // Qt itself never asks about loopback names; 0.0.0.0 reaches this machine all the same.
    QVERIFY(CheckServer(server.serverText().replace("127.0.0.1", "0.0.0.0"), "pw"));
    QCOMPARE(factory->queries, 0);
    QNetworkProxyFactory::setApplicationProxyFactory(nullptr);
}

// The main window's transfer control carries the requests once it is handed in.
void tst_Transport::registeredTransferControl()
{
    ScriptedServer server([](QTcpSocket *s) { s->write(response(kOkHead, "OK")); });
    auto *control = new inetConn;
    QSignalSpy states(control, &inetConn::StateChanged);
    setTransferControl(control);
    QVERIFY(CheckServer(server.serverText(), "pw"));
    QVERIFY(states.contains(QVariantList{int(inetConn::icResponseCompleted)}));
    // Gone with its window: the shared control takes over.
    delete control;
    QVERIFY(CheckServer(server.serverText(), "pw"));
    QCOMPARE(server.requests.size(), 2);
}

// GetChunk hands out at most the asked bytes and never half a double-byte character.
void tst_Transport::chunksNeverCutACharacter()
{
    const QString body = QStringLiteral("ab") + QString(40000, QChar(0x65E5)) + QStringLiteral("z");
    ScriptedServer server([&body](QTcpSocket *s) { s->write(response(kOkHead, cp932::Encode(body))); });
    inetConn control;
    QSignalSpy states(&control, &inetConn::StateChanged);
    control.Execute(ServerUrl(server.serverText()), "POST", "x", "Content-Type: text/plain\r\n");
    QTRY_VERIFY(states.contains(QVariantList{int(inetConn::icResponseCompleted)}));
    QStringList chunks;
    for (QString piece = control.GetChunk(65535); !piece.isEmpty(); piece = control.GetChunk(65535))
        chunks.append(piece);
    QCOMPARE(chunks.join(QString()), body);
    QCOMPARE(chunks.size(), 2);
    QCOMPARE(cp932::ByteCount(chunks.at(0)), 65534);   // one more character would take 65536
    QCOMPARE(control.GetChunk(65535), QString());
    // Asked for less than one character, it still moves on.
    control.Execute(ServerUrl(server.serverText()), "POST", "x", "Content-Type: text/plain\r\n");
    QTRY_COMPARE(states.count(QVariantList{int(inetConn::icResponseCompleted)}), 2);
    QCOMPARE(control.GetChunk(1), QStringLiteral("a"));
    QCOMPARE(control.GetChunk(0), QStringLiteral("b"));
    QCOMPARE(control.GetChunk(1), QString(QChar(0x65E5)));
}

QTEST_GUILESS_MAIN(tst_Transport)
#include "tst_transport.moc"
