#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/fake_system.h"
#include "common/fixture.h"
#include "scan/folder_scan.h"

namespace sweepwise {
namespace {

using test::TempTree;
using test::TestUi;

struct RecordingView : ScanView {
    std::vector<std::string> statuses;
    std::vector<std::string> counts;
    void setStatusText(std::string_view text) override { statuses.emplace_back(text); }
    void setCountText(std::string_view text) override { counts.emplace_back(text); }
};

class FolderScanTest : public ::testing::Test {
protected:
    void search(bool driveMode, const std::string& root) {
        state.DriveScanMode = driveMode;
        scan.StartSearch(root, "*.*");
    }
    // The rows' paths, relative to the fixture's root.
    std::vector<std::string> rows(const TempTree& where) const {
        std::vector<std::string> paths;
        for (int i = 1; i <= junk.count(); ++i) {
            std::string_view path = junk.path(i);
            EXPECT_TRUE(path.starts_with(where.root())) << path;
            paths.emplace_back(path.substr(where.root().size()));
        }
        return paths;
    }
    std::set<std::string> rowSet() const {
        const auto found = rows(tree);
        return {found.begin(), found.end()};
    }

    TempTree tree;
    ScanState state;
    JunkList junk;
    RecordingView view;
    TestUi ui;
    FolderScan scan{state, junk, view, ui};
};

struct Candidate {
    const char* path;
    std::int64_t length;
    bool driveJunk;
    bool folderJunk;
};

// Look-alikes sit beside the real endings so that a loose match shows up at once.
const Candidate kCandidates[] = {
    {"b.tmp", 3, true, true},
    {"notes.bak", 5, true, true},
    {"attmp", 1, true, true},
    {"Thumbs.db", 2, true, true},
    {"OldThumbs.db", 2, true, true},
    {"sub/a.chk", 1, true, true},
    {"sub/a.$$$", 1, true, true},
    {"sub/a.@@@", 1, true, true},
    {"sub/a.---", 1, true, true},
    {"sub/name with spaces.dmp", 1, true, true},
    {"sub/\xff\xfe.err", 1, true, true},
    {".hidden.tmp", 1, true, true},
    {"B.TMP", 1, false, true},
    {"thumbs.db", 1, false, true},
    {"readme.txt", 7, false, true},
    {"INDEX.DAT", 1, false, true},
    {"index.dat", 1, false, false},
    {"sub/myindex.dat", 1, false, false},
    {"x.tmp", 0, false, false},
    {"empty.txt", 0, false, false},
    {".cache/inside.tmp", 1, false, false},
    {"sub/.git/objects/pack.tmp", 1, false, false},
};

class ModeTest : public FolderScanTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ModeTest, RecordsExactlyTheModesJunk) {
    const bool driveMode = GetParam();
    std::set<std::string> expected;
    for (const Candidate& c : kCandidates) {
        tree.file(c.path, c.length);
        if (driveMode ? c.driveJunk : c.folderJunk) {
            expected.insert(c.path);
        }
    }
    search(driveMode, tree.root());
    EXPECT_EQ(rowSet(), expected);
    EXPECT_FALSE(state.SearchRunning);
    for (int i = 1; i <= junk.count(); ++i) {
        EXPECT_FALSE(junk.checked(i));
        EXPECT_EQ(junk.size(i), std::filesystem::file_size(std::string(junk.path(i))));
    }
    EXPECT_EQ(junk.selected(), junk.count());
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "drive" : "folder"; });

