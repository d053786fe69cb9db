#pragma once

#include "server/handler.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// CGI/1.1: the request from the environment and standard input, the reply to standard output.
namespace vidodu {

// CONTENT_LENGTH as a number; nothing when it is missing or malformed.
std::optional<std::uint64_t> ContentLength(const char *text);
// Exactly `length` bytes, the buffer growing as they arrive (a claimed length costs no memory
// before the bytes come); nothing when the input ends early.
std::optional<std::string> ReadBody(int fd, std::uint64_t length);
// Reads and drops up to `length` bytes. Some web servers (Apache's cgid) pass no reply on
// when the script has not read the body.
void DiscardBody(int fd, std::uint64_t length);
// The request as the web server hands it over, with a body of at most `maxBytes`. Nothing
// when it is refused before the handler: then `why` says why when the web server's
// administrator should hear of it, and the body has been drained.
std::optional<Request> RequestFromEnvironment(int fd, std::uint64_t maxBytes, std::string &why);
// Headers and reply as written to standard output.
std::string CgiResponse(const Reply &reply);

} // namespace vidodu
