// One request cycle: frame the fields, hand them to the transfer control, and wait for the
// reply while window events go on.

#include "protocol/framing.h"
#include "protocol/inetConn.h"
#include "protocol/modPublic.h"
#include "protocol/tls.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <limits>
#include <optional>
#include <utility>

namespace modPublic {

namespace {

QPointer<inetConn> g_registeredControl;
QPointer<inetConn> g_sharedControl;
int g_stallTimeoutMs = kStallTimeoutMs;
// The one request in flight: a second one made while the first waits is refused.
bool g_requestInFlight = false;

// A request sent before anyone waits for it, and what it was; the next request asking the same
// of the same control takes its reply instead of sending it again.
struct EarlyRequest {
    QPointer<inetConn> control;
    QString server;
    FieldList fields;
    bool secure = false;
};
std::optional<EarlyRequest> g_early;

struct InFlight {
    InFlight() { g_requestInFlight = true; }
    ~InFlight() { g_requestInFlight = false; }
    InFlight(const InFlight &) = delete;
    InFlight &operator=(const InFlight &) = delete;
};

void inetConn_StateChanged(inetConn *control, int state)
{
    if (state == inetConn::icError) {
        // A transfer that broke off completes with an empty reply; the commands fail on it.
        strReply.clear();
        bytReply.clear();
        lngReplyStatus = 0;
        strReplyETag.clear();
        blnReplyDone = true;
        return;
    }
    if (state != inetConn::icResponseCompleted)
        return;
    lngReplyStatus = control->StatusCode();
    strReplyETag = control->ETag();
    strReply.clear();
    bytReply = control->TakeBytes();
    // Asked for in one piece, the body comes without a copy.
    constexpr int kWholeBody = std::numeric_limits<int>::max();
    for (QString chunk = control->GetChunk(kWholeBody); !chunk.isEmpty(); chunk = control->GetChunk(kWholeBody))
        strReply += chunk;
    blnReplyDone = true;
}

void listenTo(inetConn *control)
{
    QObject::connect(
        control, &inetConn::StateChanged, control, [control](int state) { inetConn_StateChanged(control, state); });
}

inetConn *transferControl()
{
    if (g_registeredControl)
        return g_registeredControl;
    if (!g_sharedControl) {
        // Owned by the application so that it goes before the event loop does.
        g_sharedControl = new inetConn(QCoreApplication::instance());
        listenTo(g_sharedControl);
    }
    return g_sharedControl;
}

void Send(inetConn *control, const QString &server, const FieldList &fields, const std::optional<ByteField> &content,
    const QStringList &headers, bool secure, bool bodyAsBytes)
{
    control->setStallTimeout(g_stallTimeoutMs);
    blnReplyDone = false;
    // The framed bytes go before the wait: the control holds the request's bytes.
    const FramedRequest request = FrameRequest(
        fields, [] { return MakeBoundary(); }, content);
    const QString extra = headers.isEmpty() ? QString() : headers.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
    control->Execute(
        ServerUrl(server, secure), QStringLiteral("POST"), request.body, request.header + extra, bodyAsBytes);
}

// Whether the early request is this one, on this control; either way it is no longer early.
bool TakeEarly(inetConn *control, const QString &server, const FieldList &fields, bool eligible, bool secure)
{
    const std::optional<EarlyRequest> early = std::exchange(g_early, std::nullopt);
    return eligible && early && early->control == control && early->server == server && early->fields == fields
        && early->secure == secure;
}

} // namespace

void setTransferControl(inetConn *control)
{
    if (g_registeredControl == control)
        return;
    if (g_registeredControl)
        QObject::disconnect(g_registeredControl, &inetConn::StateChanged, g_registeredControl, nullptr);
    g_registeredControl = control;
    if (control)
        listenTo(control);
}

void setStallTimeoutForTesting(int ms)
{
    g_stallTimeoutMs = ms > 0 ? ms : kStallTimeoutMs;
}

namespace {

// One request cycle; the reply is in strReply, or in bytReply when asked for as bytes. False
// when refused because another request is in flight.
bool Exchange(const QString &server, const FieldList &fields, const std::optional<ByteField> &content,
    const QStringList &headers, bool secure, bool bodyAsBytes, const ArrivingBytes &arriving = {})
{
    if (g_requestInFlight) {
        lngReplyStatus = 0;
        strReplyETag.clear();
        return false;
    }
    const InFlight inFlight;
    inetConn *control = transferControl();
    const QPointer<inetConn> guard(control);
    QObject listening;
    if (arriving)
        QObject::connect(control, &inetConn::BodyReceived, &listening,
            [control, &arriving](qint64, qint64 length) { arriving(control->ReceivedBytes(), length); });
    // An early request that was this one is running, or done with its reply kept. Only a
    // request without content or headers, asking for bytes, is ever sent early.
    if (!TakeEarly(control, server, fields, bodyAsBytes && !content && headers.isEmpty(), secure)) {
        lngReplyStatus = 0;
        strReplyETag.clear();
        Send(control, server, fields, content, headers, secure, bodyAsBytes);
    } else {
        control->DeliverArrived();
    }

    // Sleeps until an event comes, so the windows go on while the transfer runs.
    QEventLoop wait;
    while (!blnReplyDone) {
        if (!guard) {
            strReply.clear(); // the control went away with its transfer
            bytReply.clear();
            lngReplyStatus = 0;
            strReplyETag.clear();
            break;
        }
        wait.processEvents(QEventLoop::WaitForMoreEvents);
    }
    blnReplyDone = false;
    TellCertificateRefusal();
    return true;
}

} // namespace

QString ServerCommand(const QString &server, const FieldList &fields, const QStringList &headers, bool secure)
{
    return Exchange(server, fields, std::nullopt, headers, secure, false) ? strReply : QString();
}

QString ServerCommand(
    const QString &server, const FieldList &fields, const ByteField &content, const QStringList &headers, bool secure)
{
    return Exchange(server, fields, content, headers, secure, false) ? strReply : QString();
}

void StartServerCommandBytes(const QString &server, const FieldList &fields, bool secure)
{
    if (g_requestInFlight)
        return;
    inetConn *control = transferControl();
    lngReplyStatus = 0;
    strReplyETag.clear();
    Send(control, server, fields, std::nullopt, {}, secure, true);
    g_early = EarlyRequest { control, server, fields, secure };
}

QByteArray ServerCommandBytes(
    const QString &server, const FieldList &fields, const ArrivingBytes &arriving, bool secure)
{
    return Exchange(server, fields, std::nullopt, {}, secure, true, arriving) ? bytReply : QByteArray();
}

} // namespace modPublic
