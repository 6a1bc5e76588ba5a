#pragma once

#include <cstdint>
#include <string>

namespace sweepwise {

// The scan-wide state: one instance for the program, shared by every search, nested ones too.
struct ScanState {
    bool SearchRunning = false;  // a root search is walking; clearing it winds the walk down
    bool StopRequested = false;  // nothing more is recorded while it is set
    bool DriveScanMode = false;  // true: only files that meet a junk rule are junk
    std::int64_t JunkBytes = 0;  // total of the sizes recorded since the last reset
    std::string SearchPattern;   // the pattern each folder's files are listed with
};

}  // namespace sweepwise
