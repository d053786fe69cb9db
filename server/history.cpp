#include "server/history.h"

#include "server/disk.h"
#include "server/fdio.h"
#include "server/versions.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <tuple>

namespace vidodu {
namespace {

constexpr std::time_t kDaySeconds = 24 * 60 * 60;
constexpr std::uint64_t kMaxReadBytes = 1ull << 30;
// Inside the history: what pruning removes is first moved here, out of every restore's reach.
constexpr const char *kTrash = "trash";

// An id: "WHEN-ORDER-SIZE", three decimal numbers. ORDER is the clock in nanoseconds, so that
// two things kept within one second still list newest first.
struct Stamp {
    std::time_t when = 0;
    std::uint64_t order = 0;
    std::uint64_t size = 0;
};

std::optional<Stamp> ParseId(std::string_view id)
{
    std::uint64_t numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), numbers[i]);
        if (ec != std::errc())
            return std::nullopt;
        id.remove_prefix(static_cast<std::size_t>(end - id.data()));
        if (i < 2 && !id.starts_with('-'))
            return std::nullopt;
        id.remove_prefix(i < 2 ? 1 : 0);
    }
    if (!id.empty())
        return std::nullopt;
    return Stamp { static_cast<std::time_t>(numbers[0]), numbers[1], numbers[2] };
}

std::string NewId(std::time_t now, std::uint64_t size)
{
    timespec clock {};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    const auto order
        = static_cast<std::uint64_t>(clock.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(clock.tv_nsec);
    return std::to_string(now) + '-' + std::to_string(order) + '-' + std::to_string(size);
}

// "v-" (versions of the file) or "d-" (deleted from the folder) and the start of the hash of
// the path: one short name for any path, however long or deep.
std::string BucketName(char kind, const std::vector<std::string> &path, std::string *joined)
{
    for (const auto &element : path)
        *joined += (joined->empty() ? "" : "/") + element;
    TagHasher hasher;
    hasher.add(*joined);
    return std::string { kind, '-' } + hasher.tag().substr(1, 32);
}

Fd HistoryFolder(const std::string &root, bool create)
{
    const Fd top(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top || (create && ::mkdirat(top.get(), "history", 0700) != 0 && errno != EEXIST))
        return Fd();
    return OpenDirAt(top.get(), "history");
}

// The folder of one path's kept things. A new one gets a note of the path, for whoever looks
// into the history by hand.
Fd Bucket(const std::string &root, char kind, const std::vector<std::string> &path, bool create)
{
    const Fd history = HistoryFolder(root, create);
    std::string joined;
    const std::string name = BucketName(kind, path, &joined);
    if (history && create && ::mkdirat(history.get(), name.c_str(), 0700) == 0) {
        const Fd bucket = OpenDirAt(history.get(), name);
        const Fd note(
            bucket ? ::openat(bucket.get(), "path", O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600) : -1);
        if (note)
            WriteAll(note.get(), joined + '\n');
    }
    return history ? OpenDirAt(history.get(), name) : Fd();
}

struct Entry {
    std::string id;
    Stamp stamp;
};

bool NewerFirst(const Entry &a, const Entry &b)
{
    return std::tie(b.stamp.when, b.stamp.order) < std::tie(a.stamp.when, a.stamp.order);
}

// What a bucket keeps, newest first; other names (the note, a delete under way) are passed over.
std::optional<std::vector<Entry>> EntriesIn(int bucket)
{
    auto names = NamesIn(bucket);
    if (!names)
        return std::nullopt;
    std::vector<Entry> out;
    for (auto &name : *names)
        if (const auto stamp = ParseId(name))
            out.push_back({ std::move(name), *stamp });
    std::sort(out.begin(), out.end(), NewerFirst);
    return out;
}

// The items of a bucket as `describe` tells them (nothing: left out), newest first; none when
// the bucket was never made, nothing when it cannot be read.
template <typename Describe> std::optional<std::vector<KeptItem>> KeptIn(const Fd &bucket, Describe describe)
{
    if (!bucket)
        return errno == ENOENT ? std::optional(std::vector<KeptItem> {}) : std::nullopt;
    const auto entries = EntriesIn(bucket.get());
    if (!entries)
        return std::nullopt;
    std::vector<KeptItem> out;
    for (const auto &e : *entries)
        if (auto kept = describe(bucket.get(), e))
            out.push_back(std::move(*kept));
    return out;
}

// Bytes in the regular files below a folder; links are not followed. Each level holds a folder
// open: a tree deeper than the process may open counts only its upper part.
std::uint64_t TreeSize(int parent, const std::string &name)
{
    const Fd dir = OpenDirAt(parent, name);
    std::uint64_t total = 0;
    for (const auto &n : (dir ? NamesIn(dir.get()) : std::nullopt).value_or(std::vector<std::string> {})) {
        const auto st = StatAt(dir.get(), n);
        if (st && S_ISDIR(st->st_mode))
            total += TreeSize(dir.get(), n);
        else if (st && S_ISREG(st->st_mode))
            total += static_cast<std::uint64_t>(st->st_size);
    }
    return total;
}

bool IsRegular(int dir, const std::string &name)
{
    const auto st = StatAt(dir, name);
    return st && S_ISREG(st->st_mode);
}

} // namespace

