#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/drives.h"
#include "platform/system.h"

namespace sweepwise::platform {

namespace {

// An absolute folder named by the environment, without its final separators, so the root
// itself is "". A relative or empty value names no folder.
std::optional<std::string> folderFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    std::string folder(value);
    while (!folder.empty() && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

// The root itself is never taken for a junk folder: a folder-mode scan would list every file.
std::optional<std::string> junkFolderFromEnvironment(const char* name) {
    auto folder = folderFromEnvironment(name);
    if (folder && folder->empty()) {
        return std::nullopt;
    }
    return folder;
}

// At most three characters of the prefix, never splitting a UTF-8 sequence; a separator would
// put the file into another folder.
std::string nameStem(std::string_view prefix) {
    if (prefix.empty()) {
        return "TMP";
    }
    std::string stem;
    int characters = 0;
    for (const char c : prefix) {
        const bool continuation = (static_cast<unsigned char>(c) & 0xC0) == 0x80;
        if (!continuation && ++characters > 3) {
            break;
        }
        stem.push_back(c == '/' ? '_' : c);
    }
    return stem;
}

}  // namespace

std::optional<std::string> HostSystem::TemporaryFile(std::string_view prefix) {
    std::string folder = junkFolderFromEnvironment("TMPDIR").value_or("/tmp");
    folder.push_back('/');

    const std::string stem = nameStem(prefix);
    // Like a 16-bit unique number: start somewhere that differs from run to run, then count up
    // until a name is free. O_EXCL never replaces an existing file.
    const auto start = static_cast<unsigned>(now().time_since_epoch().count() ^ ::getpid());
    for (unsigned i = 0; i < 0xFFFF; ++i) {
        const unsigned number = (start + i) % 0xFFFF + 1;
        char unique[8];
        std::snprintf(unique, sizeof unique, "%X", number);
        const std::string path = folder + stem + unique + ".tmp";
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        if (errno != EEXIST) {
            break;  // a missing, full or read-only folder: no file, but still the folder
        }
    }
    return folder;
}

std::optional<std::string> HostSystem::GetWinTemdir() {
    return std::string("/var/tmp");
}

std::optional<std::string> HostSystem::GetNetTemdir() {
    if (auto profile = folderFromEnvironment("USERPROFILE")) {
        return *profile + "/Local Settings/Temporary Internet Files";
    }
    if (auto cache = junkFolderFromEnvironment("XDG_CACHE_HOME")) {
        return cache;
    }
    if (auto home = folderFromEnvironment("HOME")) {
        return *home + "/.cache";
    }
    return std::nullopt;
}

std::optional<std::string> HostSystem::GetCookiesDir() {
    if (auto profile = folderFromEnvironment("USERPROFILE")) {
        return *profile + "/Cookies";
    }
    return std::nullopt;
}

std::vector<std::string> HostSystem::fixedDrives() {
    return fixedDrivesFrom("/proc/self/mountinfo", "/sys");
}

std::chrono::steady_clock::time_point HostSystem::now() {
    return std::chrono::steady_clock::now();
}

void HostSystem::sleep(int milliseconds) {
    using namespace std::chrono;
    // Waking up comes late by a fraction of a millisecond, more on a busy machine, and the
    // cleaning run's 3 ms pauses come by the thousand: sleep short by how late waking up has
    // mostly been, then wait out the rest. The estimate rises fast and falls slowly, so that it
    // follows the late wake-ups rather than the typical one.
    static nanoseconds lateness = microseconds(200);
    const auto start = steady_clock::now();
    const auto deadline = start + std::chrono::milliseconds(milliseconds);
    const auto wake = deadline - lateness;
    if (wake > start) {
        std::this_thread::sleep_until(wake);
        const auto late = std::clamp<nanoseconds>(steady_clock::now() - wake, nanoseconds(0),
                                                  std::chrono::milliseconds(2));
        lateness += late > lateness ? (late - lateness) / 4 : (late - lateness) / 32;
    }
    while (steady_clock::now() < deadline) {
    }
}

}  // namespace sweepwise::platform
