#pragma once

#include <charconv>
#include <cstdint>
#include <fstream>
#include <string>

#include "junk_names.h"

namespace sweepwise::bench {

// What a tree made by sweepwise_make_tree promises, indexed by drive mode; -1 where it says
// nothing.
struct Manifest {
    std::int64_t rows[2] = {-1, -1};
    std::int64_t bytes[2] = {-1, -1};
};

// False when the tree has no manifest: it was not generated, and nothing may walk it.
inline bool readManifest(const std::string& root, Manifest& manifest, std::string& path) {
    path = root + std::string(kMarkerFolder) + "/" + std::string(kManifestName);
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        std::int64_t value = 0;
        std::from_chars(line.data() + eq + 1, line.data() + line.size(), value);
        if (key == "drive_junk") {
            manifest.rows[1] = value;
        } else if (key == "drive_bytes") {
            manifest.bytes[1] = value;
        } else if (key == "folder_junk") {
            manifest.rows[0] = value;
        } else if (key == "folder_bytes") {
            manifest.bytes[0] = value;
        }
    }
    return true;
}

}  // namespace sweepwise::bench