// The order the walk must give, read with the C library's own listing: a folder's entries in
// listing order, every file before any subfolder, subfolders in listing order.
void listingOrder(const std::string& folder, const std::string& relative,
                  std::vector<std::string>& files) {
    std::vector<std::string> subfolders;
    DIR* dir = ::opendir(folder.c_str());
    ASSERT_NE(dir, nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (entry->d_type == DT_DIR) {
            if (name[0] != '.') {
                subfolders.push_back(name);
            }
        } else {
            files.push_back(relative + name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : subfolders) {
        listingOrder(folder + name + "/", relative + name + "/", files);
    }
}

TEST_F(FolderScanTest, RowsFollowTheListingDepthFirstWithFilesBeforeSubfolders) {
    for (const char* path : {"z.tmp", "a.tmp", "m/1.tmp", "m/n/2.tmp", "m/n/o/3.tmp", "m/4.tmp",
                             "b/5.tmp", "b/6.tmp", "c/d/e/7.tmp", "8.tmp", "c/9.tmp"}) {
        tree.file(path);
    }
    std::vector<std::string> expected;
    listingOrder(tree.root(), "", expected);

    search(true, tree.root());
    EXPECT_EQ(rows(tree), expected);
}

TEST_F(FolderScanTest, LinksAndOtherMountsAreNeverFollowed) {
    TempTree outside;
    outside.file("precious.tmp");
    tree.file("real/c.tmp");
    tree.link("to-real", tree.path("real"));
    tree.link("to-outside", outside.root());
    tree.link("file-link.tmp", outside.path("precious.tmp"));
    tree.link("broken.tmp", tree.path("missing"));
    ASSERT_EQ(::mkfifo(tree.path("fifo.tmp").c_str(), 0644), 0);
    const bool mounted =
        test::enterPrivateMountNamespace() && test::mountScratch(tree.folder("mounted"));
    if (mounted) {
        tree.file("mounted/inside.tmp");
    }

    for (bool driveMode : {true, false}) {
        junk.clear();
        search(driveMode, tree.root());
        EXPECT_EQ(rowSet(), std::set<std::string>{"real/c.tmp"}) << driveMode;
    }
    if (mounted) {
        ::umount(tree.path("mounted").c_str());
    }
}

TEST_F(FolderScanTest, UnreadableFolderContributesNothingAndTheWalkGoesOn) {
    tree.file("a/1.tmp");
    tree.file("locked/2.tmp");
    tree.file("locked/deeper/3.tmp");
    tree.file("z/4.tmp");
    tree.file("5.tmp");
    ASSERT_EQ(::chmod(tree.path("locked").c_str(), 0), 0);
    {
        test::WithoutPermissionOverride asUser;
        search(true, tree.root());
    }
    EXPECT_EQ(rowSet(), (std::set<std::string>{"a/1.tmp", "z/4.tmp", "5.tmp"}));
}

TEST_F(FolderScanTest, MissingRootAndEmptyPatternYieldNothing) {
    search(true, tree.path("missing/"));
    EXPECT_EQ(junk.count(), 0);
    EXPECT_TRUE(view.statuses.empty());

    tree.file("a.tmp");
    state.SearchPattern = "*.*";
    scan.StartSearch(tree.root(), "");
    EXPECT_EQ(junk.count(), 0);
    EXPECT_EQ(state.SearchPattern, "");
    EXPECT_FALSE(state.SearchRunning);
    EXPECT_EQ(ui.pumps, 1);  // the missing root's own visit
}

TEST_F(FolderScanTest, FileVanishingBeforeItsProbeIsPassedOver) {
    std::set<std::string> all;
    for (int i = 0; i < 20; ++i) {
        all.insert(tree.file("f" + std::to_string(i) + ".tmp").substr(tree.root().size()));
    }
    tree.file("sub/after.tmp");
    std::set<std::string> removed;
    ui.onPump = [&] {
        if (junk.count() == 1 && removed.empty()) {
            // The listing already holds every name; half of the unrecorded files go now.
            for (const std::string& name : all) {
                if (name != rows(tree)[0] && removed.size() < 10) {
                    ::unlink(tree.path(name).c_str());
                    removed.insert(name);
                }
            }
        }
    };
    search(true, tree.root());

    std::set<std::string> expected{"sub/after.tmp"};
    std::set_difference(all.begin(), all.end(), removed.begin(), removed.end(),
                        std::inserter(expected, expected.end()));
    EXPECT_EQ(removed.size(), 10u);
    EXPECT_EQ(rowSet(), expected);
}

TEST_F(FolderScanTest, CaptionsShowEveryProbedFileAndTheListsCountAndTotal) {
    junk.append("/left/over");  // the count is the whole list's, earlier rows included
    tree.file("only/a.tmp", 3);
    tree.file("only/b.txt", 4);
    tree.file("only/index.dat", 5);
    tree.file("only/empty.tmp", 0);
    tree.file("only/\xff.bak", 6);
    tree.folder("only/sub");

    std::vector<std::string> probed;
    listingOrder(tree.path("only/"), tree.path("only/"), probed);
    search(true, tree.path("only/"));

    std::vector<std::string> expectedStatus;
    std::vector<std::string> expectedCounts;
    std::int64_t total = 0;
    int count = 1;
    for (const std::string& path : probed) {
        const auto length = std::filesystem::file_size(path);
        if (length == 0 || path.ends_with("index.dat")) {
            continue;
        }
        expectedStatus.push_back("正在扫描路径：  " + path);
        if (!path.ends_with("txt")) {
            total += length;
            expectedCounts.push_back("已发现垃圾文件" + std::to_string(++count) +
                                     " 个，总计大小共" + std::to_string(total) + "Byte");
        }
    }
    EXPECT_EQ(view.statuses, expectedStatus);
    EXPECT_EQ(view.counts, expectedCounts);
    EXPECT_EQ(state.JunkBytes, 9);
    EXPECT_EQ(junk.count(), 3);

    view.statuses.clear();
    search(false, tree.path("only/"));
    EXPECT_EQ(view.statuses, std::vector<std::string>(3, "正在执行快速扫描..."));
    EXPECT_EQ(view.counts.back(), "已发现垃圾文件6 个，总计大小共22Byte");
}

TEST_F(FolderScanTest, SizesAndTotalsBeyondFourGigabytesAreExact) {
    tree.file("big.bin", std::int64_t{5} << 30);
    tree.file("other.bin", std::int64_t{3} << 30);
    search(false, tree.root());
    ASSERT_EQ(junk.count(), 2);
    EXPECT_EQ(std::set<std::int64_t>({junk.size(1), junk.size(2)}),
              (std::set<std::int64_t>{std::int64_t{5} << 30, std::int64_t{3} << 30}));
    EXPECT_EQ(state.JunkBytes, std::int64_t{8} << 30);
    EXPECT_EQ(view.counts.back(), "已发现垃圾文件2 个，总计大小共8589934592Byte");
}

TEST_F(FolderScanTest, EveryOneOfMoreThan32760SubfoldersIsWalked) {
    TempTree tree(TempTree::Backing::MemoryWherePossible);
    constexpr int kSubfolders = 32'800;
    for (int i = 0; i < kSubfolders; ++i) {
        ASSERT_EQ(::mkdir(tree.path("d" + std::to_string(i)).c_str(), 0755), 0);
    }
    tree.file("d0/first.tmp");
    tree.file("d32799/last.tmp");
    tree.file("own.tmp");
    search(true, tree.root());
    const auto found = rows(tree);
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()),
              (std::set<std::string>{"own.tmp", "d0/first.tmp", "d32799/last.tmp"}));
}

