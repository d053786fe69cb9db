#include "server/store.h"

#include "server/disk.h"
#include "server/fdio.h"
#include "server/tagrecord.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vidodu {
namespace {

constexpr std::uint64_t kMaxReadBytes = 1ull << 30;
// Files are read, written and hashed in blocks of this size.
constexpr std::size_t kBlockBytes = 64 * 1024;
// Every save writes under this prefix first: hidden, so no request can name or list it.
constexpr std::string_view kTemporaryPrefix = ".vidodu-save-";
// A temporary file this old whose writer holds no lock on it belongs to a save that died.
constexpr std::time_t kStaleTemporarySeconds = 10 * 60;

// The folder named by the first `count` elements. "data" is made on first use.
Fd OpenFolder(const std::string &root, const Elements &path, std::size_t count)
{
    Fd dir(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir || count == 0 || path.empty() || path.front() != "data")
        return Fd();
    if (::mkdirat(dir.get(), "data", 0777) != 0 && errno != EEXIST)
        return Fd();
    for (std::size_t i = 0; i < count && dir; ++i)
        dir = OpenDirAt(dir.get(), path[i]);
    return dir;
}

// The folder that holds the last element; nothing for "data" itself, which has no parent
// that a request may touch.
Fd OpenParent(const std::string &root, const Elements &path)
{
    return path.size() < 2 ? Fd() : OpenFolder(root, path, path.size() - 1);
}

bool IsType(int dir, const std::string &name, mode_t type)
{
    const auto st = StatAt(dir, name);
    return st && (st->st_mode & S_IFMT) == type;
}

// Entries of a folder of one type (S_IFDIR, S_IFREG), hidden ones left out, sorted by name.
std::optional<std::vector<std::pair<std::string, struct stat>>> VisibleEntries(
    const std::string &root, const Elements &folder, mode_t type)
{
    const Fd dir = OpenFolder(root, folder, folder.size());
    auto names = dir ? NamesIn(dir.get()) : std::nullopt;
    if (!names)
        return std::nullopt;
    std::vector<std::pair<std::string, struct stat>> out;
    out.reserve(names->size());
    for (auto &n : *names) {
        const auto st = n.front() == '.' ? std::nullopt : StatAt(dir.get(), n);
        if (st && (st->st_mode & S_IFMT) == type)
            out.emplace_back(std::move(n), *st);
    }
    std::sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    return out;
}

std::string TemporaryName()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[16] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        return {};
    std::string name(kTemporaryPrefix);
    for (const unsigned char b : bytes)
        name += alphabet[b % (sizeof alphabet - 1)];
    return name;
}

// A save killed half-way (kill -9, a lost machine, a web server that stopped) leaves its
// temporary file behind. A living save holds a lock on its own, so a file of ours that nobody
// locks and that has not changed for a while is a leftover: the next save in the folder
// removes it. Links, folders and other hidden names are left alone.
void RemoveStaleTemporaries(int dir)
{
    const auto names = NamesIn(dir);
    if (!names)
        return;
    const std::time_t now = std::time(nullptr);
    for (const auto &name : *names) {
        if (!name.starts_with(kTemporaryPrefix))
            continue;
        const Fd fd(::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st { };
        if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || now - st.st_mtime < kStaleTemporarySeconds
            || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        const auto current = StatAt(dir, name); // still the file we looked at
        if (current && current->st_dev == st.st_dev && current->st_ino == st.st_ino)
            ::unlinkat(dir, name.c_str(), 0);
    }
}

bool WriteHashed(int fd, std::string_view content, TagHasher &hasher)
{
    for (std::size_t at = 0; at < content.size(); at += kBlockBytes) {
        const std::string_view block = content.substr(at, kBlockBytes);
        hasher.add(block);
        if (!WriteAll(fd, block))
            return false;
    }
    return true;
}

// The entity tag of what a save would replace (tagrecord.h); nothing when there is
// no file, "" when something is there that cannot be read as one.
std::optional<std::string> CurrentTag(int dir, const std::string &name)
{
    const Fd fd(::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd && errno == ENOENT)
        return std::nullopt;
    struct stat st { };
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::string();
    return TagOf(fd.get(), st).value_or(std::string());
}

// After a request added to the history: what is now over its limits goes.
bool KeptAndPruned(const History &history, bool kept)
{
    if (kept)
        history.prune();
    return kept;
}

} // namespace

std::optional<std::vector<std::string>> Store::listFolders(const Elements &folder) const
{
    auto entries = VisibleEntries(m_root, folder, S_IFDIR);
    if (!entries)
        return std::nullopt;
    std::vector<std::string> out;
    for (auto &[name, st] : *entries)
        out.push_back(std::move(name));
    return out;
}

std::optional<std::vector<FileEntry>> Store::listFiles(const Elements &folder) const
{
    auto entries = VisibleEntries(m_root, folder, S_IFREG);
    if (!entries)
        return std::nullopt;
    std::vector<FileEntry> out;
    out.reserve(entries->size());
    for (auto &[name, st] : *entries)
        out.push_back({ std::move(name), st.st_mtim.tv_sec, static_cast<std::uint64_t>(st.st_size) });
    return out;
}

OpenedFile::OpenedFile(int fd, std::uint64_t size, std::string tag)
    : m_fd(fd)
    , m_size(size)
    , m_tag(std::move(tag))
{
}

OpenedFile::~OpenedFile()
{
    ::close(m_fd);
}

long long OpenedFile::read(char *buffer, std::size_t capacity)
{
    const long long n
        = ReadUpTo(m_fd, buffer, static_cast<std::size_t>(std::min<std::uint64_t>(capacity, m_size - m_done)));
    if (n > 0)
        m_done += static_cast<std::uint64_t>(n);
    return n;
}

