#pragma once

#include <string>
#include <string_view>

namespace sweepwise {

// The share done as the cleaning window shows it: value / maximum x 100, rounded to single
// precision, written with at most seven significant digits and no trailing zeros, in plain
// decimals however small, with the given decimal point, and cut to its first five characters
// ("33.33" for a third, "12.5", "100").
std::string PercentText(float value, float maximum, std::string_view decimalPoint);

}  // namespace sweepwise
