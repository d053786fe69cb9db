#pragma once

// A small HTTP server on 127.0.0.1 and a free port that answers from a queue the test fills,
// including in ways no correct server does: bodies cut short, answers that stall, garbage.
// A request that nothing was queued for, or another request than the one queued, fails the
// running test; so does a queued answer left unused when the server goes.
//
//     testsupport::ScriptedServer server;
//     server.reply(QStringLiteral("data\nletters"), QStringLiteral("LISTFOLDERS path=data"));
//     modPublic::strServer = server.serverText();

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <deque>
#include <functional>
#include <optional>
#include <utility>

class QTcpSocket;

namespace testsupport {

class ScriptedServer : public QObject {
public:
    using Fields = QList<std::pair<QString, QString>>;
    struct Request {
        QByteArray head;   // the request line and the header lines
        QByteArray body;   // as it came, code page 932
        Fields fields;     // the multipart fields, decoded
        QByteArray header(const QByteArray &name) const;
        // "COMMAND name=value ...": the command and every field after the password.
        QString command() const;
    };

    ScriptedServer();
    ~ScriptedServer() override;
    QString serverText() const;   // "127.0.0.1:PORT"

    // A 200 response with the body in code page 932 and its length. request: the command the
    // request must carry (see Request::command); empty takes any request.
    void reply(const QString &body, const QString &request = {});
    // Exactly these bytes, gapMs apart; then the connection is closed, or held open for ever.
    void replyRaw(const QList<QByteArray> &pieces, bool closeAfter, int gapMs = 10, const QString &request = {});
    // The same bytes for every request from now on, however many come.
    void replyAlways(const QList<QByteArray> &pieces, bool closeAfter) { m_always = {{}, pieces, closeAfter, 10}; }
    int pending() const { return int(m_answers.size()); }

    QList<Request> requests;
    std::function<void()> onRequest;   // called as each request arrives, before its answer

private:
    struct Answer {
        QString request;
        QList<QByteArray> pieces;
        bool closeAfter;
        int gapMs;
    };
    void read(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request);

    QTcpServer m_server;
    std::deque<Answer> m_answers;
    std::optional<Answer> m_always;
};

// An HTTP/1.1 response with a Content-Length; statusLine as "HTTP/1.1 200 OK".
QByteArray HttpResponse(const QByteArray &statusLine, const QByteArray &body);

} // namespace testsupport
