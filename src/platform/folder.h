#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sweepwise::platform {

struct FolderEntry {
    // The name's bytes, followed by a NUL in memory; valid until the reader moves on.
    std::string_view name;
    // Set only for a real folder: a link to a folder never carries it.
    bool isDirectory = false;
};

// An open folder of a walk. Everything below a root is reached relative to an open folder,
// so a folder that is renamed or swapped for a link meanwhile cannot redirect the walk.
class Folder {
public:
    // Opens a walk's root. Links in the root's own path are followed; nothing below it ever is.
    static std::optional<Folder> openRoot(const std::string& path);

    // Opens a subfolder. Fails for a link, for anything that is not a folder and for a folder
    // on another mount than this folder's root: walks never cross mount points.
    std::optional<Folder> openSubfolder(const char* name) const;

    // The length of a regular file in this folder; fails for every other kind of entry.
    std::optional<std::int64_t> fileLength(const char* name) const;

    int handle() const { return m_fd; }

    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder();

private:
    Folder(int fd, std::uint64_t mountId) : m_fd(fd), m_mountId(mountId) {}

    int m_fd = -1;
    std::uint64_t m_mountId = 0;
};

// Lists a folder's entries, "." and ".." included, in the order the file system gives them.
// One reader serves one listing at a time and may be reused for the next folder; its buffer is
// its only allocation.
class FolderReader {
public:
    FolderReader();
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // Starts a listing of the entries whose names match the pattern ("*.*" and "*" match
    // every name). False when the folder cannot be listed.
    bool start(const Folder& folder, std::string_view pattern = "*.*");
    // The next entry; false after the last one or when reading fails.
    bool next(FolderEntry& entry);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The length of the regular file at a path, links not followed; fails for everything else.
std::optional<std::int64_t> fileLength(const std::string& path);

}  // namespace sweepwise::platform
