// The percentage text for any value, maximum and decimal point: never more than five
// characters of digits, a sign and the decimal point; for a run's own values (whole numbers of
// rows) the text that seven significant digits give.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "clean/percent_text.h"

namespace {

std::string byHand(float value, float maximum, const std::string& point) {
    const float percent = static_cast<float>(static_cast<double>(value) / maximum * 100.0);
    char text[64];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(percent));
    std::string shown;
    int characters = 0;
    for (const char* c = text; *c != '\0' && characters < 5; ++c, ++characters) {
        shown += *c == '.' ? point : std::string(1, *c);
    }
    return shown;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) {
        return 0;
    }
    float value = 0, maximum = 0;
    std::memcpy(&value, data, 4);
    std::memcpy(&maximum, data + 4, 4);
    const std::string point(reinterpret_cast<const char*>(data + 8), size - 8 > 4 ? 4 : size - 8);
    const std::string text = sweepwise::PercentText(value, maximum, point);

    int characters = 0;
    for (std::size_t at = 0; at < text.size(); ++characters) {
        if (!point.empty() && text.compare(at, point.size(), point) == 0) {
            at += point.size();
        } else if ((text[at] >= '0' && text[at] <= '9') || text[at] == '-') {
            ++at;
        } else {
            __builtin_trap();
        }
    }
    if (characters > 5 || text.empty()) {
        __builtin_trap();
    }
    // A run's progress: whole rows out of at most a million, a tenth of a percent or more.
    const bool runValues = maximum >= 1 && maximum <= 1e6f && value >= 0 && value <= maximum &&
                           std::floor(value) == value && std::floor(maximum) == maximum &&
                           value / maximum >= 0.001f;
    if (runValues && text != byHand(value, maximum, point)) {
        __builtin_trap();
    }
    return 0;
}
