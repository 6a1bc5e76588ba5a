#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "junk_names.h"

namespace sweepwise::bench {

inline constexpr std::size_t kListingBytes = 64 * 1024;

// The least a walk must do for the same answer: one getdents64 listing per folder, names tested
// first and fstatat only for the entries still in the running. With statAll it stats every file,
// as the product has to for its status line, and tests the name afterwards.
class FloorWalk {
public:
    FloorWalk(bool drive, bool statAll, std::vector<std::string>* paths)
        : m_drive(drive), m_statAll(statAll), m_paths(paths) {}

    struct Found {
        bool opened = false;
        std::int64_t rows = 0;
        std::int64_t bytes = 0;
    };

    Found run(const std::string& root) {
        m_rows = m_bytes = 0;
        m_path = root;
        const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            if (fd >= 0) {
                ::close(fd);
            }
            return {};
        }
        walk(fd, st.st_dev);
        ::close(fd);
        return {true, m_rows, m_bytes};
    }

private:
    void walk(int fd, dev_t device) {
        std::string subfolders;  // NUL-ended names: the listing buffer is reused below
        for (;;) {
            const ssize_t n = ::getdents64(fd, m_listing.get(), kListingBytes);
            if (n <= 0) {
                break;
            }
            const char* bytes = reinterpret_cast<const char*>(m_listing.get());
            for (ssize_t at = 0; at < n;) {
                const auto* record = reinterpret_cast<const dirent64*>(bytes + at);
                at += record->d_reclen;
                examine(fd, record->d_name, record->d_type, subfolders);
            }
        }
        const std::size_t base = m_path.size();
        for (std::size_t at = 0; at < subfolders.size();) {
            const char* name = subfolders.c_str() + at;
            const std::size_t length = std::strlen(name);
            at += length + 1;
            const int child = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) {
                continue;
            }
            // Same device, same file system: enough to stay off other mounts here, though a bind
            // mount of the same file system would slip through.
            struct stat st {};
            if (::fstat(child, &st) == 0 && st.st_dev == device) {
                if (m_paths != nullptr) {
                    m_path.append(name, length).push_back('/');
                }
                walk(child, device);
                m_path.resize(base);
            }
            ::close(child);
        }
    }

    void examine(int fd, const char* name, unsigned char type, std::string& subfolders) {
        const std::string_view view(name);
        if (view == "." || view == "..") {
            return;
        }
        if (type == DT_DIR) {
            if (name[0] != '.') {
                subfolders.append(view).push_back('\0');
            }
            return;
        }
        if (type != DT_REG && type != DT_UNKNOWN) {
            return;  // links, sockets, devices: never junk
        }
        if (!m_statAll && type == DT_REG && !isJunkName(view, m_drive)) {
            return;
        }
        struct stat st {};
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            if (name[0] != '.') {
                subfolders.append(view).push_back('\0');
            }
            return;
        }
        if (!S_ISREG(st.st_mode) || st.st_size == 0 || !isJunkName(view, m_drive)) {
            return;
        }
        ++m_rows;
        m_bytes += st.st_size;
        if (m_paths != nullptr) {
            m_paths->push_back(m_path + std::string(view));
        }
    }

    bool m_drive;
    bool m_statAll;
    std::vector<std::string>* m_paths;
    // getdents64 records must be 8-byte aligned.
    std::unique_ptr<std::uint64_t[]> m_listing{new std::uint64_t[kListingBytes / 8]};
    std::string m_path;
    std::int64_t m_rows = 0;
    std::int64_t m_bytes = 0;
};

}  // namespace sweepwise::bench
