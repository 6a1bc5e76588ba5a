#include <gtest/gtest.h>

#include "clean/percent_text.h"

namespace sweepwise {
namespace {

struct PercentCase {
    const char* name;
    float value, maximum;
    const char* decimalPoint;
    const char* text;
};

void PrintTo(const PercentCase& c, std::ostream* out) {
    *out << c.name;
}

class PercentTextTest : public ::testing::TestWithParam<PercentCase> {};

TEST_P(PercentTextTest, WritesTheShareAsTheWindowShowsIt) {
    const PercentCase& c = GetParam();
    EXPECT_EQ(PercentText(c.value, c.maximum, c.decimalPoint), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PercentTextTest,
    ::testing::Values(PercentCase{"a_third_is_cut_not_rounded", 1, 3, ".", "33.33"},
                      PercentCase{"two_thirds_is_cut_not_rounded", 2, 3, ".", "66.66"},
                      PercentCase{"all_is_100", 3, 3, ".", "100"},
                      PercentCase{"an_eighth_has_no_trailing_zeros", 1, 8, ".", "12.5"},
                      PercentCase{"sevenths", 3, 7, ".", "42.85"},
                      PercentCase{"below_a_tenth_has_no_exponent", 1, 3001, ".", "0.033"},
                      PercentCase{"a_millionth_has_no_exponent", 1, 1'000'000, ".", "0.000"},
                      PercentCase{"just_under_ten", 300, 3001, ".", "9.996"},
                      PercentCase{"just_over_ten", 301, 3001, ".", "10.02"},
                      PercentCase{"locale_comma", 1, 3, ",", "33,33"},
                      PercentCase{"multibyte_decimal_point_counts_as_one_character", 1, 3,
                                  "\xd9\xab",
                                  "33\xd9\xab"
                                  "33"},
                      PercentCase{"nothing_done", 0, 5, ".", "0"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sweepwise
