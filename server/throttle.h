#pragma once

#include <ctime>
#include <map>
#include <string>
#include <string_view>

// Wrong passwords counted per address in a small file under root, locked with flock so that
// concurrent requests count each other. Ten failures within ten minutes of the first shut
// the address out until those ten minutes are over.
namespace vidodu {

inline constexpr int kMaxFailures = 10;
inline constexpr std::time_t kFailureWindow = 600;

struct Failures {
    std::time_t first = 0; // when the window began
    int count = 0;
};
using FailureTable = std::map<std::string, Failures>;

// Lines "ADDRESS FIRST COUNT"; drops malformed lines and windows that are over.
FailureTable ParseFailures(std::string_view text, std::time_t now);
std::string FormatFailures(const FailureTable &table);

class Throttle {
public:
    explicit Throttle(std::string statePath)
        : m_path(std::move(statePath))
    {
    }

    // Called before a password is checked. False when the address is shut out or the state
    // cannot be kept; otherwise the attempt already counts as a failure, so that parallel
    // guesses cannot overtake the count, until forgive() takes it back.
    bool admit(std::string_view address, std::time_t now) const;
    void forgive(std::string_view address, std::time_t now) const;

private:
    template <typename Change> bool update(Change change, std::time_t now) const;
    std::string m_path;
};

} // namespace vidodu
