#pragma once

#include <ctime>
#include <map>
#include <string>
#include <string_view>

// Wrong passwords counted per address in a small file under root, locked with flock so that
// concurrent requests count each other. Ten failures within ten minutes of the first shut
// the address out until those ten minutes are over. A check still running counts as a failure
// until it is settled, so parallel guesses cannot overtake the count; but only finished
// failures shut the address out, so many editors behind one address, all with the right
// password, are not refused for being busy at once. Checks running at once from one address
// are limited to kMaxPendingChecks.
namespace vidodu {

inline constexpr int kMaxFailures = 10;
inline constexpr int kMaxPendingChecks = 64;
inline constexpr std::time_t kFailureWindow = 600;

struct Failures {
    std::time_t first = 0; // when the window began
    int count = 0; // failures, the checks still running included
    int pending = 0; // checks still running
};
using FailureTable = std::map<std::string, Failures>;

// Lines "ADDRESS FIRST COUNT" and, while checks run, " PENDING"; drops malformed lines and
// windows that are over.
FailureTable ParseFailures(std::string_view text, std::time_t now);
std::string FormatFailures(const FailureTable &table);

class Throttle {
public:
    explicit Throttle(std::string statePath)
        : m_path(std::move(statePath))
    {
    }

    // Called before a password is checked. False when the address is shut out, has too many
    // checks running, or the state cannot be kept; otherwise the attempt already counts as a
    // failure until settle() says how it ended: a right password takes it back.
    bool admit(std::string_view address, std::time_t now) const;
    void settle(std::string_view address, std::time_t now, bool right) const;

private:
    template <typename Change> bool update(Change change, std::time_t now) const;
    std::string m_path;
};

} // namespace vidodu
