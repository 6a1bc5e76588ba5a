// The mount-table reading on arbitrary table text, over a small sysfs of one fixed and one
// removable disk: whatever the text, the drives come out as distinct mount points, each ending
// in "/", in ascending byte order.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/drives.h"

namespace fs = std::filesystem;

namespace {

std::string sysfs;
std::string table;

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/sweepwise-fuzz-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::abort();
    }
    static const std::string made = folder;
    std::atexit([] { fs::remove_all(made); });
    sysfs = made + "/sys";
    write(sysfs + "/devices/sda/removable", "0\n");
    write(sysfs + "/devices/sda/sda1/partition", "1\n");
    write(sysfs + "/devices/sdb/removable", "1\n");
    write(sysfs + "/devices/sdb/sdb1/partition", "1\n");
    fs::create_directories(sysfs + "/dev/block");
    fs::create_symlink("../../devices/sda", sysfs + "/dev/block/8:0");
    fs::create_symlink("../../devices/sda/sda1", sysfs + "/dev/block/8:1");
    fs::create_symlink("../../devices/sdb", sysfs + "/dev/block/8:16");
    fs::create_symlink("../../devices/sdb/sdb1", sysfs + "/dev/block/8:17");
    // The table is read from memory through its descriptor's name, as from a file.
    const int fd = ::memfd_create("mountinfo", 0);
    if (fd < 0) {
        std::abort();
    }
    table = "/proc/self/fd/" + std::to_string(fd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = std::stoi(table.substr(table.rfind('/') + 1));
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size)) {
        std::abort();
    }
    const auto drives = sweepwise::platform::fixedDrivesFrom(table, sysfs);
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (drives[i].empty() || drives[i].back() != '/' ||
            (i > 0 && !(drives[i - 1] < drives[i]))) {
            for (const std::string& drive : drives) {
                std::fprintf(stderr, "drive [%s]\n", drive.c_str());
            }
            __builtin_trap();
        }
    }
    return 0;
}
