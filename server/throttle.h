#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <string_view>

// Wrong passwords counted per address in a small file under root, locked with flock so that
// concurrent requests, each its own process, count each other. A check counts as a failure
// from the moment it is admitted until it ends; a right password then takes it back. So at
// most ten checks from one address are ever admitted in a window, whether they come one
// after another or all at once, and ten failures within ten minutes of the first shut the
// address out until those ten minutes are over. While running checks fill the ten, a further
// request from that address waits for its turn (many editors behind one router save at once
// with the right password) rather than being refused. An IPv6 host usually owns a whole /64,
// so IPv6 addresses count by their first 64 bits.
namespace vidodu {

inline constexpr int kMaxFailures = 10;
inline constexpr std::time_t kFailureWindow = 600;
inline constexpr int kMaxTurnWaits = 1000; // pauses of about 10 ms: ten seconds

struct Failures {
    std::time_t first = 0; // when the window began
    int count = 0; // failures, the checks still running included
    int pending = 0; // checks still running
};
using FailureTable = std::map<std::string, Failures>;

// Lines "KEY FIRST COUNT PENDING"; drops malformed lines and windows that are over.
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
    // While checks still running fill the window, calls `pause` and looks again, at most
    // kMaxTurnWaits times (without `pause`: refuses at once).
    bool admit(std::string_view address, std::time_t now, const std::function<void()> &pause = {}) const;
    void settle(std::string_view address, std::time_t now, bool right) const;
    // True when ended failures fill the address's window, or the state cannot be read: then
    // even a password known to be right without a check is refused. Reads only.
    bool shutOut(std::string_view address, std::time_t now) const;

private:
    template <typename Change> bool update(Change change, std::time_t now) const;
    std::string m_path;
};

} // namespace vidodu
