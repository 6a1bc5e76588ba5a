#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "platform/file_delete.h"
#include "platform/folder.h"

namespace sweepwise::platform {

namespace {

using FileId = std::pair<dev_t, ino_t>;

// Where a file system offers no leases, the files that processes hold open or mapped are read
// from /proc instead; one reading serves for a few hundred milliseconds of deletions.
class ProcessFiles {
public:
    bool contains(FileId file) {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_read > std::chrono::milliseconds(300)) {
            read();
            m_read = now;
        }
        return m_files.count(file) != 0;
    }

private:
    void read() {
        m_files.clear();
        DIR* proc = ::opendir("/proc");
        if (proc == nullptr) {
            return;
        }
        const std::string self = std::to_string(::getpid());
        while (const dirent* entry = ::readdir(proc)) {
            if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || self == entry->d_name) {
                continue;
            }
            const std::string process = std::string("/proc/") + entry->d_name;
            readDescriptors(process + "/fd");
            readMaps(process + "/maps");
        }
        ::closedir(proc);
    }

    void readDescriptors(const std::string& folder) {
        DIR* fds = ::opendir(folder.c_str());
        if (fds == nullptr) {
            return;
        }
        while (const dirent* entry = ::readdir(fds)) {
            struct stat target {};
            if (entry->d_name[0] != '.' &&
                ::fstatat(::dirfd(fds), entry->d_name, &target, 0) == 0 &&
                S_ISREG(target.st_mode)) {
                m_files.emplace(target.st_dev, target.st_ino);
            }
        }
        ::closedir(fds);
    }

    void readMaps(const std::string& file) {
        FILE* maps = std::fopen(file.c_str(), "re");
        if (maps == nullptr) {
            return;
        }
        char line[4096];
        while (std::fgets(line, sizeof line, maps) != nullptr) {
            unsigned major = 0, minor = 0;
            unsigned long long inode = 0;
            if (std::sscanf(line, "%*s %*s %*s %x:%x %llu", &major, &minor, &inode) == 3 &&
                inode != 0) {
                m_files.emplace(makedev(major, minor), inode);
            }
            // A line longer than the buffer continues in the next read: skip the rest of it.
            while (std::strchr(line, '\n') == nullptr &&
                   std::fgets(line, sizeof line, maps) != nullptr) {
            }
        }
        std::fclose(maps);
    }

    std::set<FileId> m_files;
    std::chrono::steady_clock::time_point m_read{};
};

bool isWriteProtected(int folder, const char* name, const struct stat& entry) {
    // Root may write to anything, but a file that nobody may write to stays protected for it too.
    if ((entry.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return true;
    }
    return ::faccessat(folder, name, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0 &&
           errno == EACCES;
}

// No call unlinks a name only while it names a given file, and another process may swap the
// name for a link or a FIFO at any moment: the entry is first moved aside under a name of this
// process's own, and only if what was moved is the file looked at is it unlinked; anything else
// is put back.
int unlinkIfStill(int folder, const char* name, const struct stat& entry) {
    static unsigned moves = 0;
    char aside[64];
    std::snprintf(aside, sizeof aside, ".sweepwise-deleting-%d-%u", int(::getpid()), ++moves);
    if (::renameat2(folder, name, folder, aside, RENAME_NOREPLACE) != 0) {
        // A file system that cannot rename this way still gets the plain deletion.
        return errno == EINVAL ? ::unlinkat(folder, name, 0) : -1;
    }
    struct stat moved {};
    const bool same = ::fstatat(folder, aside, &moved, AT_SYMLINK_NOFOLLOW) == 0 &&
                      moved.st_dev == entry.st_dev && moved.st_ino == entry.st_ino;
    if (same && ::unlinkat(folder, aside, 0) == 0) {
        return 0;
    }
    // The file that was looked at is no longer there, or it could not go: put back what was moved.
    const int error = same ? errno : ENOENT;
    ::renameat2(folder, aside, folder, name, RENAME_NOREPLACE);
    errno = error;
    return -1;
}

DeleteOutcome missingOr(DeleteOutcome otherwise) {
    return errno == ENOENT || errno == ENOTDIR ? DeleteOutcome::Gone : otherwise;
}

DeleteOutcome removeEntry(const Folder& folder, const std::string& name) {
    const int dir = folder.handle();
    struct stat entry {};
    if (::fstatat(dir, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return missingOr(DeleteOutcome::Denied);
    }
    if (!S_ISREG(entry.st_mode)) {
        return DeleteOutcome::Gone;
    }
    if (isWriteProtected(dir, name.c_str(), entry)) {
        return DeleteOutcome::WriteProtected;
    }

    // A write lease is granted only while no other process holds the file open or mapped, and
    // while it is held nobody can open it: the check and the deletion cannot be raced.
    const int fd =
        ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    bool leased = false;
    if (fd >= 0) {
        struct stat held {};
        if (::fstat(fd, &held) != 0 || held.st_dev != entry.st_dev || held.st_ino != entry.st_ino) {
            ::close(fd);
            return DeleteOutcome::Gone;  // swapped since it was looked at
        }
        // The lease's break notice would be SIGIO, which ends the process; SIGURG is ignored.
        ::fcntl(fd, F_SETSIG, SIGURG);
        if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
            leased = true;
        } else if (errno == EAGAIN) {
            ::close(fd);
            return DeleteOutcome::InUse;
        }
    }
    static ProcessFiles processFiles;
    if (!leased && processFiles.contains({entry.st_dev, entry.st_ino})) {
        if (fd >= 0) {
            ::close(fd);
        }
        return DeleteOutcome::InUse;
    }

    const int removed = unlinkIfStill(dir, name.c_str(), entry);
    const int error = errno;
    if (fd >= 0) {
        if (leased) {
            ::fcntl(fd, F_SETLEASE, F_UNLCK);
        }
        ::close(fd);
    }
    if (removed != 0) {
        errno = error;
        return missingOr(DeleteOutcome::Denied);
    }
    return DeleteOutcome::Deleted;
}

bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != "..";
}

}  // namespace

DeleteOutcome deleteFile(std::string_view path, std::size_t rootLength) {
    if (rootLength == 0 || rootLength > path.size() || path[rootLength - 1] != '/') {
        return DeleteOutcome::Denied;
    }
    auto folder = Folder::openRoot(std::string(path.substr(0, rootLength)));
    if (!folder) {
        return DeleteOutcome::Gone;
    }
    std::string_view rest = path.substr(rootLength);
    std::string name;
    for (auto slash = rest.find('/'); slash != std::string_view::npos; slash = rest.find('/')) {
        name.assign(rest.substr(0, slash));
        rest.remove_prefix(slash + 1);
        if (!isPlainName(name)) {
            return DeleteOutcome::Denied;
        }
        auto subfolder = folder->openSubfolder(name.c_str());
        if (!subfolder) {
            struct stat entry {};
            return ::fstatat(folder->handle(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0
                       ? DeleteOutcome::Denied
                       : missingOr(DeleteOutcome::Denied);
        }
        folder = std::move(subfolder);
    }
    name.assign(rest);
    if (!isPlainName(name)) {
        return DeleteOutcome::Denied;
    }
    return removeEntry(*folder, name);
}

}  // namespace sweepwise::platform
