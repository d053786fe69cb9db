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

// A request sent before anyone waits for it, and what it was; the next ServerCommand asking the
// same of the same control takes its reply instead of sending it again.
struct EarlyRequest {
    QPointer<inetConn> control;
    QString server;
    FieldList fields;
    QStringList headers;
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

void Send(inetConn *control, const QString &server, const FieldList &fields, const QStringList &headers, bool secure)
{
    control->setStallTimeout(g_stallTimeoutMs);
    blnReplyDone = false;
    // The framed text goes before the wait: the control holds the request's bytes.
    const FramedRequest request = FrameRequest(fields, [] { return MakeBoundary(); });
    const QString extra = headers.isEmpty() ? QString() : headers.join(QLatin1String("\r\n")) + QLatin1String("\r\n");
    control->Execute(ServerUrl(server, secure), QStringLiteral("POST"), request.body, request.header + extra);
}

// Whether the early request is this one, on this control; either way it is no longer early.
bool TakeEarly(
    inetConn *control, const QString &server, const FieldList &fields, const QStringList &headers, bool secure)
{
    const std::optional<EarlyRequest> early = std::exchange(g_early, std::nullopt);
    return early && early->control == control && early->server == server && early->fields == fields
        && early->headers == headers && early->secure == secure;
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

void StartServerCommand(const QString &server, const FieldList &fields, const QStringList &headers, bool secure)
{
    if (g_requestInFlight)
        return;
    inetConn *control = transferControl();
    lngReplyStatus = 0;
    strReplyETag.clear();
    Send(control, server, fields, headers, secure);
    g_early = EarlyRequest { control, server, fields, headers, secure };
}

void setStallTimeoutForTesting(int ms)
{
    g_stallTimeoutMs = ms > 0 ? ms : kStallTimeoutMs;
}

QString ServerCommand(const QString &server, const FieldList &fields, const QStringList &headers, bool secure)
{
    if (g_requestInFlight) {
        lngReplyStatus = 0;
        strReplyETag.clear();
        return {};
    }
    const InFlight inFlight;
    inetConn *control = transferControl();
    const QPointer<inetConn> guard(control);
    // An early request that was this one is running, or done with its reply kept.
    if (!TakeEarly(control, server, fields, headers, secure)) {
        lngReplyStatus = 0;
        strReplyETag.clear();
        Send(control, server, fields, headers, secure);
    }

    // Sleeps until an event comes, so the windows go on while the transfer runs.
    QEventLoop wait;
    while (!blnReplyDone) {
        if (!guard) {
            strReply.clear(); // the control went away with its transfer
            lngReplyStatus = 0;
            strReplyETag.clear();
            break;
        }
        wait.processEvents(QEventLoop::WaitForMoreEvents);
    }
    blnReplyDone = false;
    TellCertificateRefusal();
    return strReply;
}

} // namespace modPublic
