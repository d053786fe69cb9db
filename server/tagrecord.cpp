#include "server/tagrecord.h"

#include "server/versions.h"

#include <cerrno>
#include <sys/xattr.h>
#include <unistd.h>

namespace vidodu {
namespace {

constexpr const char *kAttribute = "user.vidodu.etag";
// A quoted 64-digit hash.
constexpr std::size_t kTagLength = 66;

// What the recorded tag is bound to: "size mtime-seconds.nanoseconds inode ".
std::string Stamp(const struct stat &st)
{
    return std::to_string(st.st_size) + ' ' + std::to_string(st.st_mtim.tv_sec) + '.'
        + std::to_string(st.st_mtim.tv_nsec) + ' ' + std::to_string(st.st_ino) + ' ';
}

std::optional<std::string> RecordedTag(int fd, const struct stat &st)
{
    char value[128];
    const ssize_t n = ::fgetxattr(fd, kAttribute, value, sizeof value);
    if (n <= 0)
        return std::nullopt;
    const std::string_view recorded(value, static_cast<std::size_t>(n));
    const std::string stamp = Stamp(st);
    if (recorded.size() != stamp.size() + kTagLength || !recorded.starts_with(stamp))
        return std::nullopt;
    return std::string(recorded.substr(stamp.size()));
}

std::optional<std::string> HashedTag(int fd)
{
    TagHasher hasher;
    char block[64 * 1024];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, block, sizeof block, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return hasher.tag();
        hasher.add(std::string_view(block, static_cast<std::size_t>(n)));
        at += n;
    }
}

void Record(int fd, const struct stat &st, const std::string &tag)
{
    const std::string value = Stamp(st) + tag;
    ::fsetxattr(fd, kAttribute, value.data(), value.size(), 0);
}

} // namespace

void RecordTag(int fd, const std::string &tag)
{
    struct stat st { };
    if (tag.size() == kTagLength && ::fstat(fd, &st) == 0)
        Record(fd, st, tag);
}

std::optional<std::string> TagOf(int fd, const struct stat &st)
{
    if (auto recorded = RecordedTag(fd, st))
        return recorded;
    auto hashed = HashedTag(fd);
    // Recorded only for the bytes hashed: not when the file changed meanwhile.
    struct stat after { };
    if (hashed && ::fstat(fd, &after) == 0 && Stamp(after) == Stamp(st))
        Record(fd, st, *hashed);
    return hashed;
}

} // namespace vidodu
