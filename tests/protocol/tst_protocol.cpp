// The request cycle: how a request is framed and what a reply means, as plain rules; then over
// a real socket, against a scripted server that answers as told, including in ways no correct
// server does.

#include "platform/cp932.h"
#include "protocol/framing.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "protocol/replies.h"
#include "support/scriptedserver.h"
#include "support/tables.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace modPublic;
using testsupport::HttpResponse;
using testsupport::ScriptedHttpServer;

namespace {

const QString B = QStringLiteral("===261205074201===AbCdEfGhIjKlMn0--------------------");
const QByteArray kOkHead = "HTTP/1.1 200 OK";
const QString kJapanese = QString::fromUtf8("日本語の文書ｱｲｳ～①");

// The boundary drawn with 15 times the letter.
QString drawn(char letter)
{
    return QStringLiteral("===261205074201===") + QString(15, QLatin1Char(letter)) + QString(20, QLatin1Char('-'));
}

QByteArray chunk(const QByteArray &data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

using Pieces = QList<QByteArray>;

} // namespace

const char *const kDrip = "slow but steady: each piece is progress";

class tst_Protocol : public QObject {
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

    // The body is laid out byte for byte as the script parses it, values verbatim in code page 932,
    // no final CR LF.
    void body()
    {
        const FieldList fields { { "command", "CHECK" },
            { "content", QString::fromUtf8("a\r\nb\rc\n \"q\"; ソｱ～①\r\n") } };
        QCOMPARE(cp932::Encode(FrameBody(fields, B)),
            "--" + B.toLatin1() + "\r\nContent-Disposition:form-data;name=\"command\"\r\n\r\nCHECK\r\n--" + B.toLatin1()
                + "\r\nContent-Disposition:form-data;name=\"content\"\r\n\r\na\r\nb\rc\n \"q\"; \x83\x5c\xb1\x81\x60\x87\x40\r\n\r\n--"
                + B.toLatin1() + "--");
        QCOMPARE(FrameBody({}, B), "--" + B + "--");
    }

    // A value that contains the boundary makes a new one drawn, so no document cuts its request; a
    // value holding only a part of it does not. How the request reaches the script, its path, header
    // and code page, the real-script pass proves.
    void boundaryRedrawn()
    {
        const FieldList fields { { "n", "a" + drawn('A') }, { "c", "x\r\n--" + drawn('B') + "--" },
            { "d", drawn('C').left(52) } };
        char next = 'A';
        const FramedRequest request = FrameRequest(fields, [&next] { return drawn(next++); });
        QCOMPARE(request.boundary, drawn('C'));
        QCOMPARE(request.header, "Content-Type: multipart/form-data; boundary=" + drawn('C') + "\r\n");
        QCOMPARE(request.body, cp932::Encode(FrameBody(fields, drawn('C'))));
        // A document's bytes go last, framed as a text value is, and they too make a new boundary drawn.
        next = 'A';
        const QByteArray bytes = "\x82\xa0" + drawn('C').toLatin1();
        QCOMPARE(FrameRequest(
                     fields, [&next] { return drawn(next++); }, ByteField { "e", bytes })
                     .body,
            cp932::Encode(FrameBody(fields + FieldList { { "e", "あ" + drawn('C') } }, drawn('D'))));
        // A drawn boundary: the time, 15 letters or digits, 20 dashes.
        QVERIFY(
            QRegularExpression(QStringLiteral("^===\\d{12}===[A-Za-z0-9]{15}-{20}$")).match(MakeBoundary()).hasMatch());
    }

    void replyRules_data() { testsupport::AddTableRows(QStringLiteral("reply-rules.txt")); }

