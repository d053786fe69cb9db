#pragma once

#include "server/handler.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// CGI/1.1's view of a request, whoever hands it over: the parameters (a CGI program's
// environment, or a FastCGI request's parameters) and the body (standard input, or the FastCGI
// request's input stream). The reply goes back as CGI headers and body.
namespace vidodu {

struct RequestSource {
    // A parameter's value; nullptr when it is not set.
    std::function<const char *(const char *name)> param;
    // Up to `size` bytes of the body, as ReadUpTo (fdio.h): fewer only at its end, -1 on an error.
    std::function<long long(char *buffer, std::size_t size)> read;
};

// A CGI program's request: the environment and the body on `fd`.
RequestSource EnvironmentSource(int fd);

// CONTENT_LENGTH as a number; nothing when it is missing or malformed.
std::optional<std::uint64_t> ContentLength(const char *text);
// Exactly `length` bytes, the buffer growing as they arrive (a claimed length costs no memory
// before the bytes come); nothing when the input ends early.
std::optional<std::string> ReadBody(const RequestSource &source, std::uint64_t length);
// Reads and drops up to `length` bytes. Some web servers (Apache's cgid) pass no reply on
// when the script has not read the body.
void DiscardBody(const RequestSource &source, std::uint64_t length);
// The request as the web server hands it over, with a body of at most `maxBytes`. Nothing
// when it is refused before the handler: then `why` says why when the web server's
// administrator should hear of it, and the body has been drained.
std::optional<Request> ReadRequest(const RequestSource &source, std::uint64_t maxBytes, std::string &why);
// The headers and the reply's text as written to standard output; a reply's file follows them.
std::string CgiResponse(const Reply &reply);
// Writes the headers and the text at once, then the file block by block as it is read, so
// that the reply starts at once and memory does not grow with the file. False when a write
// failed or the file ended early (the web server then sees a reply shorter than announced).
bool SendResponse(const Reply &reply, const std::function<bool(std::string_view)> &write);
// One request read and handled: the reply to send. `why` as for ReadRequest, or why the
// configuration is not valid.
Reply Respond(const Config &config, const RequestSource &source, const Services &services, std::string &why);

} // namespace vidodu
