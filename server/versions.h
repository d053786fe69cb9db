#pragma once

#include <optional>
#include <sodium.h>
#include <string>
#include <string_view>

// A stored file's version is its entity tag: the SHA-256 of its bytes as 64 lower-case hex
// digits in double quotes, the same for the same bytes on any server, so that the editor can
// compute it too. A save may name the versions it means to replace (If-Match) or ask that
// there be none (If-None-Match: *).
namespace vidodu {

// SHA-256 over bytes fed as they pass, and the entity tag it makes.
class TagHasher {
public:
    TagHasher();
    void add(std::string_view bytes);
    // Ends the hash: call once, after the last add.
    std::string tag();

private:
    crypto_hash_sha256_state m_state;
};

// A save's conditions, the request's If-Match and If-None-Match headers as sent; empty when
// not sent, and then the save replaces whatever is there.
struct Precondition {
    std::string ifMatch, ifNoneMatch;
    bool empty() const { return ifMatch.empty() && ifNoneMatch.empty(); }
};

// Whether the file a save would replace meets the precondition. `current` is its entity tag,
// nothing when there is no file, "" when something is there whose bytes cannot be read. A
// weak tag never meets If-Match; a header that does not parse is never met.
bool PreconditionHolds(const Precondition &precondition, const std::optional<std::string> &current);

} // namespace vidodu
