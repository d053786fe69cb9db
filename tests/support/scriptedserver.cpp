#include "support/scriptedserver.h"

#include "platform/cp932.h"

#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace testsupport {

namespace {

void sendPieces(const QPointer<QTcpSocket> &socket, QList<QByteArray> pieces, int gapMs, bool closeAfter)
{
    if (socket && pieces.isEmpty() && closeAfter)
        socket->disconnectFromHost();
    if (!socket || pieces.isEmpty())
        return;
    socket->write(pieces.takeFirst());
    socket->flush();
    QTimer::singleShot(pieces.isEmpty() ? 0 : gapMs, socket, [=] { sendPieces(socket, pieces, gapMs, closeAfter); });
}

} // namespace

ScriptedHttpServer::ScriptedHttpServer()
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

ScriptedHttpServer::~ScriptedHttpServer()
{
    if (!m_answers.empty() && !m_answers.front().everyTime)
        QTest::qFail(
            qPrintable(QStringLiteral("an answer for \"%1\" was never asked for").arg(m_answers.front().request)),
            __FILE__, __LINE__);
}

void ScriptedHttpServer::reply(const QString &body, const QString &request, const QByteArray &head)
{
    m_answers.push_back({ request, { HttpResponse(head, cp932::Encode(body)) } });
}

void ScriptedHttpServer::replyRaw(const QList<QByteArray> &pieces, bool closeAfter, int gapMs)
{
    m_answers.push_back({ QString(), pieces, closeAfter, gapMs, true });
}

// Answers a request once it is in whole, as its Content-Length says.
void ScriptedHttpServer::read(QTcpSocket *socket)
{
    const QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    Request request;
    static const QRegularExpression length(
        QStringLiteral("\r\nContent-Length: *(\\d+)"), QRegularExpression::CaseInsensitiveOption);
    const qsizetype end
        = headEnd + 4 + length.match(QString::fromLatin1(buffer.left(headEnd + 2))).captured(1).toLongLong();
    socket->setProperty("buffer", headEnd < 0 || buffer.size() < end ? buffer : buffer.mid(end));
    if (headEnd < 0 || buffer.size() < end)
        return;
    // Each part: its disposition line with the name, an empty line, and the value up to the next delimiter.
    static const QRegularExpression part(
        QStringLiteral("name=\"([^\"]*)\"\r\n\r\n(.*?)\r\n--"), QRegularExpression::DotMatchesEverythingOption);
    for (const QRegularExpressionMatch &field :
        part.globalMatch(cp932::Decode(buffer.mid(headEnd + 4, end - headEnd - 4)))) {
        request.fields.append({ field.captured(1), field.captured(2) });
        if (field.captured(1) == QLatin1String("command"))
            request.command = field.captured(2);
        else if (field.captured(1) != QLatin1String("pass"))
            request.command += QLatin1Char(' ') + field.captured(1) + QLatin1Char('=') + field.captured(2);
    }
    request.head = buffer.left(headEnd);
    requests.append(request);
    if (onRequest)
        onRequest();
    const Answer *next = m_answers.empty() ? nullptr : &m_answers.front();
    if (next && (next->request.isEmpty() || next->request == request.command)) {
        sendPieces(socket, next->pieces, next->gapMs, next->closeAfter);
        if (!next->everyTime)
            m_answers.pop_front();
        return;
    }
    QTest::qFail(qPrintable(QStringLiteral("expected \"%1\", got \"%2\"")
                                .arg(next ? next->request : QStringLiteral("no request"), request.command)),
        __FILE__, __LINE__);
    socket->disconnectFromHost();
}

QByteArray HttpResponse(const QByteArray &statusLine, const QByteArray &body)
{
    return statusLine + "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\n\r\n" + body;
}

} // namespace testsupport
