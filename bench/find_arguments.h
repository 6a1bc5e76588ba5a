#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "junk_names.h"

namespace sweepwise::bench {

// "*" followed by the ending, built by appending (GCC 12 warns falsely on "*" + std::string).
inline std::string anyNameEndingIn(std::string_view ending) {
    std::string pattern(1, '*');
    pattern.append(ending);
    return pattern;
}

// The scan's selection as find's tests: dot-folders pruned, "*index.dat" never, in drive mode
// only the junk endings, and only non-empty regular files. Names come first, so that find
// examines only the entries whose names already qualify.
inline std::vector<std::string> findArguments(const std::string& find, const std::string& tree,
                                              bool drive) {
    // Without the trailing "/" find's paths read like the window's rows.
    std::string root = tree;
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    std::vector<std::string> args{find, root, "-xdev", "-mindepth", "1"};
    // The root is at depth 0, so it is never pruned even if its name begins with ".".
    args.insert(args.end(), {"(", "-name", ".*", "-type", "d", "-prune", ")", "-o"});
    args.insert(args.end(), {"(", "!", "-name", anyNameEndingIn(kIndexDatEnding)});
    if (drive) {
        args.emplace_back("(");
        for (const std::string_view ending : kJunkEndings) {
            args.insert(args.end(), {"-name", anyNameEndingIn(ending), "-o"});
        }
        args.insert(args.end(), {"-name", anyNameEndingIn(kThumbsEnding), ")"});
    }
    args.insert(args.end(), {"-type", "f", "-size", "+0c", "-printf", "%s %p\\0", ")"});
    return args;
}

}  // namespace sweepwise::bench
