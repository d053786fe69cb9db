#include "server/versions.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vidodu {
namespace {

struct ListedTag {
    bool weak = false;
    std::string_view tag; // with its quotes
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The entity tags of a list such as `"a", W/"b"`; empty elements are allowed, anything else
// between the tags is not.
std::optional<std::vector<ListedTag>> ParseTags(std::string_view list)
{
    std::vector<ListedTag> tags;
    std::size_t i = 0;
    while (true) {
        while (i < list.size() && (IsBlank(list[i]) || list[i] == ','))
            ++i;
        if (i == list.size())
            return tags;
        ListedTag t;
        if (list.substr(i, 2) == "W/") {
            t.weak = true;
            i += 2;
        }
        const std::size_t close = i < list.size() && list[i] == '"' ? list.find('"', i + 1) : std::string_view::npos;
        if (close == std::string_view::npos)
            return std::nullopt;
        t.tag = list.substr(i, close + 1 - i);
        if (std::any_of(
                t.tag.begin(), t.tag.end(), [](char c) { return static_cast<unsigned char>(c) < 0x21 || c == 0x7f; }))
            return std::nullopt;
        tags.push_back(t);
        i = close + 1;
        while (i < list.size() && IsBlank(list[i]))
            ++i;
        if (i < list.size() && list[i] != ',')
            return std::nullopt;
    }
}

// Whether a header names the current file: "*" any file there is, a list the tags in it.
// The strong comparison (If-Match) passes over weak tags; the weak one (If-None-Match) takes
// them by their quoted part. Nothing for a header that does not parse.
std::optional<bool> Names(std::string_view header, const std::optional<std::string> &current, bool strong)
{
    const std::string_view value = Trimmed(header);
    if (value == "*")
        return current.has_value();
    const auto tags = ParseTags(value);
    if (!tags)
        return std::nullopt;
    return current && std::any_of(tags->begin(), tags->end(), [&](const ListedTag &t) {
        return !(strong && t.weak) && t.tag == *current;
    });
}

} // namespace

TagHasher::TagHasher()
{
    static const bool ready = sodium_init() >= 0;
    (void)ready;
    crypto_hash_sha256_init(&m_state);
}

void TagHasher::add(std::string_view bytes)
{
    crypto_hash_sha256_update(&m_state, reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
}

std::string TagHasher::tag()
{
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest {};
    crypto_hash_sha256_final(&m_state, digest.data());
    std::array<char, 2 * crypto_hash_sha256_BYTES + 1> hex {};
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), digest.size());
    return '"' + std::string(hex.data()) + '"';
}

bool PreconditionHolds(const Precondition &precondition, const std::optional<std::string> &current)
{
    if (!Trimmed(precondition.ifMatch).empty() && Names(precondition.ifMatch, current, true) != true)
        return false;
    return Trimmed(precondition.ifNoneMatch).empty() || Names(precondition.ifNoneMatch, current, false) == false;
}

} // namespace vidodu
