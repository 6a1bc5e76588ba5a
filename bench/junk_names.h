#pragma once

#include <array>
#include <string_view>

// The junk selection by name, written again here rather than taken from the core: the tree
// generator and the floor walk are the yardstick the product's walk is checked against, so they
// must not share its code.
namespace sweepwise::bench {

inline constexpr std::array<std::string_view, 14> kJunkEndings{
    "bak", "chk", "ftg", "fts", "fnd", "gid", "prv",
    "err", "tmp", "dmp", "mch", "$$$", "@@@", "---",
};
inline constexpr std::string_view kThumbsEnding = "Thumbs.db";
inline constexpr std::string_view kIndexDatEnding = "index.dat";

// The folder inside every generated tree that marks it as one; it begins with "." so no walk
// enters it, and it holds the generator's manifest.
inline constexpr std::string_view kMarkerFolder = ".sweepwise-bench-tree";
inline constexpr std::string_view kManifestName = "manifest";

// None of the endings contains "/", so testing a bare name gives the same answer as testing the
// full path that ends in "/name".
inline bool endsInIndexDat(std::string_view name) {
    return name.ends_with(kIndexDatEnding);
}

inline bool hasJunkEnding(std::string_view name) {
    if (name.ends_with(kThumbsEnding)) {
        return true;
    }
    for (const std::string_view ending : kJunkEndings) {
        if (name.ends_with(ending)) {
            return true;
        }
    }
    return false;
}

// Whether a non-empty regular file of this name is junk in the given mode.
inline bool isJunkName(std::string_view name, bool driveMode) {
    if (endsInIndexDat(name)) {
        return false;
    }
    return !driveMode || hasJunkEnding(name);
}

}  // namespace sweepwise::bench
