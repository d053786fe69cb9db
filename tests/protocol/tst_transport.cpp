// The request cycle over a real socket, against a scripted server that answers as told,
// including in ways no correct server does.

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
using testsupport::ScriptedHttpServer;

namespace {

const QByteArray kOkHead = "HTTP/1.1 200 OK";
const QString kJapanese = QString::fromUtf8("日本語の文書ｱｲｳ～①");

QByteArray chunk(const QByteArray &data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

using Operation = std::function<QString()>; // one operation, its result as text
using Pieces = QList<QByteArray>;

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
    void replies_data();
    void replies();
    void secondRequestWhileWaiting();
    void proxyNotUsed();
    void registeredTransferControl();
    void chunksNeverCutACharacter();
};

// A POST to the path under the server text; the body is the framed text in code page 932,
// its boundary and length declared in the header.
void tst_Transport::requestOnTheWire()
{
    ScriptedHttpServer server;
    server.reply(QStringLiteral("Save OK\n"));
    strServer = server.serverText() + QStringLiteral("/cgi-bin");
    const QString content = QStringLiteral("line 1\r\n") + kJapanese;
    QCOMPARE(SaveRemoteFile(QString::fromUtf8("data/日本"), QString::fromUtf8("ソ.txt"), content), "OK");
    const ScriptedHttpServer::Request &request = server.requests.constFirst();
    const auto match = QRegularExpression(QStringLiteral("^POST /cgi-bin/vidodu.cgi HTTP/1.1\r\n.*"
                                                         "Content-Type: multipart/form-data; boundary="
                                                         "(===\\d{12}===[A-Za-z0-9]{15}-{20})\r\n"),
        QRegularExpression::DotMatchesEverythingOption)
                           .match(QString::fromLatin1(request.head));
    QVERIFY2(match.hasMatch(), request.head.constData());
    const FieldList fields { { "command", "SAVEFILE" }, { "pass", "pw" }, { "file", "data/日本/ソ.txt" },
        { "content", content } };
    QCOMPARE(request.body, cp932::Encode(FrameBody(fields, match.captured(1))));
    QVERIFY(request.head.contains("\r\nContent-Length: " + QByteArray::number(request.body.size()) + "\r\n"));
}

void tst_Transport::operations_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("request"); // what the script is asked, the password aside
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");
    const auto row = [](Operation op, const char *request, const char *reply, const char *expected) {
        QTest::newRow(request) << op << request << reply << expected;
    };
    row([] { return QVariant(CheckServer(strServer, "pw")).toString(); }, "CHECK", "OK\n", "true");
    row([] { return ListRemoteFolders("data/a").join(u'|'); }, "LISTFOLDERS path=data/a", "data/a\nx\ny", "x|y");
    row([] { return ListRemoteFiles("data").join(u'|'); }, "LISTFILES path=data", "data\nn\td\t1", "n\td\t1");
    row([] { return ReadRemoteFile("data/a", "n"); }, "READFILE file=data/a/n", "data/a/n\nx", "x");
    row([] { return SaveRemoteFile("data/a", "n", "x\r\ny"); }, "SAVEFILE file=data/a/n content=x\r\ny", "Save OK\n",
        "OK");
    row([] { return NewRemoteFolder("data/b"); }, "NEWFOLDER path=data/b", "New Folder OK\n", "OK");
    row([] { return DeleteRemoteFolder("data/b"); }, "DELETEFOLDER path=data/b", "Delete Folder OK\n", "OK");
    row([] { return RenameRemoteFolder("data/b", "c"); }, "RENAMEFOLDER path=data/b name=c", "Rename Folder OK\n",
        "OK");
    row([] { return DeleteRemoteFile("data/n"); }, "DELETEFILE path=data/n", "Delete File OK\n", "OK");
    row([] { return RenameRemoteFile("data/n", "m"); }, "RENAMEFILE path=data/n name=m", "Rename File OK\n", "OK");
}

// Each operation sends "command", "pass" (the module's password) and its own fields in order
// to the module's server, and reads its own success form.
void tst_Transport::operations()
{
    QFETCH(Operation, operation);
    QFETCH(QString, request);
    QFETCH(QString, reply);
    QFETCH(QString, expected);
    ScriptedHttpServer server;
    strServer = server.serverText();
    server.reply(reply, request);
    QCOMPARE(operation(), expected);
    QCOMPARE(server.requests.constFirst().fields.value(1), (Field { "pass", "pw" }));
}

