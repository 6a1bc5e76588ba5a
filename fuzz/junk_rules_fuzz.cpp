// The junk rules on arbitrary path bytes, against a byte-by-byte reading of the same rules.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "scan/junk_rules.h"

namespace {

bool endsWith(const std::uint8_t* data, std::size_t size, const char* literal) {
    const std::size_t length = std::strlen(literal);
    return size >= length && std::memcmp(data + size - length, literal, length) == 0;
}

bool junkByHand(const std::uint8_t* data, std::size_t size) {
    static const char* const kEndings[] = {"bak", "chk", "ftg", "fts", "fnd",
                                           "gid", "prv", "err", "tmp", "dmp",
                                           "mch", "$$$", "@@@", "---", "Thumbs.db"};
    for (const char* ending : kEndings) {
        if (endsWith(data, size, ending)) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    if (sweepwise::meetsJunkRule(path) != junkByHand(data, size)) {
        __builtin_trap();
    }
    if (sweepwise::endsInIndexDat(path) != endsWith(data, size, "index.dat")) {
        __builtin_trap();
    }
    return 0;
}
