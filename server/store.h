#pragma once

#include <cstdint>
#include <ctime>
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

class Store {
public:
    explicit Store(std::string root)
        : m_root(std::move(root))
    {
    }

    // Subfolders and regular files of a folder, by name; hidden entries are left out.
    std::optional<std::vector<std::string>> listFolders(const Elements &folder) const;
    std::optional<std::vector<FileEntry>> listFiles(const Elements &folder) const;
    std::optional<std::string> readFile(const Elements &file) const;
    // Writes a hidden temporary file beside the target, syncs it and renames it over the
    // target: readers see the old file or the new one, never a part. The folder must exist.
    bool saveFile(const Elements &file, std::string_view content) const;
    bool newFolder(const Elements &folder) const;
    // Removes the folder and everything below it; links inside are removed, not followed.
    bool deleteFolder(const Elements &folder) const;
    bool deleteFile(const Elements &file) const;
    // Renames within the same parent; never onto an existing name.
    bool renameFolder(const Elements &folder, const std::string &newName) const;
    bool renameFile(const Elements &file, const std::string &newName) const;

private:
    std::string m_root;
};

} // namespace vidodu
