#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace sweepwise::test {

// A fresh folder under the temporary folder that holds one test's fixture tree; removed with
// everything below it when the test ends.
class TempTree {
public:
    enum class Backing { Disk, MemoryWherePossible };

    // MemoryWherePossible mounts a tmpfs over the tree where a private mount namespace is
    // allowed, for fixtures with so many entries that the disk would make the test slow.
    explicit TempTree(Backing backing = Backing::Disk);
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The tree's own folder, ending with "/".
    const std::string& root() const { return m_root; }
    std::string path(std::string_view relative) const { return m_root + std::string(relative); }

    // Each creates missing parent folders and gives the full path. A file's length is set
    // without writing data, so big files cost no disk.
    std::string file(std::string_view relative, std::int64_t length = 1) const;
    std::string folder(std::string_view relative) const;
    std::string link(std::string_view relative, const std::string& target) const;

    // Every entry below the root that is not a folder (links included), relative to the root.
    std::set<std::string> nonFolders() const;

private:
    std::string m_root;
    bool m_mounted = false;
};

// While alive, this thread lacks the capabilities that let root ignore file permissions and
// lease other users' files, so a test run as root sees them as a user would.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride();
    ~WithoutPermissionOverride();
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    bool m_dropped = false;
};

// Another process that holds a file while this object lives: open, or mapped into memory after
// its descriptor was closed.
class HeldByAnotherProcess {
public:
    enum class Hold { Open, MappedThenClosed };
    HeldByAnotherProcess(const std::string& path, Hold hold);
    ~HeldByAnotherProcess();
    HeldByAnotherProcess(const HeldByAnotherProcess&) = delete;
    HeldByAnotherProcess& operator=(const HeldByAnotherProcess&) = delete;

private:
    int m_child = -1;
    int m_done = -1;
};

// Moves this process into a mount namespace of its own, so that a test can mount fixtures over
// folders without touching the machine's mounts. False where the system does not allow it.
bool enterPrivateMountNamespace();

// Mounts an empty tmpfs at a folder (after enterPrivateMountNamespace).
bool mountScratch(const std::string& folder);

}  // namespace sweepwise::test
