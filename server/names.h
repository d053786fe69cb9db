#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Names travel in code page 932 and live on disk in UTF-8. A remote path is "data" or
// "data/" and more elements; every element must be a real name.
namespace vidodu {

// glibc's CP932; nothing for bytes or characters the other side cannot represent.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// A real name: not empty, not starting with "." (so neither "." nor ".." nor hidden files),
// without "/", "\", NUL or any control character (C0, DEL, C1). Takes UTF-8.
bool IsRealName(std::string_view utf8);

// The UTF-8 elements of a remote path sent in code page 932, the first being "data";
// nothing when the path breaks a rule or does not convert.
std::optional<std::vector<std::string>> RemotePath(std::string_view cp932);
// A single new name (for the renames) sent in code page 932, in UTF-8.
std::optional<std::string> RemoteName(std::string_view cp932);

} // namespace vidodu
