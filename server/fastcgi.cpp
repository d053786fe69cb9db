#include "server/fastcgi.h"

#include "server/auth.h"
#include "server/cgi.h"
#include "server/config.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcgiapp.h>

namespace vidodu {
namespace {

volatile std::sig_atomic_t g_terminating = 0;

void OnTerminate(int)
{
    g_terminating = 1;
}

// SIGTERM is held back while a request is read and answered, so that no read or write of the
// request in flight fails; it arrives between requests, where it interrupts the wait for the
// next one (the handler restarts nothing).
void CatchTerminate(sigset_t &onlyTerm)
{
    sigemptyset(&onlyTerm);
    sigaddset(&onlyTerm, SIGTERM);
    struct sigaction action { };
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN); // as in the CGI program: a save that hits a file size limit answers "NG"
}

RequestSource FastCgiSource(FCGX_Request &request)
{
    return { [&request](const char *name) -> const char * { return FCGX_GetParam(name, request.envp); },
        [&request](char *buffer, std::size_t size) -> long long {
            std::size_t done = 0;
            while (done < size) {
                const int n = FCGX_GetStr(buffer + done, static_cast<int>(size - done), request.in);
                if (n <= 0)
                    return FCGX_GetError(request.in) != 0 ? -1 : static_cast<long long>(done);
                done += static_cast<std::size_t>(n);
            }
            return static_cast<long long>(done);
        } };
}

void Answer(FCGX_Request &request, ConfigCache &configs, const Services &services, const std::string &executablePath)
{
    const RequestSource source = FastCgiSource(request);
    const char *named = source.param("VIDODU_CONF");
    std::string why;
    Reply response { std::string(kRefusal) };
    try {
        const Config &config
            = configs.load(ConfigPath(named && *named ? named : std::getenv("VIDODU_CONF"), executablePath));
        response = Respond(config, source, services, why);
    } catch (...) {
        why = "out of memory";
        response = Reply { std::string(kRefusal) };
    }
    SendResponse(response, [&request](std::string_view bytes) {
        return FCGX_PutStr(bytes.data(), static_cast<int>(bytes.size()), request.out) == static_cast<int>(bytes.size());
    });
    if (!why.empty())
        FCGX_FPrintF(request.err, "vidodu.cgi: %s\n", why.c_str());
}

} // namespace

bool StartedByFastCgi()
{
    return !FCGX_IsCGI();
}

int ServeFastCgi(const std::string &executablePath)
{
    sigset_t onlyTerm;
    CatchTerminate(onlyTerm);
    if (FCGX_Init() != 0)
        return 1;
    FCGX_Request request;
    FCGX_InitRequest(&request, 0, FCGI_FAIL_ACCEPT_ON_INTR);
    ConfigCache configs;
    PasswordMemory passwords;
    Services services;
    services.checkPassword
        = [&passwords](const std::string &hash, std::string_view password) { return passwords.check(hash, password); };
    services.knownPassword = [&passwords](const std::string &hash, std::string_view password) {
        return passwords.remembers(hash, password);
    };
    while (!g_terminating) {
        if (FCGX_Accept_r(&request) != 0) {
            if (errno == EINTR)
                continue; // SIGTERM, or another signal: the loop's condition decides
            break;
        }
        ::sigprocmask(SIG_BLOCK, &onlyTerm, nullptr);
        Answer(request, configs, services, executablePath);
        FCGX_Finish_r(&request);
        ::sigprocmask(SIG_UNBLOCK, &onlyTerm, nullptr);
    }
    FCGX_Free(&request, 1);
    return 0;
}

} // namespace vidodu
