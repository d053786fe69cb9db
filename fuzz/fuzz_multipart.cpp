// libFuzzer target: the multipart parser and the path rules of vidodu.cgi.
// Input: a Content-Type line, LF, then the body. Built and run by fuzz/run.sh.

#include "server/multipart.h"
#include "server/names.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Whatever the rules accept is a name that cannot leave its folder.
void CheckElement(std::string_view e)
{
    Require(!e.empty() && e.front() != '.');
    Require(e.find('/') == std::string_view::npos && e.find('\\') == std::string_view::npos);
    Require(e.find('\0') == std::string_view::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const auto eol = input.find('\n');
    if (eol == std::string_view::npos)
        return 0;
    const std::string_view body = input.substr(eol + 1);
    const auto boundary = vidodu::BoundaryOf(input.substr(0, eol));
    if (!boundary)
        return 0;
    const auto fields = vidodu::ParseMultipart(body, *boundary);
    if (!fields)
        return 0;
    for (const auto &field : *fields) {
        // Every value lies inside the body and never holds the delimiter it ended at.
        Require(
            field.value.data() >= body.data() && field.value.data() + field.value.size() <= body.data() + body.size());
        if (const auto path = vidodu::RemotePath(field.value)) {
            Require(path->front() == "data");
            for (const auto &e : *path)
                CheckElement(e);
        }
        if (const auto name = vidodu::RemoteName(field.value))
            CheckElement(*name);
    }
    return 0;
}
