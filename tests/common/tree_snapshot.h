#pragma once

#include <map>
#include <string>

namespace sweepwise::test {

// Every entry below a folder, links not followed, as relative path -> what it is: "folder",
// "file <length> <mode>", "link <target>", "fifo", "socket", "device" or "other". Comparing two
// snapshots shows what was deleted, added or changed anywhere in a fixture.
std::map<std::string, std::string> snapshot(const std::string& folder);

// The entries of before that are missing from after.
std::map<std::string, std::string> removed(const std::map<std::string, std::string>& before,
                                           const std::map<std::string, std::string>& after);

}  // namespace sweepwise::test
