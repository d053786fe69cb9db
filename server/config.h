#pragma once

#include "server/history.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The script's configuration: a "key = value" file named by VIDODU_CONF, else vidodu.conf
// beside the executable. A configuration that cannot be read or holds a bad value is not
// valid, and an invalid configuration makes every request answer "NG".
namespace vidodu {

inline constexpr std::uint64_t kDefaultMaxRequestBytes = 64ull * 1024 * 1024;

struct Config {
    bool valid = false;
    std::string error; // why the configuration is not valid
    std::string root; // absolute folder that holds data/
    std::string passwordHash; // argon2id string; empty: no password is right
    std::vector<std::string> emptyPasswordFrom; // loopback addresses that may send ""
    std::uint64_t maxRequestBytes = kDefaultMaxRequestBytes;
    HistoryLimits history;
};

Config ParseConfig(std::string_view text);
Config LoadConfig(const std::string &path);
// The file to read: the environment's VIDODU_CONF when set and not empty, else vidodu.conf in
// the folder of the executable.
std::string ConfigPath(const char *envValue, const std::string &executablePath);

// The configuration of a process that serves many requests: read at the first request, and
// read again when another path is asked for or the file at the path is no longer the one read
// (another file there, or its size, modification or change time differ). A file that cannot be
// looked at is read again every time, so that its error is always the current one.
class ConfigCache {
public:
    const Config &load(const std::string &path);

private:
    std::string m_path;
    std::array<long long, 7> m_identity {}; // all 0: nothing read yet, or nothing to look at
    Config m_config;
};

// True for 127.0.0.0/8 and ::1, the only addresses that may be allowed the empty password.
bool IsLoopbackAddress(std::string_view address);

} // namespace vidodu
