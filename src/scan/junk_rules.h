#pragma once

#include <string_view>

namespace sweepwise {

// Drive mode: a path is junk when it ends, case-sensitively, in one of the known junk endings.
bool meetsJunkRule(std::string_view path);

// Files whose path ends in "index.dat" are never junk, in either mode.
bool endsInIndexDat(std::string_view path);

}  // namespace sweepwise
