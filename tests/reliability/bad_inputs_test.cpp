#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/fake_system.h"
#include "common/fixture.h"
#include "common/tree_snapshot.h"
#include "platform/file_delete.h"
#include "platform/system.h"
#include "scan/folder_scan.h"

namespace sweepwise {
namespace {

using test::TempTree;
using test::TestUi;

struct CountView : ScanView {
    std::string status;
    std::string count;
    void setStatusText(std::string_view text) override { status = text; }
    void setCountText(std::string_view text) override { count = text; }
};

// A walk of a root whose rows are checked against the lengths the fixture gave its files.
class BadInputsTest : public ::testing::Test {
protected:
    void search(bool driveMode, const std::string& root) {
        state.DriveScanMode = driveMode;
        scan.StartSearch(root, "*.*");
        EXPECT_FALSE(state.SearchRunning);
    }

    std::map<std::string, std::int64_t> rows() const {
        std::map<std::string, std::int64_t> found;
        for (int row = 1; row <= junk.count(); ++row) {
            EXPECT_TRUE(found.emplace(junk.path(row), junk.size(row)).second) << junk.path(row);
        }
        return found;
    }

    // The count caption, the total and every row's size agree with what was made.
    void expectRows(const std::map<std::string, std::int64_t>& made) {
        EXPECT_EQ(rows(), made);
        std::int64_t total = 0;
        for (const auto& [path, length] : made) {
            total += length;
        }
        EXPECT_EQ(state.JunkBytes, total);
        if (!made.empty()) {
            EXPECT_EQ(view.count, "已发现垃圾文件" + std::to_string(made.size()) +
                                      " 个，总计大小共" + std::to_string(total) + "Byte");
        }
    }

