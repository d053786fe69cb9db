// The request cycle over a real socket, against a scripted server.

#include "platform/cp932.h"
#include "protocol/framing.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "support/scriptedserver.h"

#include <QNetworkProxy>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace modPublic;
using testsupport::HttpResponse;
using testsupport::ScriptedServer;

namespace {

const QByteArray kOkHead = "HTTP/1.1 200 OK";
const QString kJapanese = QString::fromUtf8("日本語の文書ｱｲｳ～①");

QByteArray chunk(const QByteArray &data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

using Operation = std::function<QString()>;   // one operation, its result as text

} // namespace

class tst_Transport : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        strPassword = QStringLiteral("pw");
    }
    void cleanup()
    {
        setStallTimeoutForTesting(0);
        setTransferControl(nullptr);
    }

    void requestOnTheWire();
    void operations_data();
    void operations();
    void bodies_data();
    void bodies();
    void unreachable_data();
    void unreachable();
    void secondRequestWhileWaiting();
    void proxyNotUsed();
    void registeredTransferControl();
    void chunksNeverCutACharacter();
};

// A POST to the path under the server text, the header as framed, the body as the framed
// text in code page 932, its length declared.
void tst_Transport::requestOnTheWire()
{
    ScriptedServer server;
    server.reply(QStringLiteral("Save OK\n"));
    strServer = server.serverText() + QStringLiteral("/cgi-bin");
    const QString content = QStringLiteral("line 1\r\n") + kJapanese;
    QCOMPARE(SaveRemoteFile(QString::fromUtf8("data/日本"), QString::fromUtf8("ソ.txt"), content), QStringLiteral("OK"));
    const ScriptedServer::Request &request = server.requests.constFirst();
    QVERIFY2(request.head.startsWith("POST /cgi-bin/vidodu.cgi HTTP/1.1\r\n"), request.head.constData());
    const auto match = QRegularExpression(QStringLiteral("^multipart/form-data; boundary=(===\\d{12}===[A-Za-z0-9]{15}-{20})$"))
                           .match(QString::fromLatin1(request.header("Content-Type")));
    QVERIFY2(match.hasMatch(), request.head.constData());
    const FieldList fields{{"command", "SAVEFILE"}, {"pass", "pw"}, {"file", QString::fromUtf8("data/日本/ソ.txt")}, {"content", content}};
    QCOMPARE(request.body, cp932::Encode(FrameBody(fields, match.captured(1))));
    QCOMPARE(request.header("Content-Length"), QByteArray::number(request.body.size()));
}

void tst_Transport::operations_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("request");   // what the script is asked, the password aside
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, Operation op, const char *request, const char *reply, const char *expected,
                        const char *pass = "pw") { QTest::newRow(name) << op << request << pass << reply << expected; };
    const auto list = [](const QStringList &l) { return l.join(u'|'); };
    row("check", [] { return QVariant(CheckServer(strServer, "typed")).toString(); }, "CHECK", "OK\n", "true", "typed");
    row("check refused", [] { return QVariant(CheckServer(strServer, "typed")).toString(); }, "CHECK", "NG", "false", "typed");
    row("folders", [=] { return list(ListRemoteFolders("data/a")); }, "LISTFOLDERS path=data/a", "data/a\nx\ny", "x|y");
    row("folders of another path", [=] { return list(ListRemoteFolders("data/a")); }, "LISTFOLDERS path=data/a", "data\nx", "NG");
    row("files", [=] { return list(ListRemoteFiles("data")); }, "LISTFILES path=data", "data\nn\td\t1", "n\td\t1");
    row("read", [] { return ReadRemoteFile("data/a", "n.txt"); }, "READFILE file=data/a/n.txt", "data/a/n.txt\nx", "x");
    row("read of another file", [] { return ReadRemoteFile("data/a", "n.txt"); }, "READFILE file=data/a/n.txt", "data/a\nx", "NG");
    row("save", [] { return SaveRemoteFile("data/a", "n.txt", "x\r\ny"); }, "SAVEFILE file=data/a/n.txt content=x\r\ny", "Save OK\n", "OK");
    row("new folder", [] { return NewRemoteFolder("data/b"); }, "NEWFOLDER path=data/b", "New Folder OK\n", "OK");
    row("delete folder", [] { return DeleteRemoteFolder("data/b"); }, "DELETEFOLDER path=data/b", "Delete Folder OK\n", "OK");
    row("rename folder", [] { return RenameRemoteFolder("data/b", "c"); }, "RENAMEFOLDER path=data/b name=c", "Rename Folder OK\n", "OK");
    row("delete file", [] { return DeleteRemoteFile("data/n"); }, "DELETEFILE path=data/n", "Delete File OK\n", "OK");
    row("rename file", [] { return RenameRemoteFile("data/n", "m"); }, "RENAMEFILE path=data/n name=m", "Rename File OK\n", "OK");
    row("rename file, a folder's status", [] { return RenameRemoteFile("data/n", "m"); }, "RENAMEFILE path=data/n name=m", "Rename Folder OK\n", "NG");
}

