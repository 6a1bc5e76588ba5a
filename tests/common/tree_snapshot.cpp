#include "common/tree_snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace sweepwise::test {

namespace {

std::string describe(int folder, const char* name, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) {
        return "folder";
    }
    if (S_ISREG(st.st_mode)) {
        return "file " + std::to_string(st.st_size) + " " + std::to_string(st.st_mode & 07777);
    }
    if (S_ISLNK(st.st_mode)) {
        char target[PATH_MAX];
        const ssize_t length = ::readlinkat(folder, name, target, sizeof target);
        return "link " + std::string(target, length > 0 ? std::size_t(length) : 0);
    }
    if (S_ISFIFO(st.st_mode)) {
        return "fifo";
    }
    if (S_ISSOCK(st.st_mode)) {
        return "socket";
    }
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        return "device";
    }
    return "other";
}

// Relative to an open folder, so that paths longer than PATH_MAX are read too.
void walk(int folder, const std::string& prefix, std::map<std::string, std::string>& found) {
    const int listing = ::dup(folder);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0) {
            ::close(listing);
        }
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st {};
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        found[prefix + name] = describe(folder, name.c_str(), st);
        if (S_ISDIR(st.st_mode)) {
            const int sub =
                ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) {
                walk(sub, prefix + name + "/", found);
                ::close(sub);
            }
        }
    }
    ::closedir(dir);
}

}  // namespace

std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> found;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        walk(fd, "", found);
        ::close(fd);
    }
    return found;
}

std::map<std::string, std::string> removed(const std::map<std::string, std::string>& before,
                                           const std::map<std::string, std::string>& after) {
    std::map<std::string, std::string> gone;
    for (const auto& [path, what] : before) {
        if (!after.contains(path)) {
            gone.emplace(path, what);
        }
    }
    return gone;
}

}  // namespace sweepwise::test