    TempTree tree{TempTree::Backing::MemoryWherePossible};
    ScanState state;
    JunkList junk;
    CountView view;
    TestUi ui;
    FolderScan scan{state, junk, view, ui};
};

// Folders of 250-byte names, made relative to each other: the whole path is longer than any
// path the system accepts in one piece.
std::string deepFolder(const TempTree& tree, int levels) {
    int fd = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string path = tree.root();
    for (int level = 0; level < levels; ++level) {
        const std::string name = std::to_string(level) + std::string(247, 'd');
        EXPECT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        path += name + "/";
    }
    ::close(fd);
    return path;
}

int openDeep(const TempTree& tree, const std::string& folder) {
    int fd = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string_view rest = std::string_view(folder).substr(tree.root().size());
    while (!rest.empty() && fd >= 0) {
        const auto slash = rest.find('/');
        const std::string name(rest.substr(0, slash));
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        rest.remove_prefix(slash + 1);
    }
    return fd;
}

void makeFileAt(int folder, const std::string& name, std::int64_t length) {
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name;
    ASSERT_EQ(::ftruncate(fd, length), 0);
    ::close(fd);
}

TEST_F(BadInputsTest, PathDeeperThanPathMaxIsWalkedSizedAndDeleted) {
    const std::string middle = deepFolder(tree, 10);
    // Ten more levels below the middle: more than 5000 bytes in all.
    int fd = openDeep(tree, middle);
    std::string deep = middle;
    for (int level = 0; level < 10; ++level) {
        const std::string name = std::to_string(level) + std::string(247, 'e');
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        deep += name + "/";
    }
    makeFileAt(fd, "deep.tmp", 7);
    ::close(fd);
    fd = openDeep(tree, middle);
    makeFileAt(fd, "middle.bak", 3);
    ::close(fd);
    ASSERT_GT(deep.size(), std::size_t(PATH_MAX));

    search(true, tree.root());
    expectRows({{deep + "deep.tmp", 7}, {middle + "middle.bak", 3}});
    EXPECT_EQ(platform::deleteFile(deep + "deep.tmp", tree.root().size()),
              platform::DeleteOutcome::Deleted);
    EXPECT_EQ(platform::deleteFile(deep + "deep.tmp", tree.root().size()),
              platform::DeleteOutcome::Gone);
}

TEST_F(BadInputsTest, HundredThousandEntriesInOneFolder) {
    const std::string folder = tree.folder("many");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::map<std::string, std::int64_t> made;
    for (int i = 0; i < 100'000; ++i) {
        const std::string name = "f" + std::to_string(i) + (i % 2 ? ".tmp" : ".txt");
        makeFileAt(fd, name, i % 5);  // every fifth file is empty and never listed
        if (i % 5 != 0 && i % 2 == 1) {
            made.emplace(folder + "/" + name, i % 5);
        }
    }
    ::close(fd);
    search(true, folder + "/");
    expectRows(made);
}

TEST_F(BadInputsTest, FolderRemovedDuringItsWalk) {
    for (int i = 1; i <= 20; ++i) {
        tree.file("a/" + std::to_string(i) + ".tmp", i);
    }
    tree.file("a/sub/x.tmp", 50);
    tree.file("b/2.tmp", 60);
    std::map<std::string, std::int64_t> recordedBefore;
    bool removed = false;
    ui.onPump = [&] {
        // Once the first file of a/ is recorded, a/ goes with everything below it.
        if (!removed && junk.count() > 0 && junk.path(junk.count()).starts_with(tree.path("a/"))) {
            removed = true;
            recordedBefore = rows();
            std::filesystem::remove_all(tree.path("a"));
        }
    };
    search(true, tree.root());
    ASSERT_TRUE(removed);
    ASSERT_EQ(recordedBefore.size(), junk.path(1).starts_with(tree.path("b/")) ? 2u : 1u);
    recordedBefore.emplace(tree.path("b/2.tmp"), 60);
    expectRows(recordedBefore);
}

TEST_F(BadInputsTest, FifosSocketsAndDeviceNodesAreNeitherListedNorOpened) {
    const std::string folder = tree.folder("special");
    ASSERT_EQ(::mkfifo((folder + "/fifo.tmp").c_str(), 0666), 0);
    // A FIFO that a writer holds open: a probe that opened it would block for good.
    ASSERT_EQ(::mkfifo((folder + "/busy.tmp").c_str(), 0666), 0);
    const int reader = ::open((folder + "/busy.tmp").c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open((folder + "/busy.tmp").c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = folder + "/socket.tmp";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const bool nodes =
        ::mknod((folder + "/char.tmp").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
        ::mknod((folder + "/block.bak").c_str(), S_IFBLK | 0600, makedev(7, 0)) == 0;
    tree.file("special/real.tmp", 4);
    tree.file("special/real.txt", 5);

    for (const bool driveMode : {true, false}) {
        junk.clear();
        state.JunkBytes = 0;
        search(driveMode, folder + "/");
        std::map<std::string, std::int64_t> expected{{folder + "/real.tmp", 4}};
        if (!driveMode) {
            expected.emplace(folder + "/real.txt", 5);
        }
        expectRows(expected);
    }
    // Deleting what a row's path now names leaves every one of them.
    const auto before = test::snapshot(folder);
    for (const char* name : {"fifo.tmp", "busy.tmp", "socket.tmp", "char.tmp", "block.bak"}) {
        EXPECT_EQ(platform::deleteFile(folder + "/" + name, folder.size() + 1),
                  platform::DeleteOutcome::Gone)
            << name;
    }
    EXPECT_EQ(test::snapshot(folder), before);
    EXPECT_EQ(before.size(), nodes ? 7u : 5u);
    ::close(sock);
    ::close(writer);
    ::close(reader);
}

// Sets TMPDIR for one test and puts the old value back.
struct TemporaryFolderVariable {
    std::optional<std::string> old;
    explicit TemporaryFolderVariable(const std::string& value) {
        if (const char* was = std::getenv("TMPDIR")) {
            old = was;
        }
        ::setenv("TMPDIR", value.c_str(), 1);
    }
    ~TemporaryFolderVariable() {
        if (old) {
            ::setenv("TMPDIR", old->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
};

TEST_F(BadInputsTest, TemporaryFileOnAFullDiskStillGivesTheFolderAndTheWalkGoesOn) {
    if (!test::enterPrivateMountNamespace()) {
        GTEST_SKIP() << "needs a private mount namespace for a small file system";
    }
    struct Case {
        const char* name;
        const char* options;
        bool newFile;  // an empty file needs an inode but no data block
    };
    for (const Case& c : {Case{"inodes", "size=1m,nr_inodes=16", false},
                          Case{"blocks", "size=64k,nr_inodes=1000", true}}) {
        SCOPED_TRACE(c.name);
        const std::string folder = tree.folder(c.name);
        ASSERT_EQ(::mount("sweepwise-test", folder.c_str(), "tmpfs", 0, c.options), 0);
        // Fill it: data until no block is left, then empty files until no inode is left.
        std::map<std::string, std::int64_t> made;
        const std::string data = folder + "/data.bin";
        const int fd = ::open(data.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'x');
        std::int64_t written = 0;
        for (ssize_t n; (n = ::write(fd, block.data(), block.size())) > 0;) {
            written += n;
        }
        EXPECT_EQ(errno, ENOSPC);
        ::close(fd);
        made.emplace(data, written);
        if (!c.newFile) {
            for (int i = 0;; ++i) {
                const std::string name = folder + "/e" + std::to_string(i);
                const int e = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (e < 0) {
                    EXPECT_EQ(errno, ENOSPC);
                    break;
                }
                ::close(e);
            }
        }
        const auto before = test::snapshot(folder);

        TemporaryFolderVariable variable(folder);
        platform::HostSystem system;
        EXPECT_EQ(system.TemporaryFile(""), folder + "/");
        EXPECT_EQ(test::snapshot(folder).size(), before.size() + (c.newFile ? 1 : 0));

        junk.clear();
        state.JunkBytes = 0;
        search(false, folder + "/");
        expectRows(made);
        ::umount2(folder.c_str(), MNT_DETACH);
    }
}

}  // namespace
}  // namespace sweepwise
