#include "support/scriptedserver.h"

#include "platform/cp932.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace testsupport {

namespace {

// Writes the pieces gapMs apart, then closes the connection when asked to.
void sendPieces(const QPointer<QTcpSocket> &socket, QList<QByteArray> pieces, int gapMs, bool closeAfter)
{
    if (!socket)
        return;
    if (pieces.isEmpty()) {
        if (closeAfter)
            socket->disconnectFromHost();
        return;
    }
    socket->write(pieces.takeFirst());
    socket->flush();
    QTimer::singleShot(pieces.isEmpty() ? 0 : gapMs, socket, [=] { sendPieces(socket, pieces, gapMs, closeAfter); });
}

ScriptedServer::Fields parseFields(const QByteArray &head, const QByteArray &body)
{
    const qsizetype at = head.indexOf("boundary=");
    if (at < 0)
        return {};
    const QString delimiter = QStringLiteral("--") + QString::fromLatin1(head.mid(at + 9, head.indexOf('\r', at) - at - 9));
    const QStringList parts = cp932::Decode(body).split(delimiter);
    ScriptedServer::Fields fields;
    for (const QString &part : parts.mid(1, parts.size() - 2)) {
        const qsizetype nameStart = part.indexOf(QStringLiteral("name=\"")) + 6;
        const qsizetype valueStart = part.indexOf(QStringLiteral("\r\n\r\n")) + 4;
        fields.append({part.mid(nameStart, part.indexOf(u'"', nameStart) - nameStart),
                       part.mid(valueStart, part.size() - valueStart - 2)});
    }
    return fields;
}

} // namespace

QByteArray ScriptedServer::Request::header(const QByteArray &name) const
{
    for (const QByteArray &line : head.split('\n')) {
        if (line.toLower().startsWith(name.toLower() + ':'))
            return line.mid(name.size() + 1).trimmed();
    }
    return {};
}

QString ScriptedServer::Request::command() const
{
    QString text;
    for (const auto &[name, value] : fields) {
        if (name == QLatin1String("command"))
            text = value;
        else if (name != QLatin1String("pass"))
            text += QLatin1Char(' ') + name + QLatin1Char('=') + value;
    }
    return text;
}

ScriptedServer::ScriptedServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        }
    });
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        QTest::qFail("the scripted server cannot listen", __FILE__, __LINE__);
}

ScriptedServer::~ScriptedServer()
{
    if (!m_answers.empty())
        QTest::qFail(qPrintable(QStringLiteral("%1 queued answer(s) never asked for, the first for \"%2\"")
                                    .arg(m_answers.size())
                                    .arg(m_answers.front().request)),
                     __FILE__, __LINE__);
}

QString ScriptedServer::serverText() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort());
}

void ScriptedServer::reply(const QString &body, const QString &request)
{
    replyRaw({HttpResponse("HTTP/1.1 200 OK", cp932::Encode(body))}, false, 0, request);
}

void ScriptedServer::replyRaw(const QList<QByteArray> &pieces, bool closeAfter, int gapMs, const QString &request)
{
    m_answers.push_back({request, pieces, closeAfter, gapMs});
}

// Waits for the whole request, as its Content-Length says, before answering it.
void ScriptedServer::read(QTcpSocket *socket)
{
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    Request request{buffer.left(headEnd), {}, {}};
    const qsizetype end = headEnd + 4 + request.header("Content-Length").toLongLong();
    if (headEnd < 0 || buffer.size() < end) {
        socket->setProperty("buffer", buffer);
        return;
    }
    socket->setProperty("buffer", buffer.mid(end));
    request.body = buffer.mid(headEnd + 4, end - headEnd - 4);
    request.fields = parseFields(request.head, request.body);
    requests.append(request);
    if (onRequest)
        onRequest();
    answer(socket, request);
}

void ScriptedServer::answer(QTcpSocket *socket, const Request &request)
{
    if (m_always) {
        sendPieces(socket, m_always->pieces, m_always->gapMs, m_always->closeAfter);
        return;
    }
    if (m_answers.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("no answer queued for \"%1\"").arg(request.command())), __FILE__,
                     __LINE__);
        socket->disconnectFromHost();
        return;
    }
    const Answer next = m_answers.front();
    m_answers.pop_front();
    if (!next.request.isEmpty() && next.request != request.command()) {
        QTest::qFail(qPrintable(QStringLiteral("expected \"%1\", got \"%2\"").arg(next.request, request.command())),
                     __FILE__, __LINE__);
        socket->disconnectFromHost();
        return;
    }
    sendPieces(socket, next.pieces, next.gapMs, next.closeAfter);
}

QByteArray HttpResponse(const QByteArray &statusLine, const QByteArray &body)
{
    return statusLine + "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\n\r\n" + body;
}

} // namespace testsupport
