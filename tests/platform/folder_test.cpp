#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <map>

#include "common/fixture.h"
#include "platform/folder.h"

namespace sweepwise::platform {
namespace {

using test::TempTree;

// Each name with its kind as listed: 'd' a real folder, 'f' a regular file, '-' anything else.
std::map<std::string, char> listAll(const Folder& folder, std::string_view pattern = "*.*") {
    std::map<std::string, char> entries;
    FolderListing listing;
    EXPECT_TRUE(listing.read(folder));
    FolderEntry entry;
    for (std::size_t cursor = 0; listing.next(cursor, entry);) {
        if (nameMatches(pattern, entry.name.data())) {
            EXPECT_FALSE(entry.isDirectory && entry.isRegular);
            entries.emplace(std::string(entry.name), entry.isDirectory ? 'd'
                                                     : entry.isRegular ? 'f'
                                                                       : '-');
        }
    }
    return entries;
}

TEST(FolderTest, ListsEveryEntryAndMarksOnlyRealFolders) {
    TempTree tree;
    tree.file("file.tmp");
    tree.folder("sub");
    tree.folder(".dot");
    tree.link("to-sub", tree.path("sub"));
    tree.link("broken", tree.path("missing"));
    tree.file("\xff\xfe name");

    const auto root = Folder::openRoot(tree.root());
    ASSERT_TRUE(root);
    const std::map<std::string, char> expected{
        {".", 'd'},    {"..", 'd'},     {"file.tmp", 'f'}, {"sub", 'd'},
        {".dot", 'd'}, {"to-sub", '-'}, {"broken", '-'},   {"\xff\xfe name", 'f'},
    };
    EXPECT_EQ(listAll(*root), expected);
    // A second listing of the same folder gives the same entries.
    EXPECT_EQ(listAll(*root), expected);
}

TEST(FolderTest, AFolderOfManyLongNamesIsListedWholeEveryTime) {
    TempTree tree(TempTree::Backing::MemoryWherePossible);
    std::map<std::string, char> expected{{".", 'd'}, {"..", 'd'}};
    for (int i = 0; i < 3000; ++i) {
        const std::string name = std::to_string(i) + std::string(200, 'x');
        tree.file(name);
        expected.emplace(name, 'f');
    }
    const auto root = Folder::openRoot(tree.root());
    ASSERT_TRUE(root);
    EXPECT_EQ(listAll(*root), expected);
    EXPECT_EQ(listAll(*root), expected);
}

TEST(FolderTest, PatternSelectsNames) {
    TempTree tree;
    tree.file("a.tmp");
    tree.file("b.txt");
    const auto root = Folder::openRoot(tree.root());
    ASSERT_TRUE(root);
    EXPECT_EQ(listAll(*root, "*.tmp"), (std::map<std::string, char>{{"a.tmp", 'f'}}));
    EXPECT_EQ(listAll(*root, "*").size(), 4u);
}

TEST(FolderTest, SubfoldersOpenOnlyForRealFoldersOnTheSameMount) {
    TempTree tree;
    tree.file("sub/inner.tmp");
    tree.file("file");
    tree.link("to-sub", tree.path("sub"));
    const auto root = Folder::openRoot(tree.root());
    ASSERT_TRUE(root);

    const auto sub = root->openSubfolder("sub");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->fileLength("inner.tmp"), 1);
    EXPECT_FALSE(root->openSubfolder("to-sub"));
    EXPECT_FALSE(root->openSubfolder("file"));
    EXPECT_FALSE(root->openSubfolder("missing"));

    // A root given through a link is followed: the link is the caller's choice of root.
    EXPECT_TRUE(Folder::openRoot(tree.path("to-sub/")));
}

TEST(FolderTest, MountPointsAreNotCrossed) {
    if (!test::enterPrivateMountNamespace()) {
        GTEST_SKIP() << "no private mount namespace here (needs CAP_SYS_ADMIN)";
    }
    TempTree tree;
    const std::string mounted = tree.folder("mounted");
    ASSERT_TRUE(test::mountScratch(mounted));
    const std::string bound = tree.folder("bound");
    tree.folder("source");
    ASSERT_EQ(::mount(tree.path("source").c_str(), bound.c_str(), nullptr, MS_BIND, nullptr), 0);

    const auto root = Folder::openRoot(tree.root());
    ASSERT_TRUE(root);
    EXPECT_FALSE(root->openSubfolder("mounted"));
    EXPECT_FALSE(root->openSubfolder("bound"));  // same filesystem, but another mount
    EXPECT_TRUE(root->openSubfolder("source"));
    // A mount point is still a folder when it is a root of its own.
    EXPECT_TRUE(Folder::openRoot(mounted + "/"));
    ::umount(bound.c_str());
    ::umount(mounted.c_str());
}

TEST(FolderTest, LengthOnlyForRegularFiles) {
    TempTree tree;
    tree.file("five", 5);
    tree.file("empty", 0);
    tree.file("sparse", std::int64_t{5} << 30);
    tree.folder("sub");
    tree.link("link", tree.path("five"));
    ASSERT_EQ(::mkfifo(tree.path("fifo").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = tree.path("socket");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const auto root = Folder::openRoot(tree.root());
    ASSERT_TRUE(root);
    EXPECT_EQ(root->fileLength("five"), 5);
    EXPECT_EQ(root->fileLength("empty"), 0);
    EXPECT_EQ(root->fileLength("sparse"), std::int64_t{5} << 30);
    for (const char* name : {"sub", "link", "fifo", "socket", "missing"}) {
        EXPECT_FALSE(root->fileLength(name)) << name;
        EXPECT_FALSE(fileLength(tree.path(name))) << name;
    }
    EXPECT_EQ(fileLength(tree.path("five")), 5);
    EXPECT_FALSE(fileLength("/dev/null"));
    ::close(sock);
}

TEST(FolderTest, UnreadableFolderCannotBeListed) {
    TempTree tree;
    tree.file("locked/a.tmp");
    ASSERT_EQ(::chmod(tree.path("locked").c_str(), 0), 0);
    test::WithoutPermissionOverride asUser;

    const auto root = Folder::openRoot(tree.root());
    ASSERT_TRUE(root);
    EXPECT_FALSE(root->openSubfolder("locked"));
    EXPECT_FALSE(Folder::openRoot(tree.path("locked/")));
}

}  // namespace
}  // namespace sweepwise::platform
