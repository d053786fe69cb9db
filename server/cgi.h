#pragma once

#include "server/handler.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// CGI/1.1: the request from the environment and standard input, the reply to standard output.
namespace vidodu {

// Reads exactly CONTENT_LENGTH bytes, never more than `maxBytes`; nothing when the length is
// missing, malformed or too large, or the input ends early.
std::optional<std::string> ReadBody(int fd, const char *contentLength, std::uint64_t maxBytes);
// The request as the web server hands it over; the body is read only when it may be.
std::optional<Request> RequestFromEnvironment(int fd, std::uint64_t maxBytes);
// Headers and reply as written to standard output.
std::string CgiResponse(std::string_view reply);

} // namespace vidodu