TEST_F(FolderScanTest, PumpsAtEveryFolderEveryEntryAndAfterEveryProbedFile) {
    tree.file("a.tmp");
    tree.file("b.txt");
    tree.file("empty.tmp", 0);
    tree.folder("sub");
    bool alwaysRunning = true;
    ui.onPump = [&] { alwaysRunning = alwaysRunning && state.SearchRunning; };
    search(true, tree.root());
    // root: 1 visit + 6 entries (".", "..", a.tmp, b.txt, empty.tmp, sub) + 2 probed files;
    // sub: 1 visit + 2 entries.
    EXPECT_EQ(ui.pumps, 12);
    EXPECT_TRUE(alwaysRunning);
}

// The real pump is due only every few milliseconds; this one only at one chosen call.
class DueOnceUi final : public TestUi {
public:
    explicit DueOnceUi(int dueCall) : m_dueCall(dueCall) {}
    bool eventsDue() const override { return ++m_calls == m_dueCall; }

private:
    int m_dueCall;
    mutable int m_calls = 0;
};

std::string scanningPath(const std::string& path) {
    return "正在扫描路径：  " + path;
}

// The walk may leave the status line behind until events are due, but whenever they run it
// shows the newest file that passes the probe, as if every file had been shown in turn.
TEST(FolderScanStatusTest, WhenEventsRunTheStatusShowsTheNewestFileThatPassedTheProbe) {
    TempTree tree;
    // Nothing here is recorded, so no entry adds a pump call of its own.
    const std::map<std::string, std::int64_t> sizes{
        {"a.txt", 1}, {"b.txt", 0}, {"c.log", 2},     {"d.txt", 0},
        {"e.tmp", 0}, {"f.txt", 3}, {"index.dat", 4}, {"g.txt", 0},
    };
    for (const auto& [name, length] : sizes) {
        tree.file(name, length);
    }
    std::vector<std::string> order;  // every entry, "." and ".." too
    DIR* dir = ::opendir(tree.root().c_str());
    ASSERT_NE(dir, nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        order.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    const auto passes = [&](const std::string& name) {
        return sizes.contains(name) && sizes.at(name) > 0 && name != "index.dat";
    };

    // What showing every file in turn leaves on the status line before each entry, and at the end.
    std::vector<std::string> before;
    std::string newest;
    for (const std::string& name : order) {
        before.push_back(newest.empty() ? "" : scanningPath(tree.root() + newest));
        newest = passes(name) ? name : newest;
    }
    for (std::size_t due = 0; due < order.size(); ++due) {
        ScanState state;
        state.DriveScanMode = true;
        JunkList junk;
        RecordingView view;
        // Call 1 is the folder's visit, then one call at the start of each entry.
        DueOnceUi ui(int(due) + 2);
        std::optional<std::string> seen;
        ui.onPump = [&] { seen = view.statuses.empty() ? "" : view.statuses.back(); };
        FolderScan scan(state, junk, view, ui);
        scan.StartSearch(tree.root(), "*.*");

        ASSERT_TRUE(seen) << "events never ran";
        EXPECT_EQ(*seen, before[due]) << "events ran before " << order[due];
        EXPECT_EQ(junk.count(), 0);
        ASSERT_FALSE(view.statuses.empty());
        EXPECT_EQ(view.statuses.back(), scanningPath(tree.root() + newest));
    }
}

// Without a single due pump, what is left to show is worked out as each folder is left.
TEST(FolderScanStatusTest, WithoutEventsTheWalkEndsShowingWhatShowingEveryFileWouldShow) {
    TempTree tree;
    // The root's files come first; the last file that passes the probe is one of sub's two,
    // whichever order the subfolders come in.
    tree.file("a.bak", 2);
    tree.file("b.txt", 0);
    tree.file("sub/c.txt", 0);
    tree.file("sub/e.txt", 3);
    tree.file("sub/e2.txt", 4);
    tree.file("sub/inner/f.txt", 0);
    tree.file("later/g.txt", 0);
    tree.file("later/h.tmp", 0);
    struct Run {
        std::vector<std::string> statuses;
        std::vector<std::string> rows;
    };
    const auto scanWith = [&](TestUi& ui) {
        ScanState state;
        state.DriveScanMode = true;
        JunkList junk;
        RecordingView view;
        FolderScan scan(state, junk, view, ui);
        scan.StartSearch(tree.root(), "*.*");
        Run run{view.statuses, {}};
        for (int i = 1; i <= junk.count(); ++i) {
            run.rows.emplace_back(junk.path(i));
        }
        return run;
    };
    TestUi always;
    DueOnceUi never(0);
    const Run exact = scanWith(always);
    const Run lazy = scanWith(never);
    ASSERT_FALSE(exact.statuses.empty());
    ASSERT_FALSE(lazy.statuses.empty());
    EXPECT_EQ(lazy.statuses.back(), exact.statuses.back());
    EXPECT_EQ(lazy.rows, exact.rows);
    EXPECT_EQ(lazy.rows, std::vector<std::string>{tree.path("a.bak")});
    EXPECT_TRUE(lazy.statuses.back().starts_with(scanningPath(tree.path("sub/e"))))
        << lazy.statuses.back();
    // Fewer texts, each one the exact run showed, in the same order.
    auto from = exact.statuses.begin();
    for (const std::string& status : lazy.statuses) {
        from = std::find(from, exact.statuses.end(), status);
        ASSERT_NE(from, exact.statuses.end()) << status;
        ++from;
    }
    EXPECT_LT(lazy.statuses.size(), exact.statuses.size());
}

// Three folders with one junk file each: the walk visits root, then x, then y.
class NestedCommandTest : public FolderScanTest {
protected:
    void SetUp() override {
        tree.file("r.tmp");
        tree.file("x/x.tmp");
        tree.file("y/y.tmp");
        listingOrder(tree.root(), "", order);
    }
    std::vector<std::string> order;
};

TEST_F(NestedCommandTest, StopRecordsNothingMoreWhileTheWalkGoesThroughEveryFolder) {
    int pumpsAfterStop = 0;
    ui.onPump = [&] {
        if (state.StopRequested) {
            ++pumpsAfterStop;
            EXPECT_TRUE(state.SearchRunning);
        } else if (junk.count() == 1) {
            state.StopRequested = true;
        }
    };
    search(true, tree.root());
    ASSERT_EQ(order[0], "r.tmp");
    EXPECT_EQ(rows(tree), std::vector<std::string>{"r.tmp"});
    EXPECT_EQ(view.counts.size(), 1u);
    EXPECT_FALSE(state.SearchRunning);

    // The root's next entry, if r.tmp was not its last, ends the root's own files; x and y are
    // still visited, each left at its first entry.
    int entriesAfter = -1;
    DIR* dir = ::opendir(tree.root().c_str());
    while (const dirent* entry = ::readdir(dir)) {
        entriesAfter += entriesAfter >= 0 || std::string_view(entry->d_name) == "r.tmp";
    }
    ::closedir(dir);
    EXPECT_EQ(pumpsAfterStop, (entriesAfter > 0 ? 1 : 0) + 2 * 2);
}

TEST_F(NestedCommandTest, StartSearchDuringAWalkOnlyEndsItAndNestedSearchesRunWhole) {
    TempTree other;
    other.file("o1.tmp");
    other.file("o2/o2.tmp");
    bool nested = false;
    ui.onPump = [&] {
        if (junk.count() == 1 && !nested) {
            nested = true;
            scan.StartSearch(other.root(), "*.*");  // ends the paused walk, searches nothing
            EXPECT_FALSE(state.SearchRunning);
            EXPECT_EQ(junk.count(), 1);
            scan.StartSearch(other.root(), "*.*");  // a complete nested search
        }
    };
    search(true, tree.root());

    ASSERT_EQ(junk.count(), 3);
    EXPECT_EQ(junk.path(1), tree.path(order[0]));
    EXPECT_EQ(junk.path(2), other.path("o1.tmp"));
    EXPECT_EQ(junk.path(3), other.path("o2/o2.tmp"));
    EXPECT_FALSE(state.SearchRunning);
}

}  // namespace
}  // namespace sweepwise
