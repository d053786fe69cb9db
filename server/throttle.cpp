#include "server/throttle.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vidodu {
namespace {

constexpr std::size_t kMaxStateBytes = 256 * 1024;
constexpr std::size_t kMaxAddresses = 2048;

template <typename T> bool ParseNumber(std::string_view s, T &out)
{
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

} // namespace

std::string AddressKey(std::string_view address)
{
    if (address.size() >= INET6_ADDRSTRLEN)
        return "?";
    const std::string text(address);
    in_addr v4 {};
    in6_addr v6 {};
    char out[INET6_ADDRSTRLEN] = {};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return text;
    if (inet_pton(AF_INET6, text.c_str(), &v6) != 1)
        return "?";
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::memcpy(&v4, &v6.s6_addr[12], sizeof v4);
        return inet_ntop(AF_INET, &v4, out, sizeof out);
    }
    std::memset(&v6.s6_addr[8], 0, 8);
    return inet_ntop(AF_INET6, &v6, out, sizeof out);
}

FailureTable ParseFailures(std::string_view text, std::time_t now)
{
    FailureTable table;
    while (!text.empty() && table.size() < kMaxAddresses) {
        const auto eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view {} : text.substr(eol + 1);
        const auto s1 = line.find(' ');
        const auto s2 = s1 == std::string_view::npos ? s1 : line.find(' ', s1 + 1);
        if (s2 == std::string_view::npos)
            continue;
        Failures f;
        const std::string_view address = line.substr(0, s1);
        const auto s3 = line.find(' ', s2 + 1);
        const std::string_view count = line.substr(s2 + 1, s3 == std::string_view::npos ? s3 : s3 - s2 - 1);
        if (!ParseNumber(line.substr(s1 + 1, s2 - s1 - 1), f.first) || !ParseNumber(count, f.count)
            || (s3 != std::string_view::npos && !ParseNumber(line.substr(s3 + 1), f.pending))
            || AddressKey(address) != address)
            continue;
        // A window that is over, or one that starts in the future (a clock set back), ends.
        if (f.count <= 0 || now - f.first >= kFailureWindow || f.first > now)
            continue;
        f.count = std::min(f.count, kMaxFailures);
        f.pending = std::clamp(f.pending, 0, f.count);
        table[std::string(address)] = f;
    }
    return table;
}

std::string FormatFailures(const FailureTable &table)
{
    std::string out;
    for (const auto &[address, f] : table)
        out += address + ' ' + std::to_string(f.first) + ' ' + std::to_string(f.count) + ' ' + std::to_string(f.pending)
            + '\n';
    return out;
}

template <typename Change> bool Throttle::update(Change change, std::time_t now) const
{
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::flock(fd, LOCK_EX) == 0;
    std::string text(kMaxStateBytes, '\0');
    const ssize_t n = ok ? ::pread(fd, text.data(), text.size(), 0) : -1;
    ok = n >= 0;
    if (ok) {
        text.resize(static_cast<std::size_t>(n));
        FailureTable table = ParseFailures(text, now);
        ok = change(table);
        if (table.size() > kMaxAddresses) {
            // Forget the oldest windows first; a flood of addresses must not grow the file.
            auto oldest = std::min_element(table.begin(), table.end(),
                [](const auto &a, const auto &b) { return a.second.first < b.second.first; });
            table.erase(oldest);
        }
        const std::string out = FormatFailures(table);
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size()))
            ok = false;
    }
    ::close(fd); // releases the lock
    return ok;
}

bool Throttle::admit(std::string_view address, std::time_t now, const std::function<void()> &pause) const
{
    const std::string key = AddressKey(address);
    for (int wait = 0;; ++wait) {
        bool busy = false;
        const bool admitted = update(
            [&](FailureTable &table) {
                auto it = table.find(key);
                if (it == table.end())
                    it = table.emplace(key, Failures { now, 0, 0 }).first;
                Failures &f = it->second;
                busy = f.count >= kMaxFailures && f.count - f.pending < kMaxFailures;
                if (f.count >= kMaxFailures)
                    return false;
                ++f.count;
                ++f.pending;
                return true;
            },
            now);
        if (admitted || !busy || !pause || wait >= kMaxTurnWaits)
            return admitted;
        pause();
    }
}

void Throttle::settle(std::string_view address, std::time_t now, bool right) const
{
    const std::string key = AddressKey(address);
    update(
        [&](FailureTable &table) {
            const auto it = table.find(key);
            if (it == table.end())
                return true;
            Failures &f = it->second;
            f.pending = std::max(f.pending - 1, 0);
            if (right && --f.count <= 0)
                table.erase(it);
            return true;
        },
        now);
}

bool Throttle::shutOut(std::string_view address, std::time_t now) const
{
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno != ENOENT; // no file: no failures yet
    std::string text(kMaxStateBytes, '\0');
    const ssize_t n = ::flock(fd, LOCK_SH) == 0 ? ::pread(fd, text.data(), text.size(), 0) : -1;
    ::close(fd);
    if (n < 0)
        return true;
    text.resize(static_cast<std::size_t>(n));
    const FailureTable table = ParseFailures(text, now);
    const auto it = table.find(AddressKey(address));
    return it != table.end() && it->second.count - it->second.pending >= kMaxFailures;
}

} // namespace vidodu
