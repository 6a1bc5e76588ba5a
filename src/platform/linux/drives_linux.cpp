#include "platform/drives.h"

#include <fcntl.h>
#include <libmount/libmount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace sweepwise::platform {

namespace {

// Disk filesystem types that only ever hold read-only images (live media, snaps, firmware);
// libmount does not count them as pseudo filesystems.
constexpr std::array<std::string_view, 6> kImageFsTypes = {"squashfs", "iso9660", "udf",
                                                           "erofs",    "cramfs",  "romfs"};

struct TableDeleter {
    void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};
struct IterDeleter {
    void operator()(libmnt_iter* iter) const { mnt_free_iter(iter); }
};
using TablePtr = std::unique_ptr<libmnt_table, TableDeleter>;
using IterPtr = std::unique_ptr<libmnt_iter, IterDeleter>;

struct Mount {
    std::string point;
    dev_t device;
};

bool isDiskFilesystem(libmnt_fs* fs) {
    if (mnt_fs_is_pseudofs(fs) || mnt_fs_is_netfs(fs)) {
        return false;
    }
    const char* type = mnt_fs_get_fstype(fs);
    if (type == nullptr) {
        return false;
    }
    return std::find(kImageFsTypes.begin(), kImageFsTypes.end(), type) == kImageFsTypes.end();
}

bool mountsOwnRoot(libmnt_fs* fs) {
    const char* root = mnt_fs_get_root(fs);
    if (root == nullptr) {
        return false;
    }
    const std::string_view rootView(root);
    if (rootView == "/") {
        return true;
    }
    const char* type = mnt_fs_get_fstype(fs);
    if (type == nullptr || std::string_view(type) != "btrfs") {
        return false;
    }
    char* subvol = nullptr;
    size_t subvolSize = 0;
    // The value points into libmount's option string and is not NUL-terminated.
    if (mnt_fs_get_option(fs, "subvol", &subvol, &subvolSize) != 0 || subvol == nullptr) {
        return false;
    }
    return rootView == std::string_view(subvol, subvolSize);
}

std::optional<dev_t> deviceOf(libmnt_fs* fs) {
    const dev_t device = mnt_fs_get_devno(fs);
    if (major(device) != 0) {
        return device;
    }
    // Major 0 is an anonymous number (btrfs, fuseblk): only the source node names the disk.
    const char* source = mnt_fs_get_srcpath(fs);
    struct stat info {};
    if (source == nullptr || ::stat(source, &info) != 0 || !S_ISBLK(info.st_mode)) {
        return std::nullopt;
    }
    return info.st_rdev;
}

std::optional<char> firstByteOf(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    char byte = 0;
    const ssize_t got = ::read(fd, &byte, 1);
    ::close(fd);
    if (got != 1) {
        return std::nullopt;
    }
    return byte;
}

bool isFixedDevice(dev_t device, const std::string& sysfsRoot) {
    const fs::path entry = fs::path(sysfsRoot) / "dev" / "block" /
                           (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
    std::error_code error;
    // Resolve the link first: the parent of a partition is only meaningful on the real folder.
    fs::path folder = fs::canonical(entry, error);
    if (error) {
        return false;
    }
    if (fs::is_regular_file(folder / "partition", error)) {
        folder = folder.parent_path();
    }
    return firstByteOf(folder / "removable") == '0';
}

std::string withFinalSlash(std::string point) {
    if (point.empty() || point.back() != '/') {
        point.push_back('/');
    }
    return point;
}

}  // namespace

std::vector<std::string> fixedDrivesFrom(const std::string& mountinfoPath,
                                         const std::string& sysfsRoot) {
    const TablePtr table(mnt_new_table_from_file(mountinfoPath.c_str()));
    const IterPtr iter(mnt_new_iter(MNT_ITER_FORWARD));
    if (!table || !iter) {
        return {};
    }

    std::vector<Mount> candidates;
    libmnt_fs* fs = nullptr;
    while (mnt_table_next_fs(table.get(), iter.get(), &fs) == 0) {
        const char* target = mnt_fs_get_target(fs);
        if (target == nullptr || !isDiskFilesystem(fs) || !mountsOwnRoot(fs)) {
            continue;
        }
        const std::optional<dev_t> device = deviceOf(fs);
        if (device) {
            candidates.push_back({withFinalSlash(target), *device});
        }
    }

    // std::string compares its chars as unsigned, so this is plain byte order. The sort keeps
    // the table's order among mounts at one point, and only the last of them is visible there.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Mount& a, const Mount& b) { return a.point < b.point; });
    // Unique from the back keeps the last of each run, gathered at the vector's end.
    const auto hidden =
        std::unique(candidates.rbegin(), candidates.rend(),
                    [](const Mount& a, const Mount& b) { return a.point == b.point; });
    candidates.erase(candidates.begin(), hidden.base());

    std::vector<std::string> drives;
    std::set<dev_t> seen;
    for (Mount& mount : candidates) {
        // The sysfs lookup comes after the de-duplication so that each device costs one lookup.
        if (seen.insert(mount.device).second && isFixedDevice(mount.device, sysfsRoot)) {
            drives.push_back(std::move(mount.point));
        }
    }
    return drives;
}

}  // namespace sweepwise::platform
