#include "endsignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace app {

namespace {

int g_sockets[2] = { -1, -1 }; // the handler writes into [0], the event loop reads [1]
constexpr int kSignals[] = { SIGTERM, SIGHUP, SIGINT };

void Handler(int number)
{
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_sockets[0], &byte, 1);
    errno = saved;
}

void SetHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals)
        ::sigaction(number, &action, nullptr);
}

} // namespace

EndSignals::EndSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sockets) != 0)
        return;
    m_notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndSignals::Read);
    SetHandler(Handler);
}

EndSignals::~EndSignals()
{
    if (!m_notifier)
        return;
    SetHandler(SIG_DFL);
    delete m_notifier;
    ::close(g_sockets[0]);
    ::close(g_sockets[1]);
    g_sockets[0] = g_sockets[1] = -1;
}

void EndSignals::Read()
{
    char byte = 0;
    if (::read(g_sockets[1], &byte, 1) == 1)
        emit received(byte);
}

} // namespace app
