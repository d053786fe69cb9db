#include "server/cgi.h"

#include "server/fdio.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace vidodu {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

std::string Env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

} // namespace

std::optional<std::uint64_t> ContentLength(const char *text)
{
    if (!text || !*text)
        return std::nullopt;
    std::uint64_t length = 0;
    const char *end = text + std::strlen(text);
    const auto [stop, ec] = std::from_chars(text, end, length);
    if (ec != std::errc() || stop != end)
        return std::nullopt;
    return length;
}

std::optional<std::string> ReadBody(int fd, std::uint64_t length)
{
    std::string body;
    char chunk[kChunkBytes];
    while (body.size() < length) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, length - body.size()));
        const long long n = ReadUpTo(fd, chunk, want);
        if (n <= 0)
            return std::nullopt;
        body.append(chunk, static_cast<std::size_t>(n));
    }
    return body;
}

void DiscardBody(int fd, std::uint64_t length)
{
    char chunk[kChunkBytes];
    while (length > 0) {
        const long long n
            = ReadUpTo(fd, chunk, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, length)));
        if (n <= 0)
            return;
        length -= static_cast<std::uint64_t>(n);
    }
}

std::optional<Request> RequestFromEnvironment(int fd, std::uint64_t maxBytes, std::string &why)
{
    Request r;
    r.method = Env("REQUEST_METHOD");
    r.contentType = Env("CONTENT_TYPE");
    r.remoteAddress = Env("REMOTE_ADDR");
    r.host = Env("HTTP_HOST");
    r.origin = Env("HTTP_ORIGIN");
    r.fetchSite = Env("HTTP_SEC_FETCH_SITE");
    r.precondition = { Env("HTTP_IF_MATCH"), Env("HTTP_IF_NONE_MATCH") };
    const auto length = ContentLength(std::getenv("CONTENT_LENGTH"));
    if (r.method != "POST")
        why = "method " + r.method + " refused: the editor sends POST";
    else if (!length)
        why = "request without a valid CONTENT_LENGTH";
    else if (*length > maxBytes)
        why = "request body of " + std::to_string(*length) + " bytes is over max_request_bytes ("
            + std::to_string(maxBytes) + ")";
    if (!why.empty()) {
        DiscardBody(fd, std::min(length.value_or(0), maxBytes));
        return std::nullopt;
    }
    auto body = ReadBody(fd, *length);
    if (!body)
        return std::nullopt; // the client gave up: nothing for the administrator
    r.body = std::move(*body);
    return r;
}

std::string CgiResponse(const Reply &reply)
{
    std::string out = "Content-Type: text/plain\r\nContent-Length: " + std::to_string(reply.body.size()) + "\r\n";
    if (reply.status == kPreconditionFailed)
        out += "Status: 412 Precondition Failed\r\n";
    if (!reply.etag.empty())
        out += "ETag: " + reply.etag + "\r\n";
    out += "\r\n";
    out += reply.body;
    return out;
}

} // namespace vidodu
