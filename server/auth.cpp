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

bool IsPort(std::string_view s)
{
    return !s.empty() && s.size() <= 5 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "localhost", "127.0.0.1" or "[::1]", each with or without ":PORT".
bool IsLoopbackHost(std::string_view host)
{
    std::string_view name = host, port;
    if (host.starts_with('[')) {
        const auto close = host.find(']');
        if (close == std::string_view::npos)
            return false;
        name = host.substr(1, close - 1);
        port = host.substr(close + 1);
    } else if (const auto colon = host.find(':'); colon != std::string_view::npos) {
        name = host.substr(0, colon);
        port = host.substr(colon);
    }
    if (!port.empty() && !(port.front() == ':' && IsPort(port.substr(1))))
        return false;
    return name == "localhost" || IsLoopbackAddress(name);
}

} // namespace

bool FromThisMachine(std::string_view host, std::string_view origin, std::string_view fetchSite)
{
    const bool sameSite = fetchSite.empty() || fetchSite == "same-origin" || fetchSite == "none";
    const bool sameOrigin = origin.empty()
        || (!host.empty() && (origin == "http://" + std::string(host) || origin == "https://" + std::string(host)));
    return sameSite && sameOrigin && (host.empty() || IsLoopbackHost(host));
}

std::optional<std::string> PasswordFault(std::string_view password)
{
    if (password.empty())
        return "the password is empty";
    if (password.size() > 15)
        return "the editor sends at most 15 characters";
    const bool allowed = std::all_of(password.begin(), password.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
    if (!allowed)
        return "the editor sends only letters, digits, \"_\" and \"-\"";
    return std::nullopt;
}

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

PasswordMemory::PasswordMemory(PasswordCheck verify)
    : m_verify(std::move(verify))
    , m_key(crypto_generichash_KEYBYTES, '\0')
{
    if (SodiumReady())
        randombytes_buf(m_key.data(), m_key.size());
}

std::string PasswordMemory::digest(std::string_view password) const
{
    std::string out(crypto_generichash_BYTES, '\0');
    crypto_generichash(reinterpret_cast<unsigned char *>(out.data()), out.size(),
        reinterpret_cast<const unsigned char *>(password.data()), password.size(),
        reinterpret_cast<const unsigned char *>(m_key.data()), m_key.size());
    return out;
}

bool PasswordMemory::remembers(const std::string &hash, std::string_view password) const
{
    if (m_digest.empty() || hash != m_hash)
        return false;
    const std::string sent = digest(password);
    return sodium_memcmp(sent.data(), m_digest.data(), sent.size()) == 0;
}

bool PasswordMemory::check(const std::string &hash, std::string_view password)
{
    if (hash != m_hash)
        m_hash.clear(), m_digest.clear();
    if (remembers(hash, password))
        return true;
    if (!m_verify(hash, password))
        return false;
    m_hash = hash;
    m_digest = digest(password);
    return true;
}

std::string ThrottlePath(const Config &config)
{
    return config.root + "/.vidodu-throttle";
}

bool Authenticate(const Config &config, std::string_view remoteAddress, bool fromThisMachine, std::string_view password,
    const PasswordCheck &check, std::time_t now, const std::function<void()> &pause, const PasswordCheck &known)
{
    if (password.empty() && fromThisMachine
        && std::find(config.emptyPasswordFrom.begin(), config.emptyPasswordFrom.end(), remoteAddress)
            != config.emptyPasswordFrom.end())
        return true;
    if (config.passwordHash.empty())
        return false;
    const Throttle throttle(ThrottlePath(config));
    if (known && known(config.passwordHash, password))
        return !throttle.shutOut(remoteAddress, now);
    if (!throttle.admit(remoteAddress, now, pause))
        return false;
    const bool right = check(config.passwordHash, password);
    throttle.settle(remoteAddress, now, right);
    return right;
}

} // namespace vidodu