// Each operation sends "command", "pass" and its own fields in order, to the module's server
// with the module's password (CHECK: those it is given), and reads its own success form.
void tst_Transport::operations()
{
    QFETCH(Operation, operation);
    QFETCH(QString, request);
    QFETCH(QString, pass);
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    ScriptedServer server;
    strServer = server.serverText();
    server.reply(reply, request);
    QCOMPARE(operation(), expected);
    QCOMPARE(server.requests.constFirst().fields.value(1), (Field{"pass", pass}));
}

void tst_Transport::bodies_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<QString>("expected");
    const QByteArray japanese = cp932::Encode(kJapanese);   // its first character takes two bytes
    QTest::newRow("chunks joined in order, a character split between them")
        << QList<QByteArray>{kOkHead + "\r\nTransfer-Encoding: chunked\r\n\r\n", chunk("data\n" + japanese.left(1)),
                             chunk(japanese.mid(1, 6)), chunk(japanese.mid(7)), "0\r\n\r\n"}
        << false << QStringLiteral("data\n") + kJapanese;
    // Stray and unassigned bytes read the same however the body is split.
    const QByteArray odd = "data\n\x82\n\x82" "A\x93\xfa\x85\x40\xa0\xfd\x81\x81\x60 \x93";
    QList<QByteArray> bytewise{kOkHead + "\r\nContent-Length: " + QByteArray::number(odd.size()) + "\r\n\r\n"};
    for (char c : odd)
        bytewise.append(QByteArray(1, c));
    QTest::newRow("every byte its own piece") << bytewise << false << cp932::Decode(odd);
    QTest::newRow("error page is the reply") << QList<QByteArray>{HttpResponse("HTTP/1.1 500 Error", "<h1>")} << false << "<h1>";
    QTest::newRow("redirect is not followed")
        << QList<QByteArray>{"HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/x\r\nContent-Length: 5\r\n\r\nmoved"}
        << false << "moved";
    QTest::newRow("body up to the close") << QList<QByteArray>{"HTTP/1.0 200 OK\r\n\r\nOK\n", "more"} << true << "OK\nmore";
    QList<QByteArray> drip{kOkHead + "\r\nContent-Length: 8\r\n\r\n"};
    for (char c : QByteArray("OK\nslow\n"))
        drip.append(QByteArray(1, c));
    QTest::newRow("slow but steady: each piece is progress") << drip << false << "OK\nslow\n";
}

// A whole body is the reply, whatever its status and however it arrives. (Bodies that do not
// arrive whole are the fault tests' business.)
void tst_Transport::bodies()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, closeAfter);
    QFETCH(QString, expected);
    ScriptedServer server;
    server.replyRaw(pieces, closeAfter, 150);
    setStallTimeoutForTesting(600);   // longer than any gap, shorter than the drip
    QCOMPARE(ServerCommand(server.serverText(), {{"command", "CHECK"}}), expected);
    QCOMPARE(strReply, expected);
    QVERIFY(!blnReplyDone);
}

