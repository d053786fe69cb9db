#include "inetConn.h"

#include "platform/cp932.h"
#include "protocol/modPublic.h"
#include "protocol/tls.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace {

// Bytes the transfer thread may hold ahead of this one, which decodes as the body comes.
constexpr qint64 kReadAheadBytes = qint64(1) << 20;

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

bool isThisMachine(const QString &host)
{
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

// The system's proxies (on Linux the http_proxy and no_proxy environment, as other desktop
// programs use it), except for the user's own machine, which is always reached directly.
class SystemProxies final : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        if (isThisMachine(query.peerHostName()))
            return { QNetworkProxy::NoProxy };
        return systemProxyForQuery(query);
    }
};

} // namespace

inetConn::inetConn(QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    m_manager->setProxyFactory(new SystemProxies);
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

void inetConn::Execute(const QString &url, const QString &operation, const QByteArray &requestData,
    const QString &requestHeaders, bool bodyAsBytes)
{
    dropReply();
    m_received.clear();
    m_body.clear();
    m_bodyPos = 0;
    m_stalled = false;
    m_receiving = false;
    m_readAheadLimited = false;
    m_bodyAsBytes = bodyAsBytes;
    m_bodyBytes = 0;
    m_bodyLength = -1;
    m_status = 0;
    m_etag.clear();

    QNetworkRequest request { QUrl(url) };
    setHeaderLines(request, requestHeaders);
    // HTTP/1.1 also over TLS: when a server ends an idle HTTP/2 connection (GOAWAY), Qt fails the
    // next request on it ("stopped accepting new streams") instead of sending it again, and a
    // save would fail for nothing. The script answers one request at a time anyway.
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    modPublic::PrepareTransport(request);
    const QByteArray verb = operation.toUpper().toLatin1();
    if (verb == "POST")
        m_reply = m_manager->post(request, requestData);
    else if (verb == "GET")
        m_reply = m_manager->get(request);
    else
        m_reply = m_manager->sendCustomRequest(request, verb, requestData);

    connect(m_reply, &QNetworkReply::readyRead, this, &inetConn::onReadyRead);
    connect(m_reply, &QNetworkReply::uploadProgress, this, &inetConn::onProgress);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &inetConn::onProgress);
    connect(m_reply, &QNetworkReply::uploadProgress, this, &inetConn::TransferProgress);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &inetConn::TransferProgress);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &inetConn::onProgress);
    connect(m_reply, &QNetworkReply::finished, this, &inetConn::onFinished);
    connect(m_reply, &QNetworkReply::sslErrors, this,
        [reply = m_reply.data()](const QList<QSslError> &errors) { modPublic::ReviewCertificate(reply, errors); });
    m_stallTimer.start();
    // Qt takes the request's bytes up and hands it to its transfer thread in calls it queues: made
    // now, the request leaves while this thread is still busy (a window being built, say).
    for (int step = 0; step < 2 && m_reply; ++step)
        QCoreApplication::sendPostedEvents(m_reply, QEvent::MetaCall);
}

void inetConn::DeliverArrived()
{
    // Each round delivers the calls the one before it queued.
    for (int round = 0; round < 3 && m_reply; ++round)
        QCoreApplication::sendPostedEvents(m_reply, QEvent::MetaCall);
}

void inetConn::onProgress()
{
    if (!m_reply)
        return;
    m_stallTimer.start();
    // The transfer thread hears a read-ahead limit only once it has taken up the request,
    // which any progress proves; the upload's progress comes before the reply's first byte.
    if (!m_readAheadLimited) {
        m_readAheadLimited = true;
        m_reply->setReadBufferSize(kReadAheadBytes);
    }
}

void inetConn::onReadyRead()
{
    if (!m_reply)
        return;
    if (!m_receiving) {
        m_receiving = true;
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        m_bodyLength = length.isValid() ? length.toLongLong() : -1;
        reserveBody(m_bodyLength);
        emit StateChanged(icReceivingResponse);
    }
    QByteArray incoming = m_reply->readAll();
    m_bodyBytes += incoming.size();
    if (m_received.isEmpty() && !m_bodyAsBytes) // bytes go into the room reserveBody made
        m_received = std::move(incoming);
    else
        m_received += incoming;
    decodeReceived(false);
    onProgress();
    emit BodyReceived(m_bodyBytes, m_bodyLength);
}

void inetConn::reserveBody(qint64 contentLength)
{
    // A body has at most as many characters as bytes. The room is only address space until
    // it is written, and it spares the copies of a growing text; a stated length beyond
    // kLargestReservation is not believed.
    if (contentLength > 0 && m_bodyAsBytes)
        m_received.reserve(static_cast<qsizetype>(std::min(contentLength, kLargestReservation)));
    else if (contentLength > 0)
        m_body.reserve(static_cast<qsizetype>(std::min(contentLength, kLargestReservation)));
}

void inetConn::decodeReceived(bool all)
{
    // A byte below 0x40 is never the second byte of a character, so the bytes up to it
    // decode the same now as they would within the whole body; the rest waits for more.
    if (m_bodyAsBytes)
        return; // kept whole for TakeBytes
    qsizetype cut = m_received.size();
    if (!all) {
        while (cut > 0 && static_cast<unsigned char>(m_received.at(cut - 1)) >= 0x40)
            --cut;
    }
    if (cut == 0)
        return;
    m_body += cp932::Decode(QByteArrayView(m_received).first(cut));
    m_received = m_received.sliced(cut); // the few bytes after the cut, or nothing
}

void inetConn::onStalled()
{
    if (!m_reply)
        return;
    m_stalled = true;
    m_reply->abort(); // finishes the reply with an error
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
    m_status = whole ? status : 0;
    m_etag = whole ? QString::fromLatin1(m_reply->rawHeader("ETag")) : QString();
    dropReply();
    if (whole)
        decodeReceived(true);
    else
        m_body = QString();
    if (!whole || !m_bodyAsBytes)
        m_received = QByteArray();
    emit StateChanged(whole ? icResponseCompleted : icError);
}

QString inetConn::GetChunk(int size)
{
    if (m_bodyPos >= m_body.size()) {
        m_body = QString(); // the reply is handed out: give its memory back
        m_bodyPos = 0;
        return {};
    }
    size = std::max(size, 1);
    // A body asked for whole goes out as it is, without a copy.
    if (m_bodyPos == 0 && m_body.size() <= size / 2) {
        m_bodyPos = m_body.size();
        return std::exchange(m_body, QString());
    }
    // Whole stretches are counted at once: k characters never take more than 2k bytes.
    const QStringView rest = QStringView(m_body).sliced(m_bodyPos);
    qsizetype length = 0;
    qsizetype bytes = 0;
    while (length < rest.size()) {
        const qsizetype budget = size - bytes;
        const qsizetype step = std::min(rest.size() - length, budget / 2);
        if (step == 0) {
            if (budget >= 1 && cp932::UnitByteCount(rest.at(length).unicode()) == 1)
                ++length;
            break;
        }
        bytes += cp932::ByteCount(rest.sliced(length, step));
        length += step;
    }
    length = std::max<qsizetype>(length, 1);
    QString chunk = rest.first(length).toString();
    m_bodyPos += length;
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
