#include "scan/junk_rules.h"

#include <algorithm>
#include <array>

namespace sweepwise {

namespace {

constexpr std::array<std::string_view, 14> kJunkEndings{
    "bak", "chk", "ftg", "fts", "fnd", "gid", "prv",
    "err", "tmp", "dmp", "mch", "$$$", "@@@", "---",
};

}  // namespace

bool meetsJunkRule(std::string_view path) {
    if (path.ends_with("Thumbs.db")) {
        return true;
    }
    if (path.size() < 3) {
        return false;
    }
    return std::ranges::find(kJunkEndings, path.substr(path.size() - 3)) != kJunkEndings.end();
}

bool endsInIndexDat(std::string_view path) {
    return path.ends_with("index.dat");
}

}  // namespace sweepwise
