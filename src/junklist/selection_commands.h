#pragma once

#include "junklist/junk_list.h"

namespace sweepwise {

// Both read the row count once: rows added later are not looked at. Neither pumps events, so
// the list cannot change under them.
void SelectAll(JunkList& junk);
void InvertSelection(JunkList& junk);

}  // namespace sweepwise