void tst_Transport::unreachable_data()
{
    QTest::addColumn<QString>("server");
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    QTest::newRow("refused") << QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    QTest::newRow("empty") << QString();
    QTest::newRow("port out of range") << QStringLiteral("127.0.0.1:99999");
}

// A server text that reaches nothing ends the wait with the empty reply instead of hanging it.
void tst_Transport::unreachable()
{
    QFETCH(QString, server);
    strReply = QStringLiteral("previous");
    QCOMPARE(ServerCommand(server, {{"command", "CHECK"}}), QString());
    QCOMPARE(strReply, QString());
}

// Window events go on while a request waits; a request made meanwhile fails at once, and the
// waiting one completes undisturbed.
void tst_Transport::secondRequestWhileWaiting()
{
    ScriptedServer server;
    server.replyRaw({HttpResponse(kOkHead, "data\nfirst")}, false, 0, QStringLiteral("LISTFOLDERS path=data"));
    strServer = server.serverText();
    QString second = QStringLiteral("not run");
    int answersBefore = -1;
    QTimer::singleShot(0, this, [&] {
        answersBefore = server.pending();
        second = ReadRemoteFile("data", "other.txt");
    });
    QCOMPARE(ListRemoteFolders("data"), QStringList{"first"});
    QCOMPARE(second, QStringLiteral("NG"));
    QCOMPARE(answersBefore, 1);   // the timer ran while the first request waited
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
    ScriptedServer server;
    server.reply(QStringLiteral("OK"));
    // Qt never asks about loopback names; 0.0.0.0 reaches this machine all the same.
    QVERIFY(CheckServer(server.serverText().replace("127.0.0.1", "0.0.0.0"), "pw"));
    QCOMPARE(factory->queries, 0);
    QNetworkProxyFactory::setApplicationProxyFactory(nullptr);
}

// The main window's transfer control carries the requests once handed in; when it goes, the
// shared one takes over.
void tst_Transport::registeredTransferControl()
{
    ScriptedServer server;
    server.reply(QStringLiteral("OK"));
    server.reply(QStringLiteral("OK"));
    auto *control = new inetConn;
    QSignalSpy states(control, &inetConn::StateChanged);
    setTransferControl(control);
    QVERIFY(CheckServer(server.serverText(), "pw"));
    QCOMPARE(states.last(), QVariantList{int(inetConn::icResponseCompleted)});
    delete control;
    QVERIFY(CheckServer(server.serverText(), "pw"));
}

// GetChunk hands out at most the asked bytes and never half a double-byte character; asked
// for less than one character, it still moves on.
void tst_Transport::chunksNeverCutACharacter()
{
    const QString body = QStringLiteral("ab") + QString(40000, QChar(0x65E5)) + QStringLiteral("z");
    ScriptedServer server;
    server.reply(body);
    server.reply(body);
    inetConn control;
    QSignalSpy states(&control, &inetConn::StateChanged);
    control.Execute(ServerUrl(server.serverText()), "POST", "x", "Content-Type: text/plain\r\n");
    QTRY_VERIFY(states.contains(QVariantList{int(inetConn::icResponseCompleted)}));
    const QString first = control.GetChunk(65535);
    QCOMPARE(cp932::ByteCount(first), 65534);   // one more character would take 65536
    const QString second = control.GetChunk(65535);
    QCOMPARE(first + second, body);
    QCOMPARE(control.GetChunk(65535), QString());
    control.Execute(ServerUrl(server.serverText()), "POST", "x", "Content-Type: text/plain\r\n");
    QTRY_COMPARE(states.count(QVariantList{int(inetConn::icResponseCompleted)}), 2);
    QCOMPARE(control.GetChunk(1), QStringLiteral("a"));
    QCOMPARE(control.GetChunk(0), QStringLiteral("b"));
    QCOMPARE(control.GetChunk(1), QString(QChar(0x65E5)));
}

QTEST_GUILESS_MAIN(tst_Transport)
#include "tst_transport.moc"
