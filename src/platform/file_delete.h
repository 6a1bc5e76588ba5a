#pragma once

#include <cstddef>
#include <string_view>

namespace sweepwise::platform {

enum class DeleteOutcome {
    Deleted,
    Gone,            // missing, or no longer a regular file
    InUse,           // open in some process, or mapped into one
    WriteProtected,  // the user may not write to it
    Denied,          // reached only through a link or another mount, outside its root, or refused
};

// Deletes the regular file at path. The path's first rootLength bytes are the root it was found
// under: the file is reached from there without following a link or crossing a mount, so
// nothing outside the root is ever deleted, whatever was swapped in since. A file that a
// program holds open or mapped, or that is write-protected, is left alone.
DeleteOutcome deleteFile(std::string_view path, std::size_t rootLength);

}  // namespace sweepwise::platform
