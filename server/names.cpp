#include "server/names.h"

#include <cerrno>
#include <iconv.h>

namespace vidodu {
namespace {

constexpr std::size_t kMaxPathBytes = 4096;

// One open conversion per direction, reused: listing a big folder converts every name.
class Converter {
public:
    Converter(const char *to, const char *from)
        : m_cd(iconv_open(to, from))
    {
    }
    ~Converter()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    std::optional<std::string> operator()(std::string_view in)
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1) || in.size() > kMaxPathBytes)
            return std::nullopt;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 3 + 8, '\0');
        char *src = const_cast<char *>(in.data());
        std::size_t srcLeft = in.size();
        char *dst = out.data();
        std::size_t dstLeft = out.size();
        // A half-width katakana byte becomes 3 UTF-8 bytes, the most any input byte grows;
        // UTF-8 never grows on its way to code page 932.
        if (iconv(m_cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1))
            return std::nullopt;
        if (iconv(m_cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1))
            return std::nullopt;
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    iconv_t m_cd;
};

bool IsControl(unsigned char lead, unsigned char next)
{
    if (lead < 0x20 || lead == 0x7f)
        return true;
    return lead == 0xc2 && next >= 0x80 && next <= 0x9f; // U+0080..U+009F in UTF-8
}

} // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932)
{
    thread_local Converter convert("UTF-8", "CP932");
    return convert(cp932);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    thread_local Converter convert("CP932", "UTF-8");
    return convert(utf8);
}

bool IsRealName(std::string_view utf8)
{
    if (utf8.empty() || utf8.front() == '.')
        return false;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
        if (c == '/' || c == '\\' || IsControl(c, next))
            return false;
    }
    return true;
}

std::optional<std::vector<std::string>> RemotePath(std::string_view cp932)
{
    // Convert first: in code page 932 a trail byte may be 0x5C, so "表" holds a backslash byte.
    const auto utf8 = Cp932ToUtf8(cp932);
    if (!utf8)
        return std::nullopt;
    std::vector<std::string> elements;
    std::string_view rest = *utf8;
    for (;;) {
        const auto slash = rest.find('/');
        const std::string_view element = rest.substr(0, slash);
        if (!IsRealName(element))
            return std::nullopt;
        elements.emplace_back(element);
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    if (elements.front() != "data")
        return std::nullopt;
    return elements;
}

std::optional<std::string> RemoteName(std::string_view cp932)
{
    auto utf8 = Cp932ToUtf8(cp932);
    if (!utf8 || !IsRealName(*utf8))
        return std::nullopt;
    return utf8;
}

} // namespace vidodu
