#include "server/cgi.h"

#include "server/fdio.h"
#include "server/store.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vidodu {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

std::string Param(const RequestSource &source, const char *name)
{
    const char *v = source.param(name);
    return v ? std::string(v) : std::string();
}

} // namespace

RequestSource EnvironmentSource(int fd)
{
    return { [](const char *name) -> const char * { return std::getenv(name); },
        [fd](char *buffer, std::size_t size) { return ReadUpTo(fd, buffer, size); } };
}

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

std::optional<std::string> ReadBody(const RequestSource &source, std::uint64_t length)
{
    std::string body;
    char chunk[kChunkBytes];
    while (body.size() < length) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, length - body.size()));
        const long long n = source.read(chunk, want);
        if (n <= 0)
            return std::nullopt;
        body.append(chunk, static_cast<std::size_t>(n));
    }
    return body;
}

void DiscardBody(const RequestSource &source, std::uint64_t length)
{
    char chunk[kChunkBytes];
    while (length > 0) {
        const long long n = source.read(chunk, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, length)));
        if (n <= 0)
            return;
        length -= static_cast<std::uint64_t>(n);
    }
}

std::optional<Request> ReadRequest(const RequestSource &source, std::uint64_t maxBytes, std::string &why)
{
    Request r;
    r.method = Param(source, "REQUEST_METHOD");
    r.contentType = Param(source, "CONTENT_TYPE");
    r.remoteAddress = Param(source, "REMOTE_ADDR");
    r.host = Param(source, "HTTP_HOST");
    r.origin = Param(source, "HTTP_ORIGIN");
    r.fetchSite = Param(source, "HTTP_SEC_FETCH_SITE");
    r.precondition = { Param(source, "HTTP_IF_MATCH"), Param(source, "HTTP_IF_NONE_MATCH") };
    const auto length = ContentLength(source.param("CONTENT_LENGTH"));
    if (r.method != "POST")
        why = "method " + r.method + " refused: the editor sends POST";
    else if (!length)
        why = "request without a valid CONTENT_LENGTH";
    else if (*length > maxBytes)
        why = "request body of " + std::to_string(*length) + " bytes is over max_request_bytes ("
            + std::to_string(maxBytes) + ")";
    if (!why.empty()) {
        DiscardBody(source, std::min(length.value_or(0), maxBytes));
        return std::nullopt;
    }
    auto body = ReadBody(source, *length);
    if (!body)
        return std::nullopt; // the client gave up: nothing for the administrator
    r.body = std::move(*body);
    return r;
}

std::string CgiResponse(const Reply &reply)
{
    const std::uint64_t length = reply.body.size() + (reply.file ? reply.file->size() : 0);
    std::string out = "Content-Type: text/plain\r\nContent-Length: " + std::to_string(length) + "\r\n";
    if (reply.status == kPreconditionFailed)
        out += "Status: 412 Precondition Failed\r\n";
    if (!reply.etag.empty())
        out += "ETag: " + reply.etag + "\r\n";
    out += "\r\n";
    out += reply.body;
    return out;
}

bool SendResponse(const Reply &reply, const std::function<bool(std::string_view)> &write)
{
    if (!write(CgiResponse(reply)))
        return false;
    if (!reply.file)
        return true;
    std::vector<char> block(kChunkBytes);
    std::uint64_t sent = 0;
    while (sent < reply.file->size()) {
        const long long n = reply.file->read(block.data(), block.size());
        if (n <= 0 || !write(std::string_view(block.data(), static_cast<std::size_t>(n))))
            return false;
        sent += static_cast<std::uint64_t>(n);
    }
    return true;
}

Reply Respond(const Config &config, const RequestSource &source, const Services &services, std::string &why)
{
    try {
        if (!config.valid) {
            why = config.error;
            const auto length = ContentLength(source.param("CONTENT_LENGTH"));
            DiscardBody(source, std::min(length.value_or(0), kDefaultMaxRequestBytes));
            return { std::string(kRefusal) };
        }
        const auto request = ReadRequest(source, config.maxRequestBytes, why);
        return request ? HandleRequest(config, *request, services) : Reply { std::string(kRefusal) };
    } catch (...) {
        why = "out of memory"; // and the like: still a well-formed refusal
        return { std::string(kRefusal) };
    }
}

} // namespace vidodu
