#pragma once

#include <cstddef>
#include <string_view>

// Whole reads and writes on file descriptors, retried after signals.
namespace vidodu {

bool WriteAll(int fd, std::string_view data);
// Reads until `size` bytes are in or the input ends; the count read, or -1 on an error.
long long ReadUpTo(int fd, char *buffer, std::size_t size);

} // namespace vidodu
