#include "server/auth.h"

#include "server/throttle.h"

#include <algorithm>
#include <sodium.h>

namespace vidodu {
namespace {

bool SodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

std::optional<std::string> HashPassword(std::string_view password)
{
    if (!SodiumReady() || password.size() > kMaxPasswordBytes)
        return std::nullopt;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), kHashOpsLimit, kHashMemLimit) != 0)
        return std::nullopt;
    return std::string(out);
}

bool VerifyPassword(const std::string &hash, std::string_view password)
{
    // crypto_pwhash_str_verify compares the derived keys in constant time.
    return SodiumReady() && password.size() <= kMaxPasswordBytes
        && crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

std::string ThrottlePath(const Config &config)
{
    return config.root + "/.vidodu-throttle";
}

bool Authenticate(const Config &config, std::string_view remoteAddress, std::string_view password,
    const PasswordCheck &check, std::time_t now)
{
    if (password.empty()
        && std::find(config.emptyPasswordFrom.begin(), config.emptyPasswordFrom.end(), remoteAddress)
            != config.emptyPasswordFrom.end())
        return true;
    if (config.passwordHash.empty())
        return false;
    const Throttle throttle(ThrottlePath(config));
    if (!throttle.admit(remoteAddress, now))
        return false;
    const bool right = check(config.passwordHash, password);
    throttle.settle(remoteAddress, now, right);
    return right;
}

} // namespace vidodu