void tst_Transport::replies_data()
{
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<QString>("expected");
    const QByteArray japanese = cp932::Encode(kJapanese); // its first character takes two bytes
    QTest::newRow("chunks joined in order, a character split between them")
        << Pieces { kOkHead + "\r\nTransfer-Encoding: chunked\r\n\r\n", chunk("data\n" + japanese.left(1)),
               chunk(japanese.mid(1, 6)), chunk(japanese.mid(7)), "0\r\n\r\n" }
        << false << QStringLiteral("data\n") + kJapanese;
    // Stray and unassigned bytes read the same however the body is split.
    const QByteArray odd = "data\n\x82\n\x82"
                           "A\x93\xfa\x85\x40\xa0\xfd\x81\x81\x60 \x93";
    Pieces bytewise { kOkHead + "\r\nContent-Length: " + QByteArray::number(odd.size()) + "\r\n\r\n" };
    for (char c : odd)
        bytewise.append(QByteArray(1, c));
    QTest::newRow("every byte its own piece") << bytewise << false << cp932::Decode(odd);
    const Pieces drip { kOkHead + "\r\nContent-Length: 4\r\n\r\n", "O", "K", "\n", "!" };
    QTest::newRow("slow but steady: each piece is progress") << drip << false << "OK\n!";
    QTest::newRow("error page") << Pieces { HttpResponse("HTTP/1.1 500 Error", "<h1>") } << false << "<h1>";
    QTest::newRow("redirect not followed")
        << Pieces { "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 2\r\n\r\nOK" } << false
        << "OK";
    QTest::newRow("body up to the close") << Pieces { "HTTP/1.0 200 OK\r\n\r\nOK\n", "more" } << true << "OK\nmore";
    // Broken transfers give the empty reply, which every operation takes for failure.
    QTest::newRow("not HTTP at all") << Pieces { "\x93\xfa garbage\r\n\r\n" } << true << "";
    QTest::newRow("cut in the headers") << Pieces { "HTTP/1.1 200 OK\r\nContent-Len" } << true << "";
    QTest::newRow("cut in the sized body") << Pieces { kOkHead + "\r\nContent-Length: 99\r\n\r\nOK\n" } << true << "";
    QTest::newRow("cut in the chunks") << Pieces { kOkHead + "\r\nTransfer-Encoding: chunked\r\n\r\n", chunk("OK\n") }
                                       << true << "";
    QTest::newRow("closed at once") << Pieces {} << true << "";
    QTest::newRow("silent from the start") << Pieces {} << false << "";
    QTest::newRow("silent in the body") << Pieces { kOkHead + "\r\nContent-Length: 99\r\n\r\nOK\n" } << false << "";
}

// Whatever the server does, the wait ends: a body that arrived whole is the reply, whatever its
// status; a broken transfer, or one without progress for the stall time-out, gives "".
void tst_Transport::replies()
{
    QFETCH(Pieces, pieces);
    QFETCH(bool, closeAfter);
    QFETCH(QString, expected);
    ScriptedHttpServer server;
    server.replyRaw(pieces, closeAfter, 100, -1); // Qt asks again once when a connection breaks early
    setStallTimeoutForTesting(400); // longer than any gap, shorter than the drip
    strReply = QStringLiteral("previous");
    QCOMPARE(ServerCommand(server.serverText(), { { "command", "CHECK" } }), expected);
    QCOMPARE(strReply, expected);
    QVERIFY(!blnReplyDone);
}

// Window events go on while a request waits; a request made meanwhile fails at once, and the
// waiting one completes undisturbed.
void tst_Transport::secondRequestWhileWaiting()
{
    ScriptedHttpServer server;
    server.reply(QStringLiteral("data\nfirst"), QStringLiteral("LISTFOLDERS path=data"));
    strServer = server.serverText();
    QString second = QStringLiteral("not run");
    QTimer::singleShot(0, this, [&] { second = ReadRemoteFile("data", "other.txt"); });
    QCOMPARE(ListRemoteFolders("data"), QStringList { "first" });
    QCOMPARE(second, QStringLiteral("NG"));
}

// No proxy is asked for: the script is reached directly, whatever the environment says.
void tst_Transport::proxyNotUsed()
{
    struct RefusingFactory : QNetworkProxyFactory {
        QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &) override
        {
            QTest::qFail("a proxy was asked for", __FILE__, __LINE__);
            return { QNetworkProxy(QNetworkProxy::NoProxy) };
        }
    };
    QNetworkProxyFactory::setApplicationProxyFactory(new RefusingFactory);
    ScriptedHttpServer server;
    server.reply(QStringLiteral("OK"));
    // Qt never asks about loopback names; 0.0.0.0 reaches this machine all the same.
    QVERIFY(CheckServer(server.serverText().replace("127.0.0.1", "0.0.0.0"), "pw"));
    QNetworkProxyFactory::setApplicationProxyFactory(nullptr);
}

// The main window's transfer control carries the requests once handed in; when it goes, the
// shared one takes over.
void tst_Transport::registeredTransferControl()
{
    ScriptedHttpServer server;
    server.replyRaw({ HttpResponse(kOkHead, "OK") }, false, 0, 2);
    auto *control = new inetConn;
    QSignalSpy states(control, &inetConn::StateChanged);
    setTransferControl(control);
    QVERIFY(CheckServer(server.serverText(), "pw"));
    QCOMPARE(states.last(), QVariantList { int(inetConn::icResponseCompleted) });
    delete control;
    QVERIFY(CheckServer(server.serverText(), "pw"));
}

// GetChunk hands out at most the asked bytes and never half a double-byte character; asked
// for less than one character, it still moves on.
void tst_Transport::chunksNeverCutACharacter()
{
    ScriptedHttpServer server;
    server.reply(QStringLiteral("ab") + QString(40000, QChar(0x65E5)));
    inetConn control;
    QSignalSpy states(&control, &inetConn::StateChanged);
    control.Execute(ServerUrl(server.serverText()), "POST", "x", "Content-Type: text/plain\r\n");
    QTRY_VERIFY(states.contains(QVariantList { int(inetConn::icResponseCompleted) }));
    QCOMPARE(control.GetChunk(1), QStringLiteral("a"));
    QCOMPARE(control.GetChunk(0), QStringLiteral("b"));
    QCOMPARE(control.GetChunk(1), QString(QChar(0x65E5)));
    const QString big = control.GetChunk(65535);
    QCOMPARE(cp932::ByteCount(big), 65534); // one more character would take 65536
    QCOMPARE(big.size() + 1 + control.GetChunk(65535).size(), 40000);
    QCOMPARE(control.GetChunk(65535), QString());
}

QTEST_GUILESS_MAIN(tst_Transport)
#include "tst_transport.moc"