std::shared_ptr<OpenedFile> Store::readFile(const Elements &file) const
{
    const Fd dir = OpenParent(m_root, file);
    // Without O_NONBLOCK a named pipe would hold the request until someone writes to it.
    Fd fd(dir ? ::openat(dir.get(), file.back().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC) : -1);
    struct stat st { };
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)
        || static_cast<std::uint64_t>(st.st_size) > kMaxReadBytes)
        return nullptr;
    auto tag = TagOf(fd.get(), st);
    if (!tag)
        return nullptr;
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    return std::make_shared<OpenedFile>(fd.release(), size, std::move(*tag));
}

SaveResult Store::saveFile(const Elements &file, std::string_view content, const Precondition &precondition) const
{
    const Fd dir = OpenParent(m_root, file);
    if (!dir)
        return {};
    const auto existing = StatAt(dir.get(), file.back());
    if (existing && !S_ISREG(existing->st_mode))
        return {};
    if (!existing && errno != ENOENT)
        return {};
    const mode_t mode = existing ? (existing->st_mode & 07777) : 0666;

    std::string temporary;
    Fd fd;
    for (int attempt = 0; attempt < 8 && !fd; ++attempt) {
        temporary = TemporaryName();
        if (temporary.empty())
            return {};
        fd = Fd(::openat(dir.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!fd && errno != EEXIST)
            return {};
    }
    if (!fd)
        return {};
    // Held until the file is renamed and closed: it tells other saves this one is alive. A file
    // system without locks keeps every temporary file instead.
    ::flock(fd.get(), LOCK_EX | LOCK_NB);
    TagHasher hasher;
    SaveResult result { SaveResult::Failed, {} };
    if (WriteHashed(fd.get(), content, hasher) && (!existing || ::fchmod(fd.get(), mode) == 0)
        && ::fsync(fd.get()) == 0) {
        const std::string tag = hasher.tag();
        RecordTag(fd.get(), tag); // the bytes are all written: the stamp is the stored file's
        // The slow part is done: the lock is held only to check and rename.
        const FolderLock lock(dir.get());
        if (!precondition.empty() && !PreconditionHolds(precondition, CurrentTag(dir.get(), file.back())))
            result.outcome = SaveResult::Conflict;
        else if (m_history.keepVersion(dir.get(), file.back(), file)
            && ::renameat(dir.get(), temporary.c_str(), dir.get(), file.back().c_str()) == 0)
            result = { SaveResult::Stored, tag };
    }
    if (result.outcome != SaveResult::Stored) {
        ::unlinkat(dir.get(), temporary.c_str(), 0);
        return result;
    }
    ::fsync(dir.get()); // the rename itself reaches the disk
    RemoveStaleTemporaries(dir.get());
    if (existing)
        m_history.prune();
    return result;
}

bool Store::newFolder(const Elements &folder) const
{
    const Fd parent = OpenParent(m_root, folder);
    return parent && ::mkdirat(parent.get(), folder.back().c_str(), 0777) == 0;
}

bool Store::deleteFolder(const Elements &folder) const
{
    const Fd parent = OpenParent(m_root, folder);
    if (!parent || !IsType(parent.get(), folder.back(), S_IFDIR))
        return false;
    if (!m_history.enabled())
        return RemoveTree(parent.get(), folder.back());
    const Elements where(folder.begin(), folder.end() - 1);
    return KeptAndPruned(m_history, m_history.keepDeleted(parent.get(), folder.back(), where));
}

bool Store::deleteFile(const Elements &file) const
{
    const Fd dir = OpenParent(m_root, file);
    if (!dir)
        return false;
    const Elements where(file.begin(), file.end() - 1);
    bool done = false;
    {
        const FolderLock lock(dir.get());
        done = IsType(dir.get(), file.back(), S_IFREG)
            && (m_history.enabled() ? m_history.keepDeleted(dir.get(), file.back(), where)
                                    : ::unlinkat(dir.get(), file.back().c_str(), 0) == 0);
    }
    return KeptAndPruned(m_history, done);
}

bool Store::renameFolder(const Elements &folder, const std::string &newName) const
{
    const Fd parent = OpenParent(m_root, folder);
    return parent && IsType(parent.get(), folder.back(), S_IFDIR)
        && RenameNoReplace(parent.get(), folder.back(), parent.get(), newName);
}

bool Store::renameFile(const Elements &file, const std::string &newName) const
{
    const Fd dir = OpenParent(m_root, file);
    if (!dir)
        return false;
    const FolderLock lock(dir.get());
    return IsType(dir.get(), file.back(), S_IFREG) && RenameNoReplace(dir.get(), file.back(), dir.get(), newName);
}

std::optional<std::vector<KeptItem>> Store::listVersions(const Elements &file) const
{
    return file.size() < 2 ? std::nullopt : m_history.versions(file);
}

std::optional<std::vector<KeptItem>> Store::listDeleted(const Elements &folder) const
{
    return m_history.deleted(folder);
}

std::optional<std::string> Store::readVersion(const Elements &file, std::string_view id) const
{
    return m_history.readVersion(file, id);
}

bool Store::restore(const Elements &path, std::string_view id, const std::optional<std::string> &newName) const
{
    if (m_history.hasVersion(path, id)) {
        const Fd dir = OpenParent(m_root, path);
        if (!dir)
            return false;
        bool done = false;
        {
            const FolderLock lock(dir.get());
            done = m_history.restoreVersion(dir.get(), path.back(), path, id);
        }
        return KeptAndPruned(m_history, done);
    }
    const Fd dir = OpenFolder(m_root, path, path.size());
    if (!dir)
        return false;
    const FolderLock lock(dir.get());
    return m_history.restoreDeleted(dir.get(), path, id, newName);
}

} // namespace vidodu
