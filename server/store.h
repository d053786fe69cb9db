#pragma once

#include "server/history.h"
#include "server/versions.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The document tree on disk: root/data and below, names in UTF-8. Every folder is opened
// element by element from root without following symbolic links, so no request reaches
// outside root. Paths are the checked elements of names.h, the first being "data".
namespace vidodu {

using Elements = std::vector<std::string>;

struct FileEntry {
    std::string name;
    std::time_t modified = 0;
    std::uint64_t size = 0;
};

// A regular file open for reading, its content sent in blocks as it is read: the size it had
// when opened, and its entity tag, known before the first block.
class OpenedFile {
public:
    OpenedFile(int fd, std::uint64_t size, std::string tag);
    ~OpenedFile();
    OpenedFile(const OpenedFile &) = delete;
    OpenedFile &operator=(const OpenedFile &) = delete;
    std::uint64_t size() const { return m_size; }
    const std::string &tag() const { return m_tag; }
    // The next block, at most `capacity` bytes and never past size(): the count, 0 at the end
    // (or where a file that shrank ends), -1 on an error.
    long long read(char *buffer, std::size_t capacity);

private:
    int m_fd;
    std::uint64_t m_size;
    std::uint64_t m_done = 0;
    std::string m_tag;
};

// What a save did; `tag` is the new file's entity tag when it was stored. On a conflict the
// file was not what the precondition asked for, and nothing was written.
struct SaveResult {
    enum Outcome { Stored, Failed, Conflict } outcome = Failed;
    std::string tag;
};

class Store {
public:
    explicit Store(std::string root, History history = {})
        : m_root(std::move(root))
        , m_history(std::move(history))
    {
    }

    // Subfolders and regular files of a folder, by name; hidden entries are left out.
    std::optional<std::vector<std::string>> listFolders(const Elements &folder) const;
    std::optional<std::vector<FileEntry>> listFiles(const Elements &folder) const;
    // Opened, its tag known (tagrecord.h); nullptr for anything but a readable regular file.
    std::shared_ptr<OpenedFile> readFile(const Elements &file) const;
    // Writes a hidden temporary file beside the target, syncs it, then, holding the folder's
    // lock, checks the precondition against the target and renames the temporary file over
    // it: readers see the old file or the new one, never a part, and two saves from one
    // version cannot both replace it. The folder must exist.
    SaveResult saveFile(const Elements &file, std::string_view content, const Precondition &precondition = {}) const;
    bool newFolder(const Elements &folder) const;
    // Removes the folder and everything below it; links inside are removed, not followed. With
    // a history, a save keeps the file it replaces, and the deletes move what they remove into
    // it in one rename: a folder goes whole or not at all.
    bool deleteFolder(const Elements &folder) const;
    // Deletes and renames of files hold the folder's lock too, so that a save's check still
    // holds when it renames.
    bool deleteFile(const Elements &file) const;
    // Renames within the same parent; never onto an existing name.
    bool renameFolder(const Elements &folder, const std::string &newName) const;
    bool renameFile(const Elements &file, const std::string &newName) const;

    bool keepsHistory() const { return m_history.enabled(); }
    std::optional<std::vector<KeptItem>> listVersions(const Elements &file) const;
    std::optional<std::vector<KeptItem>> listDeleted(const Elements &folder) const;
    std::optional<std::string> readVersion(const Elements &file, std::string_view id) const;
    // A version of the file at `path`, or an item deleted from the folder at `path` (under
    // `newName` when given). The present file becomes a version; no name is taken over.
    bool restore(const Elements &path, std::string_view id, const std::optional<std::string> &newName) const;

private:
    std::string m_root;
    History m_history;
};

} // namespace vidodu
