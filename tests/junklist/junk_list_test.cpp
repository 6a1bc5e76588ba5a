#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "junklist/junk_list.h"

namespace sweepwise {
namespace {

struct RecordingObserver : JunkListObserver {
    std::vector<std::string> events;
    void junkRowsAppended(int count) override {
        events.push_back("appended " + std::to_string(count));
    }
    void junkRowChanged(int position) override {
        events.push_back("changed " + std::to_string(position));
    }
    void junkSelectionChanged(int position) override {
        events.push_back("selected " + std::to_string(position));
    }
    void junkListCleared() override { events.push_back("cleared"); }
};

TEST(JunkListTest, RowsKeepTheirOrderPathBytesSizeAndTick) {
    JunkList list;
    RecordingObserver observer;
    list.setObserver(&observer);

    EXPECT_EQ(list.append("/t/a.tmp"), 1);
    EXPECT_EQ(list.append("/t/\xff\xfe.tmp"), 2);
    EXPECT_EQ(list.append(""), 3);
    list.setSelected(2);
    list.setSize(2, std::int64_t{5} << 30);
    list.setChecked(1, true);

    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.path(1), "/t/a.tmp");
    EXPECT_EQ(list.path(2), "/t/\xff\xfe.tmp");
    EXPECT_EQ(list.path(3), "");
    EXPECT_EQ(list.size(1), JunkList::kNoSize);
    EXPECT_EQ(list.size(2), std::int64_t{5} << 30);
    EXPECT_TRUE(list.checked(1));
    EXPECT_FALSE(list.checked(2));
    EXPECT_EQ(list.selected(), 2);
    EXPECT_EQ(observer.events, (std::vector<std::string>{"appended 1", "appended 2", "appended 3",
                                                         "selected 2", "changed 2", "changed 1"}));

    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.selected(), 0);
    EXPECT_EQ(observer.events.back(), "cleared");
    EXPECT_EQ(list.append("/again"), 1);
    EXPECT_EQ(list.path(1), "/again");
    EXPECT_FALSE(list.checked(1));
}

TEST(JunkListTest, RowsThatAreGoneCannotBeRead) {
    JunkList list;
    list.append("/a");
    for (int position : {0, -1, 2}) {
        EXPECT_THROW(list.path(position), std::out_of_range) << position;
        EXPECT_THROW(list.setChecked(position, true), std::out_of_range) << position;
        EXPECT_THROW(list.setSelected(position), std::out_of_range) << position;
    }
    list.clear();
    EXPECT_THROW(list.checked(1), std::out_of_range);
}

TEST(JunkListTest, AMillionRowsOfMixedLengthsStayIntact) {
    JunkList list;
    const std::string longPath(600 * 1024, 'x');  // longer than a shared arena block holds
    auto pathOf = [&](int i) {
        if (i % 250'000 == 0) {
            return longPath + std::to_string(i);
        }
        return "/drive/folder " + std::to_string(i % 97) + "/" + std::string(i % 41, 'n') +
               std::to_string(i) + ".tmp";
    };
    constexpr int kRows = 1'000'000;
    for (int i = 1; i <= kRows; ++i) {
        ASSERT_EQ(list.append(pathOf(i)), i);
        list.setSize(i, i);
    }
    ASSERT_EQ(list.count(), kRows);
    for (int i = 1; i <= kRows; ++i) {
        ASSERT_EQ(list.path(i), pathOf(i)) << i;
        ASSERT_EQ(list.size(i), i);
    }
    list.setChecked(kRows, true);
    EXPECT_TRUE(list.checked(kRows));
    EXPECT_FALSE(list.checked(32'768));
}

}  // namespace
}  // namespace sweepwise