    // Lines end at LF only and compare exactly: CHECK passes on a reply beginning with "OK" and
    // names a feature among the words of its "features: " line; a status command on its own
    // success line; a listing gives the lines after the folder's path; READFILE everything after
    // the file's path.
    void replyRules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, reply);
        const auto listing = ListingReplyResult(reply, u"data/a");
        const auto read = ReadReplyResult(cp932::Encode(reply), u"data/a/n");
        const QMap<QString, QString> results { { "check", QVariant(CheckReplyResult(reply)).toString() },
            { "feature", QVariant(CheckReplyFeature(reply, u"history")).toString() },
            { "status", StatusReplyResult(reply, u"Save OK") },
            { "listing", listing ? QString::number(listing->size()) + u'[' + listing->join(u'|') + u']' : "none" },
            { "read", read ? cp932::Decode(*read) : "none" } };
        QTEST(results.value(rule), "expected");
    }

    void replies_data()
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
        QTest::newRow(kDrip) << drip << false << "OK\n!";
        QTest::newRow("error page") << Pieces { HttpResponse("HTTP/1.1 500 Error", "<h1>") } << false << "<h1>";
        QTest::newRow("redirect not followed")
            << Pieces { "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 2\r\n\r\nOK" } << false
            << "OK";
        QTest::newRow("body up to the close") << Pieces { "HTTP/1.0 200 OK\r\n\r\nOK\n", "more" } << true << "OK\nmore";
        // Broken transfers give the empty reply, which every operation takes for failure.
        QTest::newRow("cut in the sized body")
            << Pieces { kOkHead + "\r\nContent-Length: 99\r\n\r\nOK\n" } << true << "";
        QTest::newRow("silent from the start") << Pieces {} << false << "";
        QTest::newRow("silent in the body") << Pieces { kOkHead + "\r\nContent-Length: 99\r\n\r\nOK\n" } << false << "";
    }

    // Whatever the server does, the wait ends: a body that arrived whole is the reply, whatever its
    // status; a broken transfer, or one without progress for the stall time-out, gives "".
    void replies()
    {
        QFETCH(Pieces, pieces);
        QFETCH(bool, closeAfter);
        QFETCH(QString, expected);
        ScriptedHttpServer server;
        // Pieces 50 ms apart, the drip's 300 ms apart; Qt asks again once when a connection breaks
        // early. The stall time-out is far longer than any gap and shorter than the whole drip.
        server.replyRaw(pieces, closeAfter, qstrcmp(QTest::currentDataTag(), kDrip) == 0 ? 300 : 50);
        setStallTimeoutForTesting(1000);
        strReply = QStringLiteral("previous");
        QCOMPARE(ServerCommand(server.serverText(), { { "command", "CHECK" } }), expected);
        QCOMPARE(strReply, expected);
        QVERIFY(!blnReplyDone);
    }

    // Window events go on while a request waits; a request made meanwhile fails at once, and the
    // waiting one completes undisturbed.
    void secondRequestWhileWaiting()
    {
        ScriptedHttpServer server;
        server.reply(QStringLiteral("data/n\nfirst"), QStringLiteral("READFILE file=data/n"));
        strServer = server.serverText();
        std::optional<QStringList> second { { "not run" } };
        QTimer::singleShot(0, this, [&] { second = ListRemoteFolders("data"); });
        QCOMPARE(ReadRemoteFile("data", "n"), QStringLiteral("first"));
        QVERIFY(!second);
    }

    // A read sent early is the one a later read of the same file takes, whole with its version
    // once completed: the server sees it once. A read of another file sends its own.
    void earlyRead()
    {
        ScriptedHttpServer server;
        strServer = server.serverText();
        server.reply("data/n\nearly", "READFILE file=data/n", "HTTP/1.1 200 OK\r\nETag: \"v\"");
        server.reply("data/m\nother", "READFILE file=data/m");
        StartReadingRemoteDocument("data", "n");
        QTRY_VERIFY(blnReplyDone);
        const std::optional<RemoteDocument> early = ReadRemoteDocument("data", "n");
        QCOMPARE(early->text + early->version, "early\"v\"");
        QCOMPARE(ReadRemoteFile("data", "m"), "other");
        QCOMPARE(server.requests.size(), 2);
    }

    // A read gives the file's version; a save sends the version it expects (or that the file
    // must not exist yet), and is confirmed only when the server names the bytes that were sent.
    void versions()
    {
        ScriptedHttpServer server;
        strServer = server.serverText();
        server.reply("data/n\nx", "READFILE file=data/n", "HTTP/1.1 200 OK\r\nETag: \"old\"");
        QCOMPARE(ReadRemoteDocument("data", "n")->version, "\"old\"");
        const QByteArray sent = cp932::Encode(kJapanese), stored = VersionOf(sent).toLatin1();
        QCOMPARE(stored.size(), 66);
        const QString save = "SAVEFILE file=data/n content=" + kJapanese;
        server.reply("Save OK\n", save, "HTTP/1.1 200 OK\r\nETag: " + stored);
        server.reply("NG", save, "HTTP/1.1 412 Precondition Failed");
        server.reply("Save OK\n", save, "HTTP/1.1 200 OK\r\nEtag: \"other\"");
        server.reply("Save OK\n", save);
        QStringList outcomes;
        for (const SaveCondition &condition :
            { SaveCondition { "\"old\"" }, SaveCondition { {}, true }, SaveCondition {}, SaveCondition {} }) {
            const SaveOutcome outcome = SaveRemoteDocument("data", "n", sent, condition);
            outcomes << QString::number(int(outcome.result)) + outcome.version;
        }
        QCOMPARE(outcomes, (QStringList { "0" + stored, "2", "3\"other\"", "0" }));
        QStringList conditions;
        static const QRegularExpression condition(QStringLiteral("\r\nIf-(?:None-)?Match: ([^\r]*)"));
        for (const auto &request : server.requests.mid(1))
            conditions << condition.match(QString::fromLatin1(request.head)).captured(1);
        QCOMPARE(conditions, (QStringList { "\"old\"", "*", "", "" }));
    }

    // Another machine is reached through the system's proxy (http_proxy); this one directly.
    void systemProxy()
    {
        ScriptedHttpServer proxy, direct;
        qputenv("http_proxy", "http://" + proxy.serverText().toLatin1());
        proxy.reply(QStringLiteral("OK"), QStringLiteral("CHECK"));
        direct.reply(QStringLiteral("OK"), QStringLiteral("CHECK"));
        const bool viaProxy = CheckServer(QStringLiteral("lumeno.invalid:8080"), "pw");
        const bool directly = CheckServer(direct.serverText(), "pw");
        qunsetenv("http_proxy");
        QVERIFY(viaProxy && directly);
    }

    // The main window's transfer control carries the requests once handed in; when it goes, the
    // shared one takes over.
    void registeredTransferControl()
    {
        ScriptedHttpServer server;
        server.replyRaw({ HttpResponse(kOkHead, "OK") }, false, 0);
        auto *control = new inetConn;
        QSignalSpy states(control, &inetConn::StateChanged);
        setTransferControl(control);
        QVERIFY(CheckServer(server.serverText(), "pw"));
        QCOMPARE(states.last(), QVariantList { int(inetConn::icResponseCompleted) });
        server.onRequest = [control] { delete control; }; // a control that goes ends the wait with ""
        QVERIFY(!CheckServer(server.serverText(), "pw"));
        server.onRequest = nullptr;
        QVERIFY(CheckServer(server.serverText(), "pw"));
    }
};

QTEST_GUILESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
