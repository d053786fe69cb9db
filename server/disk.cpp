#include "server/disk.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>

namespace vidodu {

Fd OpenDirAt(int parent, const std::string &name)
{
    return Fd(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::optional<struct stat> StatAt(int dir, const std::string &name)
{
    struct stat st { };
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return st;
}

std::optional<std::vector<std::string>> NamesIn(int dir)
{
    const int copy = ::dup(dir);
    if (copy < 0)
        return std::nullopt;
    DIR *d = ::fdopendir(copy);
    if (!d) {
        ::close(copy);
        return std::nullopt;
    }
    ::rewinddir(d);
    std::vector<std::string> names;
    while (const dirent *e = ::readdir(d)) {
        const std::string_view n = e->d_name;
        if (n != "." && n != "..")
            names.emplace_back(n);
    }
    ::closedir(d);
    return names;
}

// Depth first without recursion and with two folders open at a time, so that no tree is too
// deep: each level is left through its ".." after checking that ".." is still the folder we
// came down from (a folder moved meanwhile stops the delete instead of leading out of root).
bool RemoveTree(int parent, const std::string &name)
{
    struct Level {
        std::string name;
        dev_t dev;
        ino_t ino;
    };
    std::vector<Level> levels; // below parent, the last one open as `dir`
    Fd dir = OpenDirAt(parent, name);
    struct stat st { };
    if (!dir || ::fstat(dir.get(), &st) != 0)
        return false;
    levels.push_back({ name, st.st_dev, st.st_ino });
    while (true) {
        const auto names = NamesIn(dir.get());
        if (!names)
            return false;
        std::optional<std::string> subfolder;
        for (const auto &n : *names) {
            const auto entry = StatAt(dir.get(), n);
            if (!entry)
                return false;
            if (S_ISDIR(entry->st_mode)) {
                subfolder = n;
                break;
            }
            if (::unlinkat(dir.get(), n.c_str(), 0) != 0)
                return false;
        }
        if (subfolder) {
            Fd child = OpenDirAt(dir.get(), *subfolder);
            if (!child || ::fstat(child.get(), &st) != 0)
                return false;
            levels.push_back({ *subfolder, st.st_dev, st.st_ino });
            dir = std::move(child);
            continue;
        }
        const Level done = levels.back();
        levels.pop_back();
        if (levels.empty())
            return ::unlinkat(parent, done.name.c_str(), AT_REMOVEDIR) == 0;
        Fd up = OpenDirAt(dir.get(), "..");
        if (!up || ::fstat(up.get(), &st) != 0 || st.st_dev != levels.back().dev || st.st_ino != levels.back().ino
            || ::unlinkat(up.get(), done.name.c_str(), AT_REMOVEDIR) != 0)
            return false;
        dir = std::move(up);
    }
}

bool RenameNoReplace(int fromDir, const std::string &from, int toDir, const std::string &to)
{
    if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: look first, accepting the small race.
    if (StatAt(toDir, to) || errno != ENOENT)
        return false;
    return ::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0;
}

FolderLock::FolderLock(int dir)
    : m_dir(dir)
{
    while (::flock(m_dir, LOCK_EX) != 0 && errno == EINTR) { }
}

FolderLock::~FolderLock()
{
    ::flock(m_dir, LOCK_UN);
}

} // namespace vidodu