bool History::keepVersion(int dir, const std::string &name, const std::vector<std::string> &path) const
{
    const auto st = enabled() ? StatAt(dir, name) : std::nullopt;
    if (!st)
        return !enabled() || errno == ENOENT;
    const Fd bucket = S_ISREG(st->st_mode) ? Bucket(m_root, 'v', path, true) : Fd();
    for (int attempt = 0; bucket && attempt < 8; ++attempt) {
        const std::string id = NewId(m_now, static_cast<std::uint64_t>(st->st_size));
        if (::linkat(dir, name.c_str(), bucket.get(), id.c_str(), 0) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool History::keepDeleted(int dir, const std::string &name, const std::vector<std::string> &folder) const
{
    const auto st = StatAt(dir, name);
    const Fd bucket = st ? Bucket(m_root, 'd', folder, true) : Fd();
    // Not an id, so never listed while the size is counted.
    const std::string staging = "new-" + NewId(m_now, 0);
    if (!bucket || ::mkdirat(bucket.get(), staging.c_str(), 0700) != 0)
        return false;
    const Fd item = OpenDirAt(bucket.get(), staging);
    if (!item || ::renameat(dir, name.c_str(), item.get(), name.c_str()) != 0) {
        ::unlinkat(bucket.get(), staging.c_str(), AT_REMOVEDIR);
        return false;
    }
    const auto size = S_ISDIR(st->st_mode) ? TreeSize(item.get(), name) : static_cast<std::uint64_t>(st->st_size);
    // Deleted already: an item that cannot take its id stays in the history, unlisted.
    for (int attempt = 0; attempt < 8; ++attempt)
        if (RenameNoReplace(bucket.get(), staging, bucket.get(), NewId(m_now, size)))
            break;
    return true;
}

std::optional<std::vector<KeptItem>> History::versions(const std::vector<std::string> &file) const
{
    return KeptIn(Bucket(m_root, 'v', file, false), [](int, const Entry &e) {
        return std::optional(KeptItem { e.id, e.stamp.when, e.stamp.size, {}, false });
    });
}

std::optional<std::vector<KeptItem>> History::deleted(const std::vector<std::string> &folder) const
{
    return KeptIn(Bucket(m_root, 'd', folder, false), [](int bucket, const Entry &e) -> std::optional<KeptItem> {
        const Fd item = OpenDirAt(bucket, e.id);
        const auto names = item ? NamesIn(item.get()) : std::nullopt;
        const auto st = names && names->size() == 1 ? StatAt(item.get(), names->front()) : std::nullopt;
        if (!st)
            return std::nullopt;
        return KeptItem { e.id, e.stamp.when, e.stamp.size, names->front(), S_ISDIR(st->st_mode) };
    });
}

std::optional<std::string> History::readVersion(const std::vector<std::string> &file, std::string_view id) const
{
    const std::string name(id);
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const Fd bucket = ParseId(id) ? Bucket(m_root, 'v', file, false) : Fd();
    Fd fd(bucket ? ::openat(bucket.get(), name.c_str(), kFlags) : -1);
    if (!fd && ParseId(id) && file.size() > 1) { // a deleted file is read by its path too
        const Fd folder = Bucket(m_root, 'd', { file.begin(), file.end() - 1 }, false);
        const Fd item = folder ? OpenDirAt(folder.get(), name) : Fd();
        fd = Fd(item ? ::openat(item.get(), file.back().c_str(), kFlags) : -1);
    }
    struct stat st { };
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)
        || static_cast<std::uint64_t>(st.st_size) > kMaxReadBytes)
        return std::nullopt;
    std::string content(static_cast<std::size_t>(st.st_size), '\0');
    const long long n = ReadUpTo(fd.get(), content.data(), content.size());
    if (n < 0)
        return std::nullopt;
    content.resize(static_cast<std::size_t>(n));
    return content;
}

bool History::hasVersion(const std::vector<std::string> &file, std::string_view id) const
{
    const Fd bucket = ParseId(id) ? Bucket(m_root, 'v', file, false) : Fd();
    return bucket && IsRegular(bucket.get(), std::string(id));
}

bool History::restoreVersion(
    int dir, const std::string &name, const std::vector<std::string> &file, std::string_view id) const
{
    const Fd bucket = ParseId(id) ? Bucket(m_root, 'v', file, false) : Fd();
    const std::string version(id);
    return bucket && IsRegular(bucket.get(), version) && keepVersion(dir, name, file)
        && ::renameat(bucket.get(), version.c_str(), dir, name.c_str()) == 0;
}

bool History::restoreDeleted(int dir, const std::vector<std::string> &folder, std::string_view id,
    const std::optional<std::string> &newName) const
{
    const Fd bucket = ParseId(id) ? Bucket(m_root, 'd', folder, false) : Fd();
    if (!bucket)
        return false;
    // Pruning takes this lock too before it moves an item away.
    const FolderLock lock(bucket.get());
    const std::string itemName(id);
    const Fd item = OpenDirAt(bucket.get(), itemName);
    const auto names = item ? NamesIn(item.get()) : std::nullopt;
    if (!names || names->size() != 1
        || !RenameNoReplace(item.get(), names->front(), dir, newName.value_or(names->front())))
        return false;
    ::unlinkat(bucket.get(), itemName.c_str(), AT_REMOVEDIR);
    return true;
}

void History::prune() const
{
    const Fd history = enabled() ? HistoryFolder(m_root, false) : Fd();
    const auto buckets = history ? NamesIn(history.get()) : std::nullopt;
    if (!buckets)
        return;
    struct Kept {
        std::string bucket;
        Entry entry;
    };
    std::vector<Kept> within, over;
    for (const auto &name : *buckets) {
        const Fd bucket = name.starts_with("v-") || name.starts_with("d-") ? OpenDirAt(history.get(), name) : Fd();
        const auto entries = bucket ? EntriesIn(bucket.get()) : std::nullopt;
        for (std::size_t i = 0; entries && i < entries->size(); ++i) {
            const Entry &e = (*entries)[i];
            const bool tooMany = name.front() == 'v' && i >= m_limits.versions;
            const bool tooOld = m_now - e.stamp.when > static_cast<std::time_t>(m_limits.days) * kDaySeconds;
            (tooMany || tooOld ? over : within).push_back({ name, e });
        }
    }
    std::sort(within.begin(), within.end(), [](const Kept &a, const Kept &b) { return NewerFirst(a.entry, b.entry); });
    std::uint64_t total = 0;
    for (const auto &k : within)
        if ((total += k.entry.stamp.size) > m_limits.bytes)
            over.push_back(k);

    if (::mkdirat(history.get(), kTrash, 0700) != 0 && errno != EEXIST)
        return;
    const Fd trash = OpenDirAt(history.get(), kTrash);
    for (const auto &k : over) {
        const Fd bucket = trash ? OpenDirAt(history.get(), k.bucket) : Fd();
        if (bucket && k.bucket.front() == 'v') {
            ::unlinkat(bucket.get(), k.entry.id.c_str(), 0);
        } else if (bucket) {
            const FolderLock lock(bucket.get());
            RenameNoReplace(bucket.get(), k.entry.id, trash.get(), k.bucket + '-' + k.entry.id);
        }
    }
    // Also what an earlier prune that was stopped half-way left here.
    for (const auto &name : (trash ? NamesIn(trash.get()) : std::nullopt).value_or(std::vector<std::string> {}))
        RemoveTree(trash.get(), name);
}

} // namespace vidodu
