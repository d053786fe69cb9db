#include "server/multipart.h"

#include <algorithm>

namespace vidodu {
namespace {

constexpr std::size_t kMaxBoundary = 200; // RFC 2046 allows 70; browsers stay far below
constexpr std::size_t kMaxHeaderBlock = 8192; // all header lines of one part
constexpr std::size_t kMaxFields = 64;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Splits "a; b=c; d" at semicolons outside double quotes.
std::vector<std::string_view> SplitParameters(std::string_view s)
{
    std::vector<std::string_view> out;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"')
            quoted = !quoted;
        else if (s[i] == '\\' && quoted)
            ++i;
        else if (s[i] == ';' && !quoted) {
            out.push_back(Trim(s.substr(start, i - start)));
            start = i + 1;
        }
    }
    out.push_back(Trim(s.substr(start)));
    return out;
}

// A parameter value: a quoted string (with backslash escapes) or the bare text.
std::optional<std::string> ParameterValue(std::string_view v)
{
    if (v.empty() || v.front() != '"')
        return std::string(v);
    std::string out;
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size())
            out += v[++i];
        else if (v[i] == '"')
            return i + 1 == v.size() ? std::optional<std::string>(out) : std::nullopt;
        else
            out += v[i];
    }
    return std::nullopt;
}

// The value of parameter `key` in a header value such as `form-data; name="x"`.
std::optional<std::string> Parameter(const std::vector<std::string_view> &params, std::string_view key)
{
    for (std::size_t i = 1; i < params.size(); ++i) {
        const auto eq = params[i].find('=');
        if (eq != std::string_view::npos && EqualsNoCase(Trim(params[i].substr(0, eq)), key))
            return ParameterValue(Trim(params[i].substr(eq + 1)));
    }
    return std::nullopt;
}

// The field name from one part's header block (lines joined by CR LF, without the empty line).
std::optional<std::string> FieldName(std::string_view headers)
{
    std::optional<std::string> name;
    while (!headers.empty()) {
        const auto eol = headers.find("\r\n");
        const std::string_view line = headers.substr(0, eol);
        headers = eol == std::string_view::npos ? std::string_view {} : headers.substr(eol + 2);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || IsBlank(line.front()))
            return std::nullopt; // folded or nameless header lines are not form-data
        if (!EqualsNoCase(Trim(line.substr(0, colon)), "Content-Disposition"))
            continue;
        if (name)
            return std::nullopt;
        const auto params = SplitParameters(line.substr(colon + 1));
        if (!EqualsNoCase(params.front(), "form-data"))
            return std::nullopt;
        name = Parameter(params, "name");
        if (!name)
            return std::nullopt;
    }
    return name;
}

} // namespace

std::optional<std::string> BoundaryOf(std::string_view contentType)
{
    const auto params = SplitParameters(contentType);
    if (!EqualsNoCase(params.front(), "multipart/form-data"))
        return std::nullopt;
    auto boundary = Parameter(params, "boundary");
    if (!boundary || boundary->empty() || boundary->size() > kMaxBoundary)
        return std::nullopt;
    if (std::any_of(boundary->begin(), boundary->end(), [](char c) { return c == '\r' || c == '\n'; }))
        return std::nullopt;
    return boundary;
}

std::optional<std::vector<FormField>> ParseMultipart(std::string_view body, std::string_view boundary)
{
    if (boundary.empty())
        return std::nullopt;
    const std::string dashBoundary = "--" + std::string(boundary);
    const std::string delimiter = "\r\n" + dashBoundary;
    if (body.substr(0, dashBoundary.size()) != dashBoundary)
        return std::nullopt;
    std::size_t pos = dashBoundary.size();
    std::vector<FormField> fields;
    for (;;) {
        // After a boundary: "--" closes, else optional blanks and CR LF open the next part.
        if (body.substr(pos, 2) == "--") {
            const std::string_view epilogue = body.substr(pos + 2);
            if (!epilogue.empty() && epilogue != "\r\n")
                return std::nullopt;
            return fields;
        }
        while (pos < body.size() && IsBlank(body[pos]))
            ++pos;
        if (body.substr(pos, 2) != "\r\n")
            return std::nullopt;
        pos += 2;
        if (fields.size() == kMaxFields)
            return std::nullopt;

        const auto headerEnd = body.find("\r\n\r\n", pos);
        if (headerEnd == std::string_view::npos || headerEnd - pos > kMaxHeaderBlock)
            return std::nullopt;
        auto name = FieldName(body.substr(pos, headerEnd - pos));
        if (!name)
            return std::nullopt;
        const std::size_t valueStart = headerEnd + 4;

        // The value ends at the first CR LF "--" boundary that is followed by "--" or by
        // blanks and CR LF; anything else after those bytes is still part of the value.
        std::size_t search = valueStart;
        std::size_t end = std::string_view::npos;
        while (end == std::string_view::npos) {
            const auto hit = body.find(delimiter, search);
            if (hit == std::string_view::npos)
                return std::nullopt;
            std::size_t after = hit + delimiter.size();
            if (body.substr(after, 2) == "--") {
                end = hit;
                break;
            }
            while (after < body.size() && IsBlank(body[after]))
                ++after;
            if (body.substr(after, 2) == "\r\n")
                end = hit;
            else
                search = hit + 1;
        }
        fields.push_back({ std::move(*name), body.substr(valueStart, end - valueStart) });
        pos = end + delimiter.size();
    }
}

} // namespace vidodu
