#pragma once

#include "server/config.h"

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Passwords: argon2id strings made by --hash-password, checked in constant time; failures
// from one address are throttled (throttle.h).
namespace vidodu {

// argon2id cost: one verification takes about 10 ms on a small server (see docs/server.md).
inline constexpr unsigned long long kHashOpsLimit = 2;
inline constexpr std::size_t kHashMemLimit = 12u * 1024 * 1024;
inline constexpr std::size_t kMaxPasswordBytes = 1024;

std::optional<std::string> HashPassword(std::string_view password);
bool VerifyPassword(const std::string &hash, std::string_view password);

using PasswordCheck = std::function<bool(const std::string &hash, std::string_view password)>;

// The password check of a process that serves many requests: a password that verified costs
// no hash the next time. It is remembered in memory only, as a BLAKE2b digest keyed with a key
// random to the process, beside the password_hash it verified against; a check against another
// hash forgets it. Every other password gets the full check.
class PasswordMemory {
public:
    explicit PasswordMemory(PasswordCheck verify = VerifyPassword);
    // The full check, unless the password is remembered; remembers one that verified.
    bool check(const std::string &hash, std::string_view password);
    // True when the password verified against this hash before: no hash is computed.
    bool remembers(const std::string &hash, std::string_view password) const;

private:
    std::string digest(std::string_view password) const;
    PasswordCheck m_verify;
    std::string m_key;
    std::string m_hash, m_digest; // what verified, and against which hash; empty: nothing
};

// True when the request may go on: the empty password from an address the configuration
// names and FromThisMachine, or a password that matches password_hash. No hash configured:
// nothing matches.
// `pause` waits a moment while other checks from the address are running (throttle.h). A
// password that `known` says is right needs no check: it is refused only when the address is
// shut out, and leaves no count behind.
bool Authenticate(const Config &config, std::string_view remoteAddress, bool fromThisMachine, std::string_view password,
    const PasswordCheck &check, std::time_t now, const std::function<void()> &pause, const PasswordCheck &known = {});

// False when a browser says the request comes from a page of another site (Origin,
// Sec-Fetch-Site) or names a host other than this machine's loopback name (DNS rebinding). The
// empty password is accepted only then. Empty values are what a client that is not a browser sends.
bool FromThisMachine(std::string_view host, std::string_view origin, std::string_view fetchSite);

// Why the editor could not send this password, or nothing: at most 15 letters, digits, "_" and "-".
std::optional<std::string> PasswordFault(std::string_view password);

// Where the throttle keeps its counts.
std::string ThrottlePath(const Config &config);

} // namespace vidodu
