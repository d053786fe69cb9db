// vidodu.cgi: the editor's peer on the web server. Run by the web server as a CGI program,
// or started once by a FastCGI process manager to serve request after request (fastcgi.h);
// run by hand as `vidodu.cgi --hash-password` to make the password_hash line of vidodu.conf.

#include "server/auth.h"
#include "server/cgi.h"
#include "server/config.h"
#include "server/fastcgi.h"
#include "server/fdio.h"
#include "server/handler.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits.h>
#include <optional>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

std::string ExecutablePath()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

// One line from standard input; from a terminal after a prompt and without echo.
std::optional<std::string> ReadPassword(const char *prompt, bool terminal)
{
    termios saved {};
    if (terminal) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    if (!got)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

int HashPassword()
{
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    const auto password = ReadPassword("Password: ", terminal);
    if (!password) {
        std::fputs("vidodu.cgi: type the password on standard input\n", stderr);
        return 2;
    }
    if (const auto fault = vidodu::PasswordFault(*password)) {
        std::fprintf(stderr, "vidodu.cgi: password refused: %s\n", fault->c_str());
        return 2;
    }
    if (terminal && ReadPassword("Again: ", true) != password) {
        std::fputs("vidodu.cgi: the two entries differ; nothing was made\n", stderr);
        return 2;
    }
    const auto hash = vidodu::HashPassword(*password);
    if (!hash) {
        std::fputs("vidodu.cgi: the password could not be hashed\n", stderr);
        return 1;
    }
    std::printf("password_hash = %s\n", hash->c_str());
    return 0;
}

int ServeRequest()
{
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit on the host makes a save's write fail, and the save answer "NG" after
    // removing its temporary file, instead of killing the script half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    const vidodu::RequestSource source = vidodu::EnvironmentSource(STDIN_FILENO);
    std::string why; // for the web server's error log; never the password
    vidodu::Reply response { std::string(vidodu::kRefusal) };
    try {
        const vidodu::Config config
            = vidodu::LoadConfig(vidodu::ConfigPath(std::getenv("VIDODU_CONF"), ExecutablePath()));
        response = vidodu::Respond(config, source, {}, why);
    } catch (...) {
        response = vidodu::Reply { std::string(vidodu::kRefusal) };
        why = "out of memory";
    }
    if (!why.empty())
        std::fprintf(stderr, "vidodu.cgi: %s\n", why.c_str());
    return vidodu::SendResponse(response, [](std::string_view bytes) { return vidodu::WriteAll(STDOUT_FILENO, bytes); })
        ? 0
        : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Under a web server argv may carry a query ("vidodu.cgi?x" on some servers): a CGI
    // request is always served as one, whatever its arguments.
    if (vidodu::StartedByFastCgi())
        return vidodu::ServeFastCgi(ExecutablePath());
    const bool fromWebServer = std::getenv("GATEWAY_INTERFACE") != nullptr;
    if (!fromWebServer && argc == 2 && std::strcmp(argv[1], "--hash-password") == 0)
        return HashPassword();
    if (!fromWebServer && argc > 1) {
        std::fputs("usage: vidodu.cgi --hash-password\n"
                   "Without arguments it serves one CGI request, or FastCGI requests on the\n"
                   "listening socket a FastCGI process manager hands it as standard input.\n",
            stderr);
        return 2;
    }
    return ServeRequest();
}
