#pragma once

// A tiny HTTP server inside the test process, on 127.0.0.1 with a free port. It reads each
// request whole and hands the socket to the test's script, which may answer in pieces, cut
// the answer off, or never answer at all.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

class ScriptedServer : public QObject {
public:
    using Script = std::function<void(QTcpSocket *socket)>;

    explicit ScriptedServer(Script script);
    bool listening() const { return m_server.isListening(); }
    QString serverText() const;   // "127.0.0.1:PORT"

    struct Request {
        QByteArray head;   // request line and header lines, up to the empty line
        QByteArray body;
        QByteArray header(const QByteArray &name) const;   // value of the first such line
    };
    QList<Request> requests;

    // Writes the pieces one after the other, gapMs apart; closes the connection afterwards
    // when asked to.
    static void sendPieces(QTcpSocket *socket, const QList<QByteArray> &pieces, int gapMs, bool closeAfter);
    static QByteArray response(const QByteArray &statusLine, const QByteArray &body);

private:
    void onConnection();
    void onReadable(QTcpSocket *socket);

    QTcpServer m_server;
    Script m_script;
};
