#include "inetConn.h"

#include "platform/cp932.h"
#include "protocol/modPublic.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

// Qt reports an HTTP status of 400 or more as an error once the whole body is in; only the
// errors of the connection itself (refused, closed early, cancelled, garbled) lose the reply.
bool bodyArrivedWhole(QNetworkReply::NetworkError error, int httpStatus)
{
    if (error == QNetworkReply::NoError)
        return true;
    if (httpStatus < 400)
        return false;
    if (error == QNetworkReply::ProxyAuthenticationRequiredError)
        return httpStatus == 407;
    return error >= QNetworkReply::ContentAccessDenied && error != QNetworkReply::ProtocolUnknownError
           && error != QNetworkReply::ProtocolFailure;
}

void setHeaderLines(QNetworkRequest &request, const QString &headerText)
{
    const QByteArray bytes = cp932::Encode(headerText);
    for (const QByteArray &line : bytes.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        QByteArray value = line.mid(colon + 1);
        if (value.endsWith('\r'))
            value.chop(1);
        while (value.startsWith(' ') || value.startsWith('\t'))
            value.remove(0, 1);
        request.setRawHeader(line.left(colon).trimmed(), value);
    }
}

} // namespace

inetConn::inetConn(QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    // The script is reached directly: a proxy from the environment would take loopback and
    // the user's own server somewhere else.
    m_manager->setProxy(QNetworkProxy::NoProxy);
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(modPublic::kStallTimeoutMs);
    connect(&m_stallTimer, &QTimer::timeout, this, &inetConn::onStalled);
}

inetConn::~inetConn()
{
    dropReply();
}

void inetConn::setStallTimeout(int ms)
{
    m_stallTimer.setInterval(ms > 0 ? ms : modPublic::kStallTimeoutMs);
}

void inetConn::Execute(const QString &url, const QString &operation, const QString &requestData,
                       const QString &requestHeaders)
{
    dropReply();
    m_received.clear();
    m_body.clear();
    m_bodyPos = 0;
    m_stalled = false;
    m_receiving = false;

    QNetworkRequest request{QUrl(url)};
    setHeaderLines(request, requestHeaders);
    const QByteArray data = cp932::Encode(requestData);
    const QByteArray verb = operation.toUpper().toLatin1();
    if (verb == "POST")
        m_reply = m_manager->post(request, data);
    else if (verb == "GET")
        m_reply = m_manager->get(request);
    else
        m_reply = m_manager->sendCustomRequest(request, verb, data);

    connect(m_reply, &QNetworkReply::readyRead, this, &inetConn::onReadyRead);
    connect(m_reply, &QNetworkReply::uploadProgress, this, &inetConn::onProgress);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &inetConn::onProgress);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &inetConn::onProgress);
    connect(m_reply, &QNetworkReply::finished, this, &inetConn::onFinished);
    m_stallTimer.start();
}

void inetConn::onProgress()
{
    if (m_reply)
        m_stallTimer.start();
}

void inetConn::onReadyRead()
{
    if (!m_reply)
        return;
    m_received += m_reply->readAll();
    m_stallTimer.start();
    if (!m_receiving) {
        m_receiving = true;
        emit StateChanged(icReceivingResponse);
    }
}

void inetConn::onStalled()
{
    if (!m_reply)
        return;
    m_stalled = true;
    m_reply->abort();   // finishes the reply with an error
}

void inetConn::onFinished()
{
    if (!m_reply)
        return;
    m_stallTimer.stop();
    if (m_reply->isOpen())
        m_received += m_reply->readAll();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool whole = !m_stalled && bodyArrivedWhole(m_reply->error(), status);
    dropReply();
    if (whole)
        m_body = cp932::Decode(m_received);
    m_received = QByteArray();
    emit StateChanged(whole ? icResponseCompleted : icError);
}

QString inetConn::GetChunk(int size)
{
    const qsizetype end = m_body.size();
    if (m_bodyPos >= end) {
        m_body = QString();   // the reply is handed out: give its memory back
        m_bodyPos = 0;
        return {};
    }
    qsizetype pos = m_bodyPos;
    qsizetype bytes = 0;
    const QChar *units = m_body.constData();
    while (pos < end) {
        const int width = cp932::UnitByteCount(units[pos].unicode());
        if (bytes + width > size && pos > m_bodyPos)
            break;
        bytes += width;
        ++pos;
    }
    QString chunk = m_body.mid(m_bodyPos, pos - m_bodyPos);
    m_bodyPos = pos;
    return chunk;
}

void inetConn::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}
