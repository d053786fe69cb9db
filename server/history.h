#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What saves replace and deletes remove, kept in root/history, outside data, where no path of
// a request leads. A file's earlier versions sit in a folder of their own, named after the
// hash of the file's path; the files and folders deleted from one folder likewise. Each kept
// thing is named by its id, which holds all that its listing needs: the time it was replaced
// or deleted, a finer order within that second, and its size.
namespace vidodu {

struct HistoryLimits {
    bool enabled = true;
    std::uint64_t versions = 20; // per file
    std::uint64_t days = 90;
    std::uint64_t bytes = 1ull << 30; // all that the history holds
};

// A version of a file, or a deleted file or folder (then with the name it had).
struct KeptItem {
    std::string id;
    std::time_t when = 0;
    std::uint64_t size = 0;
    std::string name;
    bool folder = false;
};

class History {
public:
    History() = default; // keeps nothing
    History(std::string root, const HistoryLimits &limits, std::time_t now)
        : m_root(std::move(root))
        , m_limits(limits)
        , m_now(now)
    {
    }
    bool enabled() const { return m_limits.enabled; }

    // The file `name` in the open folder `dir`, which is the file at `path`, becomes a version by
    // a hard link. True when kept or when there is no such file; false for anything else there.
    // The caller holds the folder's lock.
    bool keepVersion(int dir, const std::string &name, const std::vector<std::string> &path) const;
    // Moves the file or folder `name` out of `dir` (the folder at `folder`) in one rename.
    bool keepDeleted(int dir, const std::string &name, const std::vector<std::string> &folder) const;
    // Newest first; empty when nothing is kept for the path.
    std::optional<std::vector<KeptItem>> versions(const std::vector<std::string> &file) const;
    std::optional<std::vector<KeptItem>> deleted(const std::vector<std::string> &folder) const;
    // A version of the file, or the file itself when it was deleted.
    std::optional<std::string> readVersion(const std::vector<std::string> &file, std::string_view id) const;
    bool hasVersion(const std::vector<std::string> &file, std::string_view id) const;
    // The version replaces `name` in the locked `dir`, whose present file is kept first.
    bool restoreVersion(
        int dir, const std::string &name, const std::vector<std::string> &file, std::string_view id) const;
    // The deleted item returns into the locked `dir` (the folder at `folder`) under its own name
    // or `newName`, never onto an existing one.
    bool restoreDeleted(int dir, const std::vector<std::string> &folder, std::string_view id,
        const std::optional<std::string> &newName) const;
    // Removes what is over the limits, oldest first.
    void prune() const;

private:
    std::string m_root;
    HistoryLimits m_limits { false };
    std::time_t m_now = 0;
};

} // namespace vidodu
