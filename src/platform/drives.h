#pragma once

#include <string>
#include <vector>

namespace sweepwise::platform {

// The fixed drives of a mount table in mountinfo format: filesystems of a disk type that a
// non-removable block device backs, each device once, mounted at the filesystem's own root.
// Gives their mount points with a final "/", in ascending order. sysfsRoot is where the block
// devices' removable flags are read ("/sys" on a live system).
std::vector<std::string> fixedDrivesFrom(const std::string& mountinfoPath,
                                         const std::string& sysfsRoot);

}  // namespace sweepwise::platform
