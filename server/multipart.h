#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// multipart/form-data as the editor frames it (part headers without blanks, an unquoted
// boundary holding "=", nothing after the closing delimiter) and as browsers and curl -F
// frame it (blanks, a quoted boundary, per-part Content-Type, a CR LF after the end).
namespace vidodu {

struct FormField {
    std::string name;
    std::string_view value; // points into the parsed body
};

// The boundary parameter of a "multipart/form-data" Content-Type, or nothing.
std::optional<std::string> BoundaryOf(std::string_view contentType);
// The fields in body order, or nothing when the body is not well formed.
std::optional<std::vector<FormField>> ParseMultipart(std::string_view body, std::string_view boundary);

} // namespace vidodu
