#pragma once

// The HTTP transfer control: starts a request, tells its progress through StateChanged, and
// hands out the response body piece by piece. The request goes out as the bytes it is given; the
// response comes back as text in code page 932, or as its bytes when the caller asks for them.
// The system's proxy is used, but never for this machine itself; redirects are not followed, and the body of whatever
// response completed is the reply (its status and ETag are kept beside it). A transfer that fails, or makes no progress
// for the stall time-out, ends in icError with an empty body. Over https a certificate that does not verify ends the
// transfer before anything is sent, unless it is the one the user trusted (protocol/tls.h).

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <utility>

class QNetworkAccessManager;
class QNetworkReply;

class inetConn : public QObject {
    Q_OBJECT

public:
    enum State {
        icNone = 0,
        icConnecting = 3,
        icRequestSent = 6,
        icReceivingResponse = 7,
        icError = 11,
        icResponseCompleted = 12,
    };

    // Room is made ahead for a body of its announced length, up to this much; the room is only
    // address space until it is written.
    static constexpr qint64 kLargestReservation = qint64(256) << 20;

    explicit inetConn(QObject *parent = nullptr);
    ~inetConn() override;

    // Starts the request and returns at once. requestHeaders holds "Name: value" lines ended
    // by CR LF. With bodyAsBytes the response is kept as bytes for TakeBytes, and GetChunk
    // gives nothing. A transfer still running is dropped without a signal.
    void Execute(const QString &url, const QString &operation, const QByteArray &requestData,
        const QString &requestHeaders, bool bodyAsBytes = false);
    // The next part of the body, at most size bytes of it in code page 932 (at least one
    // character while any is left); "" once the body is exhausted.
    QString GetChunk(int size);
    // The whole body of a response asked for as bytes; empty once taken.
    QByteArray TakeBytes() { return std::exchange(m_received, QByteArray()); }
    // The body received so far of a response asked for as bytes; valid until more comes.
    QByteArrayView ReceivedBytes() const { return m_received; }
    bool StillExecuting() const { return !m_reply.isNull(); }
    // Delivers at once, before any other event, the calls Qt's transfer thread queued for this
    // thread: its requests for the body to send (it takes a request's body only from the thread
    // that made the request) and what it received. A request made before a long stretch of work
    // (a window being built) goes out, and a reply that came meanwhile completes, without
    // waiting for that work to end.
    void DeliverArrived();
    // Of the response that completed last: its HTTP status and its ETag header, as sent.
    int StatusCode() const { return m_status; }
    QString ETag() const { return m_etag; }
    void setStallTimeout(int ms);

signals:
    void StateChanged(int state);
    // While the request goes out, and then while its reply comes in: the bytes so far, and of
    // how many (the reply's announced length; -1 when it announced none).
    void TransferProgress(qint64 done, qint64 total);
    // Each time more of the reply's body has come in (Qt spaces its progress out, this is every
    // piece): the body's bytes so far, and of how many (-1 when it announced none).
    void BodyReceived(qint64 done, qint64 total);

private:
    void onReadyRead();
    void reserveBody(qint64 contentLength);
    void decodeReceived(bool all);
    void onProgress();
    void onFinished();
    void onStalled();
    void dropReply();

    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_stallTimer;
    QByteArray m_received; // bytes not yet decoded; the whole body when asked for as bytes
    QString m_body; // the body decoded so far
    qsizetype m_bodyPos = 0;
    bool m_stalled = false;
    bool m_receiving = false;
    bool m_readAheadLimited = false;
    bool m_bodyAsBytes = false;
    int m_status = 0;
    QString m_etag;
    qint64 m_bodyBytes = 0; // of the reply's body, received so far
    qint64 m_bodyLength = -1; // as the reply announced it
};
