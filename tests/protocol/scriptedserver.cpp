#include "scriptedserver.h"

#include <QTimer>

ScriptedServer::ScriptedServer(Script script)
    : m_script(std::move(script))
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedServer::onConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

QString ScriptedServer::serverText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort());
}

QByteArray ScriptedServer::Request::header(const QByteArray &name) const
{
    const QByteArray prefix = name.toLower() + ':';
    for (const QByteArray &line : head.split('\n')) {
        if (line.toLower().startsWith(prefix))
            return line.mid(prefix.size()).trimmed();
    }
    return {};
}

void ScriptedServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
    }
}

void ScriptedServer::onReadable(QTcpSocket *socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd >= 0) {
        Request request;
        request.head = buffer.left(headEnd);
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() >= headEnd + 4 + length) {
            request.body = buffer.mid(headEnd + 4, length);
            buffer.remove(0, headEnd + 4 + length);
            socket->setProperty("buffer", buffer);
            requests.append(request);
            m_script(socket);
            return;
        }
    }
    socket->setProperty("buffer", buffer);
}

void ScriptedServer::sendPieces(QTcpSocket *socket, const QList<QByteArray> &pieces, int gapMs, bool closeAfter)
{
    const QPointer<QTcpSocket> target(socket);
    if (!target)
        return;
    if (pieces.isEmpty()) {
        if (closeAfter)
            target->disconnectFromHost();
        return;
    }
    target->write(pieces.constFirst());
    target->flush();
    const QList<QByteArray> rest = pieces.mid(1);
    if (rest.isEmpty() && !closeAfter)
        return;
    QTimer::singleShot(rest.isEmpty() ? 0 : gapMs, target,
                       [target, rest, gapMs, closeAfter] { sendPieces(target, rest, gapMs, closeAfter); });
}

QByteArray ScriptedServer::response(const QByteArray &statusLine, const QByteArray &body)
{
    return statusLine + "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size())
           + "\r\n\r\n" + body;
}
