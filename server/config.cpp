#include "server/config.h"

#include "server/fdio.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vidodu {
namespace {

constexpr std::uint64_t kMinRequestBytes = 1024;
constexpr std::uint64_t kMaxRequestBytes = 1024ull * 1024 * 1024;
constexpr std::size_t kMaxConfigBytes = 64 * 1024;

std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

Config Invalid(std::string why)
{
    Config c;
    c.error = std::move(why);
    return c;
}

// A whole number from `min` to `max`, or nothing.
std::optional<std::uint64_t> NumberIn(std::string_view value, std::uint64_t min, std::uint64_t max)
{
    std::uint64_t n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size() || n < min || n > max)
        return std::nullopt;
    return n;
}

// The history's keys; nothing for other keys, "" for a good value, else why it is not.
std::optional<std::string> ParseHistoryKey(std::string_view key, std::string_view value, HistoryLimits &limits)
{
    struct Bound {
        std::string_view key;
        std::uint64_t HistoryLimits::*field;
        std::uint64_t min, max;
    };
    static constexpr Bound kBounds[] = { { "history_versions", &HistoryLimits::versions, 1, 10'000 },
        { "history_days", &HistoryLimits::days, 1, 36'500 },
        { "history_bytes", &HistoryLimits::bytes, 1, 1ull << 50 } };
    if (key == "history") {
        limits.enabled = value == "on";
        return value == "on" || value == "off" ? "" : "history must be on or off";
    }
    for (const auto &b : kBounds) {
        if (key != b.key)
            continue;
        const auto n = NumberIn(value, b.min, b.max);
        if (n)
            limits.*b.field = *n;
        return n
            ? ""
            : std::string(key) + " must be a number from " + std::to_string(b.min) + " to " + std::to_string(b.max);
    }
    return std::nullopt;
}

} // namespace

bool IsLoopbackAddress(std::string_view address)
{
    const std::string text(address);
    in_addr v4 {};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6 {};
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

Config ParseConfig(std::string_view text)
{
    Config c;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view {} : text.substr(eol + 1);
        line = Trim(line);
        if (line.empty() || line.front() == '#')
            continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            return Invalid("line " + std::to_string(lineNumber) + ": no '='");
        const std::string_view key = Trim(line.substr(0, eq));
        const std::string_view value = Trim(line.substr(eq + 1));
        if (key == "root") {
            if (value.empty() || value.front() != '/')
                return Invalid("root must be an absolute folder");
            c.root = value;
        } else if (key == "password_hash") {
            if (!value.empty() && value.substr(0, 10) != "$argon2id$")
                return Invalid("password_hash must come from vidodu.cgi --hash-password");
            c.passwordHash = value;
        } else if (key == "max_request_bytes") {
            std::uint64_t n = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (ec != std::errc() || end != value.data() + value.size() || n < kMinRequestBytes || n > kMaxRequestBytes)
                return Invalid("max_request_bytes must be a number from 1024 to 1073741824");
            c.maxRequestBytes = n;
        } else if (key == "allow_empty_password_from") {
            std::string_view rest = value;
            while (!rest.empty()) {
                const auto comma = rest.find(',');
                const std::string_view address = Trim(rest.substr(0, comma));
                rest = comma == std::string_view::npos ? std::string_view {} : rest.substr(comma + 1);
                if (address.empty())
                    continue;
                if (!IsLoopbackAddress(address))
                    return Invalid("allow_empty_password_from takes loopback addresses only");
                c.emptyPasswordFrom.emplace_back(address);
            }
        } else if (const auto history = ParseHistoryKey(key, value, c.history)) {
            if (!history->empty())
                return Invalid(*history);
        } else {
            return Invalid("unknown key " + std::string(key));
        }
    }
    if (c.root.empty())
        return Invalid("no root");
    c.valid = true;
    return c;
}

Config LoadConfig(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return Invalid("no configuration at " + path);
    if (fd < 0)
        return Invalid("cannot read the configuration " + path + ": " + std::strerror(errno));
    std::string text(kMaxConfigBytes + 1, '\0');
    const long long n = ReadUpTo(fd, text.data(), text.size());
    const int readError = errno;
    ::close(fd);
    if (n < 0)
        return Invalid("cannot read the configuration " + path + ": " + std::strerror(readError));
    text.resize(static_cast<std::size_t>(n));
    if (text.size() > kMaxConfigBytes)
        return Invalid(path + " is too large");
    Config c = ParseConfig(text);
    if (!c.valid)
        c.error = path + ": " + c.error;
    return c;
}

const Config &ConfigCache::load(const std::string &path)
{
    struct stat st { };
    std::array<long long, 7> identity {};
    if (::stat(path.c_str(), &st) == 0)
        identity = { static_cast<long long>(st.st_dev), static_cast<long long>(st.st_ino),
            static_cast<long long>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_ctim.tv_sec,
            st.st_ctim.tv_nsec };
    if (path != m_path || identity != m_identity || identity == std::array<long long, 7> {}) {
        m_config = LoadConfig(path);
        m_path = path;
        m_identity = identity;
    }
    return m_config;
}

std::string ConfigPath(const char *envValue, const std::string &executablePath)
{
    if (envValue && *envValue)
        return envValue;
    const auto slash = executablePath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : executablePath.substr(0, slash);
    return (folder.empty() ? std::string("/") : folder + "/") + "vidodu.conf";
}

} // namespace vidodu
