#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sweepwise::platform {

struct FolderEntry {
    // The name's bytes, followed by a NUL in memory; valid until the listing is read again.
    std::string_view name;
    // Set only for a real folder: a link to a folder never carries it.
    bool isDirectory = false;
    // A regular file when the folder was listed. Only such an entry can have a file length, so
    // a walk need not ask about the others.
    bool isRegular = false;
};

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
    // A fresh handle reads from the first entry; only a folder listed before must rewind.
    mutable bool m_listed = false;
    friend class FolderListing;
};

// A whole folder's entries, "." and ".." included, in the order the file system gives them, read
// at once: a walk that needs the entries twice lists the folder only once. One listing is reused
// folder after folder, so its buffer is its only allocation.
class FolderListing {
public:
    FolderListing();
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // Reads every entry of the folder; false, and no entries, when it cannot be listed.
    bool read(const Folder& folder);
    // The entry at the cursor (0 for the first), moving the cursor on; false after the last.
    bool next(std::size_t& cursor, FolderEntry& entry) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Whether a name matches a listing pattern ("*.*" and "*" match every name).
bool nameMatches(std::string_view pattern, const char* name);
inline bool matchesEveryName(std::string_view pattern) {
    return pattern == "*.*" || pattern == "*";
}

// The length of the regular file at a path, links not followed; fails for everything else.
std::optional<std::int64_t> fileLength(const std::string& path);

}  // namespace sweepwise::platform
