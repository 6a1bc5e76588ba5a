#include "common/fixture.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace sweepwise::test {

namespace {

void ensureParent(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
}

}  // namespace

TempTree::TempTree(Backing backing) {
    std::string pattern = (fs::temp_directory_path() / "sweepwise-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    m_root = pattern + "/";
    m_mounted = backing == Backing::MemoryWherePossible && enterPrivateMountNamespace() &&
                ::mount("sweepwise-test", m_root.c_str(), "tmpfs", 0, "size=1g,nr_inodes=0") == 0;
}

TempTree::~TempTree() {
    std::error_code ignored;
    if (m_mounted) {
        ::umount2(m_root.c_str(), MNT_DETACH);
        fs::remove(m_root, ignored);
        return;
    }
    // Tests may leave folders without permissions; give them back so that removal works.
    for (auto it = fs::recursive_directory_iterator(
             m_root, fs::directory_options::skip_permission_denied, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(m_root, ignored);
}

std::string TempTree::file(std::string_view relative, std::int64_t length) const {
    const std::string full = path(relative);
    ensureParent(full);
    const int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::ftruncate(fd, length) != 0) {
        throw std::system_error(errno, std::generic_category(), full);
    }
    ::close(fd);
    return full;
}

std::string TempTree::folder(std::string_view relative) const {
    const std::string full = path(relative);
    fs::create_directories(full);
    return full;
}

std::string TempTree::link(std::string_view relative, const std::string& target) const {
    const std::string full = path(relative);
    ensureParent(full);
    fs::create_symlink(target, full);
    return full;
}

std::set<std::string> TempTree::nonFolders() const {
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(m_root)) {
        if (entry.is_symlink() || !entry.is_directory()) {
            found.insert(entry.path().string().substr(m_root.size()));
        }
    }
    return found;
}

namespace {

constexpr unsigned kOverrideCaps =
    (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER) | (1u << CAP_LEASE);

bool setEffective(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    if (on) {
        data[0].effective |= kOverrideCaps & data[0].permitted;
    } else {
        data[0].effective &= ~kOverrideCaps;
    }
    return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

WithoutPermissionOverride::WithoutPermissionOverride() {
    if (geteuid() == 0) {
        m_dropped = setEffective(false);
    }
}

WithoutPermissionOverride::~WithoutPermissionOverride() {
    if (m_dropped) {
        setEffective(true);
    }
}

HeldByAnotherProcess::HeldByAnotherProcess(const std::string& path, Hold hold) {
    int ready[2], done[2];
    if (::pipe(ready) != 0 || ::pipe(done) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    m_child = ::fork();
    if (m_child == 0) {
        ::close(ready[0]);
        ::close(done[1]);
        // Other holders' pipes too: a copy of one would keep that holder's child from ending.
        const unsigned low = unsigned(std::min(ready[1], done[0]));
        const unsigned high = unsigned(std::max(ready[1], done[0]));
        ::close_range(3, low - 1, 0);
        ::close_range(low + 1, high - 1, 0);
        ::close_range(high + 1, ~0u, 0);
        const int fd = ::open(path.c_str(), O_RDONLY);
        void* map = nullptr;
        if (hold == Hold::MappedThenClosed && fd >= 0) {
            map = ::mmap(nullptr, 1, PROT_READ, MAP_SHARED, fd, 0);
            ::close(fd);
        }
        char byte = fd >= 0 && map != MAP_FAILED ? 'y' : 'n';
        (void)!::write(ready[1], &byte, 1);
        (void)!::read(done[0], &byte, 1);  // until the parent lets go
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(done[0]);
    m_done = done[1];
    char byte = 0;
    const bool held = ::read(ready[0], &byte, 1) == 1 && byte == 'y';
    ::close(ready[0]);
    if (!held) {
        throw std::runtime_error("the other process could not hold " + path);
    }
}

HeldByAnotherProcess::~HeldByAnotherProcess() {
    ::close(m_done);
    ::waitpid(m_child, nullptr, 0);
}

bool enterPrivateMountNamespace() {
    static const bool entered = ::unshare(CLONE_NEWNS) == 0 &&
                                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return entered;
}

bool mountScratch(const std::string& folder) {
    return ::mount("sweepwise-test", folder.c_str(), "tmpfs", 0, "size=16m") == 0;
}

}  // namespace sweepwise::test
