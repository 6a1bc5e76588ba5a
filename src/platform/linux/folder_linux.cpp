#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/folder.h"

namespace sweepwise::platform {

namespace {

constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Bind mounts share a device number with their source, so mounts are told apart by their id.
// Kernels before 5.8 have no mount id: the device number still keeps a walk on one filesystem.
std::optional<std::uint64_t> mountId(int dirFd, const char* name, int flags, bool* isFolder) {
    struct statx stx {};
    if (statx(dirFd, name, flags, STATX_TYPE | STATX_MNT_ID, &stx) != 0) {
        return std::nullopt;
    }
    if (isFolder != nullptr) {
        *isFolder = S_ISDIR(stx.stx_mode);
    }
    if ((stx.stx_mask & STATX_MNT_ID) != 0) {
        return stx.stx_mnt_id;
    }
    return (std::uint64_t{1} << 63) | (std::uint64_t{stx.stx_dev_major} << 32) | stx.stx_dev_minor;
}

}  // namespace

std::optional<Folder> Folder::openRoot(const std::string& path) {
    const int fd = ::open(path.c_str(), kOpenFolder);
    if (fd < 0) {
        return std::nullopt;
    }
    const auto id = mountId(fd, "", AT_EMPTY_PATH, nullptr);
    if (!id) {
        ::close(fd);
        return std::nullopt;
    }
    return Folder(fd, *id);
}

std::optional<Folder> Folder::openSubfolder(const char* name) const {
    // Look before opening: opening an automount point would mount it.
    bool isFolder = false;
    const auto seen = mountId(m_fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, &isFolder);
    if (!seen || !isFolder || *seen != m_mountId) {
        return std::nullopt;
    }
    const int fd = ::openat(m_fd, name, kOpenFolder | O_NOFOLLOW);
    if (fd < 0) {
        return std::nullopt;
    }
    // The entry may have been swapped for a mount point since it was looked at.
    const auto opened = mountId(fd, "", AT_EMPTY_PATH, nullptr);
    if (!opened || *opened != m_mountId) {
        ::close(fd);
        return std::nullopt;
    }
    return Folder(fd, m_mountId);
}

std::optional<std::int64_t> Folder::fileLength(const char* name) const {
    struct stat st {};
    if (::fstatat(m_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return st.st_size;
}

Folder::Folder(Folder&& other) noexcept : m_fd(other.m_fd), m_mountId(other.m_mountId) {
    other.m_fd = -1;
}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = other.m_fd;
        m_mountId = other.m_mountId;
        other.m_fd = -1;
    }
    return *this;
}

Folder::~Folder() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

struct FolderReader::Impl {
    static constexpr std::size_t kBufferBytes = 64 * 1024;
    // getdents64 records are 8-byte aligned within the buffer.
    std::unique_ptr<std::uint64_t[]> buffer{new std::uint64_t[kBufferBytes / 8]};
    int fd = -1;
    long filled = 0;
    long offset = 0;
    bool matchAll = true;
    std::string pattern;

    char* bytes() { return reinterpret_cast<char*>(buffer.get()); }
};

FolderReader::FolderReader() : m_impl(std::make_unique<Impl>()) {}
FolderReader::~FolderReader() = default;

bool FolderReader::start(const Folder& folder, std::string_view pattern) {
    Impl& d = *m_impl;
    d.fd = -1;
    d.filled = d.offset = 0;
    if (::lseek(folder.handle(), 0, SEEK_SET) != 0) {
        return false;
    }
    // Read the first batch now, so that a folder that cannot be listed fails here.
    const ssize_t n = ::getdents64(folder.handle(), d.bytes(), Impl::kBufferBytes);
    if (n < 0) {
        return false;
    }
    d.fd = folder.handle();
    d.filled = n;
    d.matchAll = pattern == "*.*" || pattern == "*";
    d.pattern.assign(pattern);
    return true;
}

bool FolderReader::next(FolderEntry& entry) {
    Impl& d = *m_impl;
    while (d.fd >= 0) {
        if (d.offset >= d.filled) {
            const ssize_t n = ::getdents64(d.fd, d.bytes(), Impl::kBufferBytes);
            if (n <= 0) {
                d.fd = -1;
                return false;
            }
            d.filled = n;
            d.offset = 0;
        }
        const auto* record = reinterpret_cast<const dirent64*>(d.bytes() + d.offset);
        d.offset += record->d_reclen;
        const char* name = record->d_name;
        if (!d.matchAll && ::fnmatch(d.pattern.c_str(), name, 0) != 0) {
            continue;
        }
        bool isDirectory = record->d_type == DT_DIR;
        if (record->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDirectory =
                ::fstatat(d.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        entry.name = std::string_view(name, std::strlen(name));
        entry.isDirectory = isDirectory;
        return true;
    }
    return false;
}

namespace {

// A path longer than the system takes in one piece is followed one folder at a time, the way
// the system itself would follow it: links on the way are followed, the last name's is not.
bool statLongPath(const std::string& path, struct stat& st) {
    const std::size_t last = path.rfind('/');
    int fd = ::open(path.starts_with('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t at = 0; fd >= 0 && last != std::string::npos && at < last;) {
        const std::size_t slash = path.find('/', at);
        if (slash > at) {
            const std::string name = path.substr(at, slash - at);
            const int next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = next;
        }
        at = slash + 1;
    }
    if (fd < 0) {
        return false;
    }
    const char* name = last == std::string::npos ? path.c_str() : path.c_str() + last + 1;
    const bool found = ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    ::close(fd);
    return found;
}

}  // namespace

std::optional<std::int64_t> fileLength(const std::string& path) {
    struct stat st {};
    const bool found = ::fstatat(AT_FDCWD, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ||
                       (errno == ENAMETOOLONG && statLongPath(path, st));
    if (!found || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return st.st_size;
}

}  // namespace sweepwise::platform
