#pragma once

#include "server/auth.h"
#include "server/config.h"

#include <ctime>
#include <string>
#include <unistd.h>

// One request in, one reply out: the whole behaviour of vidodu.cgi without the process.
namespace vidodu {

struct Request {
    std::string method; // REQUEST_METHOD
    std::string contentType; // CONTENT_TYPE
    std::string remoteAddress; // REMOTE_ADDR
    std::string body;
    // What a browser adds (HTTP_HOST, HTTP_ORIGIN, HTTP_SEC_FETCH_SITE); the editor sends only Host.
    std::string host, origin, fetchSite;
};

// What the handler takes from the world, replaceable in tests.
struct Services {
    PasswordCheck checkPassword = VerifyPassword;
    std::function<std::time_t()> now = [] { return std::time(nullptr); };
    std::function<void()> pause = [] { ::usleep(10'000); };
};

inline constexpr std::string_view kRefusal = "NG";

// The reply text (without CGI headers). Every refusal or failure is exactly "NG".
std::string HandleRequest(const Config &config, const Request &request, const Services &services = {});

// "YYYY/MM/DD HH:MM:SS" in the server's local time.
std::string FormatModified(std::time_t t);

} // namespace vidodu
