#include <gtest/gtest.h>

#include <string>

#include "junklist/selection_commands.h"

namespace sweepwise {
namespace {

// Ticks as a string, one character a row: "1" ticked, "0" not.
void setTicks(JunkList& junk, const std::string& ticks) {
    junk.clear();
    for (const char tick : ticks) {
        const int row = junk.append("/r/" + std::to_string(junk.count()));
        junk.setChecked(row, tick == '1');
    }
}

std::string ticks(const JunkList& junk) {
    std::string result;
    for (int row = 1; row <= junk.count(); ++row) {
        result += junk.checked(row) ? '1' : '0';
    }
    return result;
}

TEST(SelectionCommandsTest, SelectAllTicksEveryRowAndInvertFlipsEach) {
    JunkList junk;
    SelectAll(junk);
    InvertSelection(junk);
    EXPECT_EQ(junk.count(), 0);

    setTicks(junk, "1010011");
    SelectAll(junk);
    EXPECT_EQ(ticks(junk), "1111111");
    InvertSelection(junk);
    EXPECT_EQ(ticks(junk), "0000000");
    InvertSelection(junk);
    EXPECT_EQ(ticks(junk), "1111111");

    setTicks(junk, "101");
    InvertSelection(junk);
    EXPECT_EQ(ticks(junk), "010");

    // Rows without a size, as a cleaning run puts them back, tick like any other.
    junk.clear();
    junk.append("/back/again");
    SelectAll(junk);
    EXPECT_EQ(ticks(junk), "1");
}

TEST(SelectionCommandsTest, ManyRowsBeyondSixteenBits) {
    JunkList junk;
    setTicks(junk, std::string(40'000, '0'));
    junk.setChecked(40'000, true);
    InvertSelection(junk);
    EXPECT_FALSE(junk.checked(40'000));
    EXPECT_TRUE(junk.checked(32'768));
    EXPECT_TRUE(junk.checked(1));
}

}  // namespace
}  // namespace sweepwise
