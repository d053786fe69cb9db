// The request cycle over a real socket, against a scripted server that answers as told,
// including in ways no correct server does.

#include "scriptedserver.h"

#include "platform/cp932.h"
#include "protocol/framing.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "support/fakeplatform.h"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <ctime>

using namespace modPublic;

namespace {

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
    void refusedConnection();
    void unusableServerText_data();
    void unusableServerText();
    void windowStaysResponsive();
    void waitSleeps();
    void secondRequestWhileWaiting();
    void proxyNotUsed();
    void registeredTransferControl();
    void chunksNeverCutACharacter();
};

// The request goes to the path under the server text, with the header line as framed and the
// body as code page 932 bytes exactly as framed.
void tst_Transport::requestOnTheWire()
{
    ScriptedServer server([](QTcpSocket *s) { s->write(ScriptedServer::response(kOkHead, "Save OK\n")); });
    QVERIFY(server.listening());
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
    const QByteArray sized = ScriptedServer::response(kOkHead, "data\n" + japanese);
    QTest::newRow("one body written in pieces")
        << QList<QByteArray>{sized.left(20), sized.mid(20, sized.size() - 26), sized.right(6)} << false << 0
        << QStringLiteral("data\n") + kJapanese;
    QTest::newRow("empty body") << QList<QByteArray>{ScriptedServer::response(kOkHead, "")} << false << 0 << QString();
    QTest::newRow("server error page is the reply")
        << QList<QByteArray>{ScriptedServer::response("HTTP/1.1 500 Internal Server Error", "<h1>Error</h1>\n")}
        << false << 0 << QStringLiteral("<h1>Error</h1>\n");
    QTest::newRow("not found page is the reply")
        << QList<QByteArray>{ScriptedServer::response("HTTP/1.1 404 Not Found", "missing")} << false << 0
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
    ScriptedServer server([&](QTcpSocket *s) { ScriptedServer::sendPieces(s, pieces, gapMs, closeAfter); });
    setStallTimeoutForTesting(stallMs);
    strReply = QStringLiteral("previous");

    const QString reply = ServerCommand(server.serverText(), checkFields());

    QCOMPARE(reply, expected);
    QCOMPARE(strReply, expected);
    QVERIFY(!blnReplyDone);
    QVERIFY(!server.requests.isEmpty());
}

// A refused connection ends the wait with the empty reply, and the command fails.
void tst_Transport::refusedConnection()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const QString server = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    strReply = QStringLiteral("previous");
    QCOMPARE(ServerCommand(server, checkFields()), QString());
    QVERIFY(!CheckServer(server, "pw"));
}

void tst_Transport::unusableServerText_data()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("empty") << QString();
    QTest::newRow("port out of range") << QStringLiteral("127.0.0.1:99999");
    QTest::newRow("blank inside the host") << QStringLiteral("127.0.0 .1");
}

// A server text that makes no usable address fails the request instead of hanging it.
void tst_Transport::unusableServerText()
{
    QFETCH(QString, server);
    setStallTimeoutForTesting(2000);
    strReply = QStringLiteral("previous");
    QCOMPARE(ServerCommand(server, checkFields()), QString());
}

// Window events go on while a request waits.
void tst_Transport::windowStaysResponsive()
{
    ScriptedServer server([](QTcpSocket *s) {
        ScriptedServer::sendPieces(s, {kOkHead + "\r\nContent-Length: 3\r\n\r\n", "O", "K", "\n"}, 100, false);
    });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(10);
    QCOMPARE(ServerCommand(server.serverText(), checkFields()), QStringLiteral("OK\n"));
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

// The wait sleeps until something happens instead of spinning a core.
void tst_Transport::waitSleeps()
{
    ScriptedServer server([](QTcpSocket *) {});
    setStallTimeoutForTesting(600);
    QElapsedTimer wall;
    const double cpuBefore = cpuSeconds();
    wall.start();
    QCOMPARE(ServerCommand(server.serverText(), checkFields()), QString());
    const double wallSeconds = wall.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;
    QVERIFY2(wallSeconds >= 0.5, qPrintable(QString::number(wallSeconds)));
    QVERIFY2(cpu < wallSeconds / 2, qPrintable(QStringLiteral("cpu %1 s of %2 s").arg(cpu).arg(wallSeconds)));
}

// A request made while one waits fails at once, and the waiting one completes undisturbed.
void tst_Transport::secondRequestWhileWaiting()
{
    bool answered = false;
    ScriptedServer server([&answered](QTcpSocket *s) {
        QTimer::singleShot(300, s, [s, &answered] {
            s->write(ScriptedServer::response(kOkHead, "data\nfirst"));
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
        QList<QNetworkProxyQuery> *queries;
        explicit RecordingFactory(QList<QNetworkProxyQuery> *q) : queries(q) {}
        QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
        {
            queries->append(query);
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        }
    };
    QList<QNetworkProxyQuery> queries;
    QNetworkProxyFactory::setApplicationProxyFactory(new RecordingFactory(&queries));
    ScriptedServer server([](QTcpSocket *s) { s->write(ScriptedServer::response(kOkHead, "OK")); });
    // Qt itself never asks about loopback names; 0.0.0.0 reaches this machine all the same.
    const bool ok = CheckServer(server.serverText().replace("127.0.0.1", "0.0.0.0"), "pw");
    QNetworkProxyFactory::setApplicationProxyFactory(nullptr);
    QVERIFY(ok);
    QCOMPARE(queries.size(), 0);
}

// The main window's transfer control carries the requests once it is handed in.
void tst_Transport::registeredTransferControl()
{
    ScriptedServer server([](QTcpSocket *s) { s->write(ScriptedServer::response(kOkHead, "OK")); });
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
    ScriptedServer server([&body](QTcpSocket *s) { s->write(ScriptedServer::response(kOkHead, cp932::Encode(body))); });
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
