#pragma once

// A small HTTP server on 127.0.0.1 and a free port that answers from a queue the test fills,
// including in ways no correct server does: bodies cut short, answers that stall, garbage.
// A request that nothing was queued for, or another request than the one queued, fails the
// running test; so does a queued answer left unused when the server goes.
//
//     testsupport::ScriptedHttpServer server;
//     server.reply(QStringLiteral("data\nletters"), QStringLiteral("LISTFOLDERS path=data"));
//     modPublic::strServer = server.serverText();

#include <QList>
#include <QObject>
#include <QTcpServer>
#include <deque>
#include <functional>

class QTcpSocket;

namespace testsupport {

class ScriptedHttpServer : public QObject {
public:
    struct Request {
        QList<std::pair<QString, QString>> fields; // the multipart fields, decoded
        QString command; // "COMMAND name=value ...": the command and every field after the password
        QByteArray head; // the request line and headers
    };

    ScriptedHttpServer();
    ~ScriptedHttpServer() override;
    QString serverText() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }

    // A response with the body in code page 932. request: the command the request must carry
    // (as Request::command gives it); empty takes any request. head: the status line, and any
    // header lines after it.
    void reply(const QString &body, const QString &request = {}, const QByteArray &head = "HTTP/1.1 200 OK");
    // Exactly these bytes, gapMs apart, then the connection closed or held open for ever; for
    // this request and every one after it.
    void replyRaw(const QList<QByteArray> &pieces, bool closeAfter, int gapMs = 10);

    QList<Request> requests;
    std::function<void()> onRequest; // called as each request arrives, before its answer

private:
    struct Answer {
        QString request;
        QList<QByteArray> pieces;
        bool closeAfter = false;
        int gapMs = 0;
        bool everyTime = false;
    };
    void read(QTcpSocket *socket);

    QTcpServer m_server;
    std::deque<Answer> m_answers;
};

// An HTTP/1.1 response with a Content-Length; statusLine as "HTTP/1.1 200 OK".
QByteArray HttpResponse(const QByteArray &statusLine, const QByteArray &body);

} // namespace testsupport
