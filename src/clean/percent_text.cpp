#include "clean/percent_text.h"

#include <charconv>
#include <cmath>

namespace sweepwise {

std::string PercentText(float value, float maximum, std::string_view decimalPoint) {
    const float percent = static_cast<float>(static_cast<double>(value) / maximum * 100.0);
    if (!std::isfinite(percent) || percent == 0) {
        return "0";
    }
    // Seven significant digits, as a single-precision number is written.
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(percent))));
    const int decimals = exponent >= 6 ? 0 : 6 - exponent;
    char digits[64];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<double>(percent),
                                   std::chars_format::fixed, decimals)
                         .ptr;
    std::string text(digits, end);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }

    std::string shown;
    int characters = 0;
    for (const char c : text) {
        if (++characters > 5) {
            break;
        }
        if (c == '.') {
            shown.append(decimalPoint);
        } else {
            shown.push_back(c);
        }
    }
    return shown;
}

}  // namespace sweepwise
