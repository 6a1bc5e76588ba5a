#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

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

constexpr int kNoOpenat2 = -2;

// Opens a folder entry without following a link and without crossing into another mount, in one
// call, so that an entry swapped for a mount point since it was looked at is refused. Gives
// kNoOpenat2 on kernels without openat2 (before 5.6), -1 when the entry cannot be opened.
int openBelow(int dirFd, const char* name) {
    static bool missing = false;
    if (missing) {
        return kNoOpenat2;
    }
    open_how how{};
    how.flags = kOpenFolder | O_NOFOLLOW;
    how.resolve = RESOLVE_NO_XDEV | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, dirFd, name, &how, sizeof how);
    if (fd < 0 && (errno == ENOSYS || errno == EPERM)) {
        missing = true;  // EPERM: a seccomp filter that does not know the call
        return kNoOpenat2;
    }
    return fd < 0 ? -1 : int(fd);
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
    const int fd = openBelow(m_fd, name);
    if (fd >= 0) {
        return Folder(fd, m_mountId);
    }
    if (fd != kNoOpenat2) {
        return std::nullopt;
    }
    const int plain = ::openat(m_fd, name, kOpenFolder | O_NOFOLLOW);
    if (plain < 0) {
        return std::nullopt;
    }
    // The entry may have been swapped for a mount point since it was looked at.
    const auto opened = mountId(plain, "", AT_EMPTY_PATH, nullptr);
    if (!opened || *opened != m_mountId) {
        ::close(plain);
        return std::nullopt;
    }
    return Folder(plain, m_mountId);
}

std::optional<std::int64_t> Folder::fileLength(const char* name) const {
    struct stat st {};
    if (::fstatat(m_fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return st.st_size;
}

Folder::Folder(Folder&& other) noexcept
    : m_fd(other.m_fd), m_mountId(other.m_mountId), m_listed(other.m_listed) {
    other.m_fd = -1;
}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = other.m_fd;
        m_mountId = other.m_mountId;
        m_listed = other.m_listed;
        other.m_fd = -1;
    }
    return *this;
}

Folder::~Folder() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

struct FolderListing::Impl {
    static constexpr std::size_t kFirstBytes = 4 * 1024;
    // Room for at least one more record of the longest name.
    static constexpr std::size_t kRecordRoom = sizeof(dirent64) + NAME_MAX + 8;
    // getdents64 records are 8-byte aligned within the buffer.
    std::vector<std::uint64_t> buffer = std::vector<std::uint64_t>(kFirstBytes / 8);
    std::size_t filled = 0;

    char* bytes() { return reinterpret_cast<char*>(buffer.data()); }
    const char* bytes() const { return reinterpret_cast<const char*>(buffer.data()); }
    std::size_t capacity() const { return buffer.size() * 8; }
};

FolderListing::FolderListing() : m_impl(std::make_unique<Impl>()) {}
FolderListing::~FolderListing() = default;

bool FolderListing::read(const Folder& folder) {
    Impl& d = *m_impl;
    d.filled = 0;
    const int fd = folder.handle();
    if (folder.m_listed && ::lseek(fd, 0, SEEK_SET) != 0) {
        return false;
    }
    folder.m_listed = true;
    for (bool first = true;; first = false) {
        if (d.capacity() - d.filled < Impl::kRecordRoom) {
            d.buffer.resize(d.buffer.size() * 2);
        }
        const ssize_t n = ::getdents64(fd, d.bytes() + d.filled, d.capacity() - d.filled);
        if (n < 0 && first) {
            return false;
        }
        if (n <= 0) {
            break;  // a read that fails later ends the listing with what came before
        }
        d.filled += std::size_t(n);
    }
    // File systems that do not tell an entry's type leave it to be looked up once, here.
    for (std::size_t at = 0; at < d.filled;) {
        auto* record = reinterpret_cast<dirent64*>(d.bytes() + at);
        at += record->d_reclen;
        if (record->d_type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(fd, record->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                record->d_type = static_cast<unsigned char>(IFTODT(st.st_mode));
            }
        }
    }
    return true;
}

bool FolderListing::next(std::size_t& cursor, FolderEntry& entry) const {
    const Impl& d = *m_impl;
    if (cursor >= d.filled) {
        return false;
    }
    const auto* record = reinterpret_cast<const dirent64*>(d.bytes() + cursor);
    cursor += record->d_reclen;
    entry.name = std::string_view(record->d_name);
    entry.isDirectory = record->d_type == DT_DIR;
    entry.isRegular = record->d_type == DT_REG;
    return true;
}

bool nameMatches(std::string_view pattern, const char* name) {
    return matchesEveryName(pattern) || ::fnmatch(std::string(pattern).c_str(), name, 0) == 0;
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
