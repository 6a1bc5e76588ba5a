#include "junklist/selection_commands.h"

namespace sweepwise {

void SelectAll(JunkList& junk) {
    const int rows = junk.count();
    for (int position = 1; position <= rows; ++position) {
        junk.setChecked(position, true);
    }
}

void InvertSelection(JunkList& junk) {
    const int rows = junk.count();
    for (int position = 1; position <= rows; ++position) {
        junk.setChecked(position, !junk.checked(position));
    }
}

}  // namespace sweepwise
