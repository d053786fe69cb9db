#pragma once

#include <ctime>
#include <map>
#include <string>
#include <string_view>

// Wrong passwords counted per address in a small file under root, locked with flock so that
// concurrent requests, each its own process, count each other. A check counts as a failure
// from the moment it is admitted until it ends; a right password then takes it back. So at
// most ten checks from one address are ever admitted in a window, whether they come one
// after another or all at once, and ten failures within ten minutes of the first shut the
// address out until those ten minutes are over. An IPv6 host usually owns a whole /64, so
// IPv6 addresses count by their first 64 bits.
namespace vidodu {

inline constexpr int kMaxFailures = 10;
inline constexpr std::time_t kFailureWindow = 600;

struct Failures {
    std::time_t first = 0; // when the window began
    int count = 0; // failures, the checks still running included
};
using FailureTable = std::map<std::string, Failures>;

// Lines "KEY FIRST COUNT"; drops malformed lines and windows that are over.
FailureTable ParseFailures(std::string_view text, std::time_t now);
std::string FormatFailures(const FailureTable &table);
// The throttle's key for REMOTE_ADDR: an IPv4 address as it is (also when IPv4-mapped), an
// IPv6 address as its /64 ("2001:db8:1:2::"), anything else "?".
std::string AddressKey(std::string_view address);

class Throttle {
public:
    explicit Throttle(std::string statePath)
        : m_path(std::move(statePath))
    {
    }

    // Called before a password is checked. False when the address has used up its window or
    // the state cannot be kept; otherwise the attempt counts as a failure until settle().
    bool admit(std::string_view address, std::time_t now) const;
    void settle(std::string_view address, std::time_t now, bool right) const;

private:
    template <typename Change> bool update(Change change, std::time_t now) const;
    std::string m_path;
};

} // namespace vidodu
