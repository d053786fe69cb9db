#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

// Folders and files reached through open folders: every name is looked up in a folder already
// open, and symbolic links are never followed.
namespace vidodu {

// An owned file descriptor.
class Fd {
public:
    explicit Fd(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(Fd &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd &operator=(Fd &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

Fd OpenDirAt(int parent, const std::string &name);
std::optional<struct stat> StatAt(int dir, const std::string &name);
// Names in a folder, without "." and "..".
std::optional<std::vector<std::string>> NamesIn(int dir);
// Removes the folder `name` in `parent` and everything below it; links inside are removed, not
// followed.
bool RemoveTree(int parent, const std::string &name);
// Renames `from` in `fromDir` to `to` in `toDir`, never onto an existing name.
bool RenameNoReplace(int fromDir, const std::string &from, int toDir, const std::string &to);

// Held by every save from its check to its rename, and by deletes and renames of files: no
// other save replaces the file in between. A file system without flock saves unlocked, as
// the script did before it had versions.
class FolderLock {
public:
    explicit FolderLock(int dir);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

private:
    int m_dir;
};

} // namespace vidodu
