// vidodu.cgi: the editor's peer on the web server. Run by the web server as a CGI program;
// run by hand as `vidodu.cgi --hash-password` to make the password_hash line of vidodu.conf.

#include "server/auth.h"
#include "server/cgi.h"
#include "server/config.h"
#include "server/fdio.h"
#include "server/handler.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits.h>
#include <string>
#include <unistd.h>

namespace {

std::string ExecutablePath()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

int HashPasswordFromStdin()
{
    std::string password;
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (password.empty()) {
        std::fputs("vidodu.cgi: type the password on standard input\n", stderr);
        return 2;
    }
    const auto hash = vidodu::HashPassword(password);
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
    std::string reply(vidodu::kRefusal);
    try {
        const vidodu::Config config
            = vidodu::LoadConfig(vidodu::ConfigPath(std::getenv("VIDODU_CONF"), ExecutablePath()));
        if (config.valid) {
            const auto request = vidodu::RequestFromEnvironment(STDIN_FILENO, config.maxRequestBytes);
            if (request)
                reply = vidodu::HandleRequest(config, *request);
        }
    } catch (...) {
        reply = vidodu::kRefusal; // out of memory and the like: still a well-formed refusal
    }
    return vidodu::WriteAll(STDOUT_FILENO, vidodu::CgiResponse(reply)) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Under a web server argv may carry a query ("vidodu.cgi?x" on some servers): a CGI
    // request is always served as one, whatever its arguments.
    const bool fromWebServer = std::getenv("GATEWAY_INTERFACE") != nullptr;
    if (!fromWebServer && argc == 2 && std::strcmp(argv[1], "--hash-password") == 0)
        return HashPasswordFromStdin();
    if (!fromWebServer && argc > 1) {
        std::fputs("usage: vidodu.cgi --hash-password < password\n"
                   "Without arguments it serves one CGI request.\n",
            stderr);
        return 2;
    }
    return ServeRequest();
}
