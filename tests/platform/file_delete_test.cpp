#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/fixture.h"
#include "platform/file_delete.h"

namespace sweepwise::platform {
namespace {

using test::HeldByAnotherProcess;
using test::TempTree;

class FileDeleteTest : public ::testing::Test {
protected:
    DeleteOutcome remove(std::string_view relative) {
        return deleteFile(tree.path(relative), tree.root().size());
    }
    TempTree tree;
};

TEST_F(FileDeleteTest, DeletesExactlyTheFileAskedFor) {
    tree.file("a/b/junk.tmp");
    tree.file("a/b/kept.tmp");
    tree.file("\xff\xfe.tmp");
    EXPECT_EQ(remove("a/b/junk.tmp"), DeleteOutcome::Deleted);
    EXPECT_EQ(remove("\xff\xfe.tmp"), DeleteOutcome::Deleted);
    EXPECT_EQ(tree.nonFolders(), std::set<std::string>{"a/b/kept.tmp"});
    EXPECT_EQ(remove("a/b/junk.tmp"), DeleteOutcome::Gone);
}

TEST_F(FileDeleteTest, LeavesWhatIsNoLongerARegularFile) {
    TempTree outside;
    outside.file("precious");
    tree.folder("folder.tmp");
    tree.link("link.tmp", outside.path("precious"));
    ASSERT_EQ(::mkfifo(tree.path("fifo.tmp").c_str(), 0644), 0);
    const auto before = tree.nonFolders();
    for (const char* name : {"folder.tmp", "link.tmp", "fifo.tmp", "missing.tmp"}) {
        EXPECT_EQ(remove(name), DeleteOutcome::Gone) << name;
    }
    EXPECT_EQ(tree.nonFolders(), before);
    EXPECT_EQ(outside.nonFolders(), std::set<std::string>{"precious"});
}

TEST_F(FileDeleteTest, NeverFollowsAFolderSwappedForALink) {
    TempTree outside;
    outside.file("b/f.tmp");
    tree.file("a/b/f.tmp");
    std::filesystem::remove_all(tree.path("a"));
    tree.link("a", outside.root());
    EXPECT_EQ(remove("a/b/f.tmp"), DeleteOutcome::Denied);
    EXPECT_EQ(outside.nonFolders(), std::set<std::string>{"b/f.tmp"});
}

TEST_F(FileDeleteTest, NothingOutsideItsRoot) {
    TempTree outside;
    outside.file("f.tmp");
    const std::string escape =
        tree.path("../") +
        std::filesystem::path(outside.path("f.tmp")).parent_path().filename().string() + "/f.tmp";
    EXPECT_EQ(deleteFile(escape, tree.root().size()), DeleteOutcome::Denied);
    EXPECT_EQ(deleteFile(outside.path("f.tmp"), 0), DeleteOutcome::Denied);
    EXPECT_EQ(deleteFile(outside.path("f.tmp"), 3), DeleteOutcome::Denied);  // not a folder's end
    EXPECT_EQ(outside.nonFolders(), std::set<std::string>{"f.tmp"});
}

TEST_F(FileDeleteTest, LeavesWriteProtectedFiles) {
    tree.file("readonly.tmp");
    ASSERT_EQ(::chmod(tree.path("readonly.tmp").c_str(), 0444), 0);
    EXPECT_EQ(remove("readonly.tmp"), DeleteOutcome::WriteProtected);
    tree.file("user-readonly.tmp");
    ASSERT_EQ(::chmod(tree.path("user-readonly.tmp").c_str(), 0466), 0);
    {
        test::WithoutPermissionOverride asUser;
        EXPECT_EQ(remove("user-readonly.tmp"), DeleteOutcome::WriteProtected);
    }
    EXPECT_EQ(tree.nonFolders(), (std::set<std::string>{"readonly.tmp", "user-readonly.tmp"}));
}

TEST_F(FileDeleteTest, LeavesFilesThatAnotherProcessHolds) {
    tree.file("open.tmp");
    tree.file("mapped.tmp");
    {
        HeldByAnotherProcess opened(tree.path("open.tmp"), HeldByAnotherProcess::Hold::Open);
        HeldByAnotherProcess mapped(tree.path("mapped.tmp"),
                                    HeldByAnotherProcess::Hold::MappedThenClosed);
        EXPECT_EQ(remove("open.tmp"), DeleteOutcome::InUse);
        EXPECT_EQ(remove("mapped.tmp"), DeleteOutcome::InUse);
        EXPECT_EQ(tree.nonFolders(), (std::set<std::string>{"open.tmp", "mapped.tmp"}));
    }
    // Once the other process let go, the same files go.
    EXPECT_EQ(remove("open.tmp"), DeleteOutcome::Deleted);
    EXPECT_EQ(remove("mapped.tmp"), DeleteOutcome::Deleted);
}

TEST_F(FileDeleteTest, WithoutALeaseTheProcessesOwnListsTell) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the file to another user";
    }
    // Another user's file: this process may not lease it, so it reads /proc instead.
    tree.file("theirs-open.tmp");
    tree.file("theirs-free.tmp");
    for (const char* name : {"theirs-open.tmp", "theirs-free.tmp"}) {
        ASSERT_EQ(::chown(tree.path(name).c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chmod(tree.path(name).c_str(), 0666), 0);
    }
    HeldByAnotherProcess opened(tree.path("theirs-open.tmp"), HeldByAnotherProcess::Hold::Open);
    test::WithoutPermissionOverride asUser;
    EXPECT_EQ(remove("theirs-open.tmp"), DeleteOutcome::InUse);
    EXPECT_EQ(remove("theirs-free.tmp"), DeleteOutcome::Deleted);
}

TEST_F(FileDeleteTest, FilesBelowAnotherMountAreNotReached) {
    if (!test::enterPrivateMountNamespace()) {
        GTEST_SKIP() << "no private mount namespace here";
    }
    const std::string mounted = tree.folder("mounted");
    ASSERT_TRUE(test::mountScratch(mounted));
    tree.file("mounted/f.tmp");
    EXPECT_EQ(remove("mounted/f.tmp"), DeleteOutcome::Denied);
    EXPECT_TRUE(std::filesystem::exists(tree.path("mounted/f.tmp")));
    ::umount(mounted.c_str());
}

}  // namespace
}  // namespace sweepwise::platform
