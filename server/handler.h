#pragma once

#include "server/auth.h"
#include "server/config.h"
#include "server/versions.h"

#include <ctime>
#include <memory>
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
    // If-Match and If-None-Match (HTTP_IF_MATCH, HTTP_IF_NONE_MATCH): only SAVEFILE heeds them.
    Precondition precondition;
};

class OpenedFile;

// What the script answers: the body, the HTTP status and the ETag header's value ("" for
// none). Only READFILE and a stored SAVEFILE carry an ETag; only a save whose precondition
// failed answers other than 200. READFILE's body is the path line; the file's content follows
// it from `file`, read as it is sent.
struct Reply {
    Reply(std::string text, int code = 200, std::string tag = {})
        : body(std::move(text))
        , status(code)
        , etag(std::move(tag))
    {
    }
    std::string body;
    int status;
    std::string etag;
    std::shared_ptr<OpenedFile> file;
};

inline constexpr int kPreconditionFailed = 412;

// What the handler takes from the world, replaceable in tests.
struct Services {
    PasswordCheck checkPassword = VerifyPassword;
    // A password known right without a check (a long-running process's memory); none in CGI.
    PasswordCheck knownPassword;
    std::function<std::time_t()> now = [] { return std::time(nullptr); };
    std::function<void()> pause = [] { ::usleep(10'000); };
};

inline constexpr std::string_view kRefusal = "NG";

// Every refusal or failure answers exactly "NG".
Reply HandleRequest(const Config &config, const Request &request, const Services &services = {});

// "YYYY/MM/DD HH:MM:SS" in the server's local time.
std::string FormatModified(std::time_t t);

} // namespace vidodu
