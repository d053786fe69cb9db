#include "server/cgi.h"

#include "server/fdio.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace vidodu {
namespace {

std::string Env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

} // namespace

std::optional<std::string> ReadBody(int fd, const char *contentLength, std::uint64_t maxBytes)
{
    if (!contentLength || !*contentLength)
        return std::nullopt;
    std::uint64_t length = 0;
    const char *end = contentLength + std::strlen(contentLength);
    const auto [stop, ec] = std::from_chars(contentLength, end, length);
    if (ec != std::errc() || stop != end || length > maxBytes)
        return std::nullopt;
    std::string body(static_cast<std::size_t>(length), '\0');
    if (ReadUpTo(fd, body.data(), body.size()) != static_cast<long long>(body.size()))
        return std::nullopt;
    return body;
}

std::optional<Request> RequestFromEnvironment(int fd, std::uint64_t maxBytes)
{
    Request r;
    r.method = Env("REQUEST_METHOD");
    r.contentType = Env("CONTENT_TYPE");
    r.remoteAddress = Env("REMOTE_ADDR");
    if (r.method != "POST")
        return r; // answered "NG" without reading anything
    auto body = ReadBody(fd, std::getenv("CONTENT_LENGTH"), maxBytes);
    if (!body)
        return std::nullopt;
    r.body = std::move(*body);
    return r;
}

std::string CgiResponse(std::string_view reply)
{
    std::string out = "Content-Type: text/plain\r\nContent-Length: " + std::to_string(reply.size()) + "\r\n\r\n";
    out += reply;
    return out;
}

} // namespace vidodu
