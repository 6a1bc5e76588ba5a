#include <gtest/gtest.h>

#include "scan/junk_rules.h"

namespace sweepwise {
namespace {

struct RuleCase {
    const char* name;
    std::string_view path;
    bool junk;
};

void PrintTo(const RuleCase& c, std::ostream* out) {
    *out << c.name;
}

class JunkRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(JunkRuleTest, ComparesTheEndOfThePathExactly) {
    EXPECT_EQ(meetsJunkRule(GetParam().path), GetParam().junk) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Endings, JunkRuleTest,
    ::testing::Values(RuleCase{"bak", "/d/notes.bak", true},
                      RuleCase{"chk", "/d/FILE0000.chk", true}, RuleCase{"ftg", "/d/a.ftg", true},
                      RuleCase{"fts", "/d/a.fts", true}, RuleCase{"fnd", "/d/a.fnd", true},
                      RuleCase{"gid", "/d/a.gid", true}, RuleCase{"prv", "/d/a.prv", true},
                      RuleCase{"err", "/d/a.err", true}, RuleCase{"tmp", "/d/b.tmp", true},
                      RuleCase{"dmp", "/d/a.dmp", true}, RuleCase{"mch", "/d/a.mch", true},
                      RuleCase{"dollars", "/d/a.$$$", true}, RuleCase{"ats", "/d/a.@@@", true},
                      RuleCase{"dashes", "/d/a.---", true},
                      RuleCase{"Thumbs_db", "/d/Thumbs.db", true},
                      RuleCase{"ending_without_a_dot_is_junk", "/d/attmp", true},
                      RuleCase{"ending_inside_a_longer_name_is_junk", "/d/OldThumbs.db", true},
                      RuleCase{"upper_case_TMP_is_not_junk", "/d/B.TMP", false},
                      RuleCase{"mixed_case_Bak_is_not_junk", "/d/x.Bak", false},
                      RuleCase{"lower_case_thumbs_db_is_not_junk", "/d/thumbs.db", false},
                      RuleCase{"ending_elsewhere_is_not_junk", "/d/a.tmp.txt", false},
                      RuleCase{"other_ending_is_not_junk", "/d/readme.txt", false},
                      RuleCase{"short_path", "mp", false}, RuleCase{"empty_path", "", false},
                      RuleCase{"invalid_utf8_before_the_ending", "/d/\xff\xfe.tmp", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IndexDatTest, OnlyTheExactLowerCaseEndingCounts) {
    EXPECT_TRUE(endsInIndexDat("/c/index.dat"));
    EXPECT_TRUE(endsInIndexDat("/c/myindex.dat"));
    EXPECT_FALSE(endsInIndexDat("/c/INDEX.DAT"));
    EXPECT_FALSE(endsInIndexDat("/c/index.dat.bak"));
    EXPECT_FALSE(endsInIndexDat("dex.dat"));
}

}  // namespace
}  // namespace sweepwise
