// sweepwise_make_tree: writes a reproducible tree of sparse files for the scan benchmark.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "junk_names.h"

namespace sweepwise::bench {
namespace {

constexpr int kMaxDepth = 8;
constexpr std::int64_t kMaxLength = 65536;

struct Options {
    std::int64_t files = 500'000;
    std::int64_t folders = 40'000;
    std::uint64_t seed = 1;
    std::string root;
};

// std::mt19937_64 gives the same numbers with every standard library but its distributions do
// not, so the draws are made by hand to give the same tree everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_engine(seed) {}
    std::uint64_t below(std::uint64_t n) {
        return std::min(n - 1, static_cast<std::uint64_t>(unit() * static_cast<double>(n)));
    }
    double unit() { return static_cast<double>(m_engine() >> 11) * 0x1p-53; }
    bool chance(double p) { return unit() < p; }
    double normal() {
        const double u = 1.0 - unit();  // never 0, so the log is finite
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * unit());
    }
    template <typename T, std::size_t N>
    const T& pick(const std::array<T, N>& items) {
        return items[below(N)];
    }

private:
    std::mt19937_64 m_engine;
};

struct FolderInfo {
    int parent = -1;
    int depth = 0;
    bool dotFolder = false;
    bool hidden = false;  // a dot-folder or anything below one
    bool hasThumbs = false;
    bool hasIndexDat = false;
    std::string path;  // relative to the root, "" for the root itself
};

struct Totals {
    std::int64_t files = 0, hiddenFiles = 0, hiddenExtras = 0, emptyFiles = 0, indexDat = 0,
                 badUtf8 = 0, spaces = 0, dotFiles = 0, junkNamed = 0, lookAlikes = 0, links = 0;
    std::int64_t dotFolders = 0, hiddenFolders = 0, emptyFolders = 0, topLevel = 0, maxFanOut = 0,
                 mostFiles = 0;
    int maxDepth = 0;
    std::int64_t driveJunk = 0, driveBytes = 0, folderJunk = 0, folderBytes = 0;
};

constexpr std::array<std::string_view, 10> kWords{
    "docs", "src", "cache", "img", "data", "logs", "build", "assets", "misc", "backup",
};
constexpr std::array<std::string_view, 13> kExtensions{
    "txt", "jpg", "png", "cpp", "h", "log", "dat", "pdf", "doc", "xml", "json", "so", "o",
};
// Near misses of the junk endings that drive mode must pass over: case, position, extra suffix.
constexpr std::array<std::string_view, 8> kLookAlikes{
    " B.TMP", "thumbs.db", "x.Bak", ".tmp.txt", "Thumbs.db.old", "THUMBS.DB", ".TM", "bak.log",
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "sweepwise_make_tree: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

void appendNumber(std::string& text, std::int64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text.append(digits, end);
}

std::string folderName(Random& random, int index, bool dotFolder) {
    std::string name;
    if (dotFolder) {
        name = random.chance(0.5) ? ".cache" : ".hidden";
    } else {
        const double r = random.unit();
        if (r < 0.03) {
            name = "New Folder ";
        } else if (r < 0.04) {
            name = "d\xff\xfe";
        } else if (r < 0.05) {
            name = "old.tmp.";  // a folder is never junk, whatever it is called
        } else {
            name = random.pick(kWords);
        }
    }
    appendNumber(name, index);
    if (!dotFolder && random.chance(0.01)) {
        name += random.chance(0.5) ? ".bak" : "Thumbs.db";
    }
    return name;
}

// A file name unique in the tree (it carries the file's number). The expected counts are taken
// from the final name, so the categories below only steer the mix.
std::string fileName(Random& random, FolderInfo& folder, std::int64_t index, Totals& totals) {
    std::string stem;
    appendNumber(stem, index);
    std::string name;
    const double r = random.unit();
    if (r < 0.02) {
        const std::size_t which = random.below(kJunkEndings.size() + 1);
        if (which == kJunkEndings.size()) {
            if (!folder.hasThumbs) {
                folder.hasThumbs = true;
                name = kThumbsEnding;
            } else {
                name = stem + "-" + std::string(kThumbsEnding);
            }
        } else if (random.chance(0.2)) {
            name = "log" + stem + std::string(kJunkEndings[which]);  // no dot: the bytes decide
        } else {
            name = std::string(random.pick(kWords)) + stem + "." + std::string(kJunkEndings[which]);
        }
    } else if (r < 0.025) {
        name = stem + std::string(random.pick(kLookAlikes));
        ++totals.lookAlikes;
    } else if (r < 0.028) {
        const double form = random.unit();
        if (form < 0.2 && !folder.hasIndexDat) {
            folder.hasIndexDat = true;
            name = kIndexDatEnding;
        } else if (form < 0.6) {
            name = "cache" + stem + std::string(kIndexDatEnding);
        } else if (form < 0.8) {
            name = stem + "." + std::string(kIndexDatEnding);
        } else {
            name = stem + "index.dat.tmp";  // ends in "tmp", not in "index.dat": junk
        }
    } else {
        name = std::string(random.pick(kWords)) + "_" + stem + "." +
               std::string(random.pick(kExtensions));
    }
    // Modifiers touch only the front, so the ending chosen above stays the ending.
    if (random.chance(0.05)) {
        name.insert(0, "My File ");
        ++totals.spaces;
    }
    if (random.chance(0.01)) {
        name.insert(0, random.chance(0.5) ? "\xff\xfe" : "caf\xe9 ");
        ++totals.badUtf8;
    }
    if (random.chance(0.01)) {
        name.insert(0, ".");
        ++totals.dotFiles;
    }
    return name;
}

std::vector<FolderInfo> planFolders(Random& random, const Options& options, Totals& totals) {
    std::vector<FolderInfo> folders(1);
    folders.reserve(options.folders + 2);
    std::vector<int> fanOut(options.folders + 2, 0);
    std::vector<int> eligible{0};
    // A fixed number of dot-folders, none among the early hubs so each hidden subtree stays
    // small; the first one sits at the top level, as a home folder's ".cache" would.
    std::vector<bool> dotFolders(options.folders + 1, false);
    const std::int64_t late = options.folders - options.folders / 4;
    const std::int64_t wanted = std::min(late, std::max<std::int64_t>(3, options.folders / 1000));
    int firstDot = -1;
    for (std::int64_t chosen = 0; chosen < wanted;) {
        const auto at = options.folders / 4 + 1 + static_cast<std::int64_t>(random.below(late));
        if (!dotFolders[at]) {
            dotFolders[at] = true;
            ++chosen;
            firstDot = firstDot < 0 ? static_cast<int>(at) : std::min(firstDot, int(at));
        }
    }
    // Squaring the draw favours early folders: a few shallow hubs with hundreds of subfolders
    // and a long tail of small ones, most paths ending 4 to 6 levels down.
    for (int i = 1; i <= options.folders; ++i) {
        const double u = random.unit();
        const int parent =
            i == firstDot ? 0 : eligible[static_cast<std::size_t>(u * u * eligible.size())];
        FolderInfo info;
        info.parent = parent;
        info.depth = folders[parent].depth + 1;
        const bool dotFolder = dotFolders[i];
        info.dotFolder = dotFolder;
        info.hidden = dotFolder || folders[parent].hidden;
        info.path = folders[parent].path;
        if (!info.path.empty()) {
            info.path.push_back('/');
        }
        info.path += folderName(random, i, dotFolder);
        totals.dotFolders += dotFolder ? 1 : 0;
        totals.hiddenFolders += info.hidden ? 1 : 0;
        totals.maxDepth = std::max(totals.maxDepth, info.depth);
        ++fanOut[parent];
        if (info.depth < kMaxDepth) {
            eligible.push_back(i);
        }
        folders.push_back(std::move(info));
    }
    totals.topLevel = fanOut[0];
    for (const int n : fanOut) {
        totals.maxFanOut = std::max<std::int64_t>(totals.maxFanOut, n);
    }
    return folders;
}

// How many files each folder gets: log-normal weights give most folders a handful and a few
// thousands; one in twenty is left empty.
std::vector<std::int64_t> planFileCounts(Random& random, std::size_t folderCount,
                                         std::int64_t files) {
    std::vector<double> cumulative(folderCount);
    double total = 0;
    for (std::size_t i = 0; i < folderCount; ++i) {
        total += random.chance(0.05) ? 0.0 : std::exp(1.3 * random.normal());
        cumulative[i] = total;
    }
    std::vector<std::int64_t> counts(folderCount, 0);
    for (std::int64_t f = 0; f < files; ++f) {
        const double at = random.unit() * total;
        const auto it = std::upper_bound(cumulative.begin(), cumulative.end(), at);
        ++counts[std::min<std::size_t>(it - cumulative.begin(), folderCount - 1)];
    }
    return counts;
}

void createFile(int folderFd, const std::string& name, std::int64_t length) {
    const int fd = ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("create " + name);
    }
    // ftruncate writes no data blocks, so the file costs an inode and nothing else.
    if (length > 0 && ::ftruncate(fd, length) != 0) {
        fail("ftruncate " + name);
    }
    ::close(fd);
}

void account(Totals& totals, const FolderInfo& folder, const std::string& name,
             std::int64_t length) {
    ++totals.files;
    totals.hiddenFiles += folder.hidden ? 1 : 0;
    totals.emptyFiles += length == 0 ? 1 : 0;
    totals.indexDat += endsInIndexDat(name) ? 1 : 0;
    if (folder.hidden || length == 0) {
        return;
    }
    if (isJunkName(name, true)) {
        ++totals.driveJunk;
        totals.driveBytes += length;
    }
    if (isJunkName(name, false)) {
        ++totals.folderJunk;
        totals.folderBytes += length;
    }
}

// Links lead back up the tree or to junk files; a walk that follows any of them either loops
// or counts too much.
void createLinks(Random& random, int folderFd, std::int64_t index, Totals& totals) {
    std::string name = "link";
    appendNumber(name, index);
    const char* target = nullptr;
    switch (random.below(3)) {
        case 0:
            target = "..";
            break;
        case 1:
            target = ".";
            name += "-here";
            break;
        default:
            target = "elsewhere.tmp";
            name += ".tmp";
            break;
    }
    if (::symlinkat(target, folderFd, name.c_str()) != 0) {
        fail("symlink " + name);
    }
    ++totals.links;
}

void writeManifest(int rootFd, const Options& options, const Totals& totals) {
    const std::string marker(kMarkerFolder);
    if (::mkdirat(rootFd, marker.c_str(), 0755) != 0) {
        fail("mkdir " + marker);
    }
    const std::string path = marker + "/" + std::string(kManifestName);
    const int fd = ::openat(rootFd, path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    FILE* out = fd < 0 ? nullptr : ::fdopen(fd, "w");
    if (out == nullptr) {
        fail("create " + path);
    }
    std::fprintf(out,
                 "seed=%llu\nfiles=%lld\nfolders=%lld\ndrive_junk=%lld\ndrive_bytes=%lld\n"
                 "folder_junk=%lld\nfolder_bytes=%lld\n",
                 static_cast<unsigned long long>(options.seed),
                 static_cast<long long>(totals.files + totals.hiddenExtras),
                 static_cast<long long>(options.folders), static_cast<long long>(totals.driveJunk),
                 static_cast<long long>(totals.driveBytes),
                 static_cast<long long>(totals.folderJunk),
                 static_cast<long long>(totals.folderBytes));
    if (std::fclose(out) != 0) {
        fail("write " + path);
    }
}

// Refuses anything but a missing or empty folder, so the generator never mixes its files into
// a real one.
int openEmptyRoot(const std::string& root) {
    if (::mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) {
        fail("mkdir " + root);
    }
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        fail("open " + root);
    }
    const int probe = ::dup(fd);
    DIR* dir = probe < 0 ? nullptr : ::fdopendir(probe);
    if (dir == nullptr) {
        fail("list " + root);
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            std::fprintf(stderr, "sweepwise_make_tree: %s is not empty; give a new folder\n",
                         root.c_str());
            std::exit(1);
        }
    }
    ::closedir(dir);
    return fd;
}

bool parseCount(const char* text, std::int64_t& value, std::int64_t lowest) {
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value >= lowest;
}

void usage() {
    std::fprintf(stderr,
                 "usage: sweepwise_make_tree [--files N] [--folders N] [--seed S] FOLDER\n"
                 "  FOLDER must be missing or empty; defaults: 500000 files, 40000 folders, "
                 "seed 1\n");
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        std::int64_t value = 0;
        if (arg == "--files" && hasValue && parseCount(argv[++i], value, 0)) {
            options.files = value;
        } else if (arg == "--folders" && hasValue && parseCount(argv[++i], value, 0) &&
                   value < (1 << 30)) {
            options.folders = value;
        } else if (arg == "--seed" && hasValue && parseCount(argv[++i], value, 0)) {
            options.seed = static_cast<std::uint64_t>(value);
        } else if (!arg.starts_with("-") && options.root.empty()) {
            options.root = arg;
        } else {
            usage();
        }
    }
    if (options.root.empty()) {
        usage();
    }
    return options;
}

int run(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const int rootFd = openEmptyRoot(options.root);
    Random random(options.seed);
    Totals totals;
    std::vector<FolderInfo> folders = planFolders(random, options, totals);
    const std::vector<std::int64_t> counts = planFileCounts(random, folders.size(), options.files);

    for (std::size_t i = 1; i < folders.size(); ++i) {
        if (::mkdirat(rootFd, folders[i].path.c_str(), 0755) != 0) {
            fail("mkdir " + folders[i].path);
        }
    }
    std::int64_t index = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        FolderInfo& folder = folders[i];
        totals.emptyFolders += counts[i] == 0 ? 1 : 0;
        totals.mostFiles = std::max(totals.mostFiles, counts[i]);
        const int fd = i == 0 ? ::dup(rootFd)
                              : ::openat(rootFd, folder.path.c_str(),
                                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            fail("open " + folder.path);
        }
        // Every dot-folder gets a few junk files of its own: finding any of them is a bug.
        if (folder.dotFolder) {
            for (const char* junk : {"hidden.tmp", "Thumbs.db", "x.bak"}) {
                const std::string name = std::to_string(index++) + junk;
                createFile(fd, name, 1 + static_cast<std::int64_t>(random.below(kMaxLength)));
                ++totals.hiddenExtras;
            }
        }
        for (std::int64_t k = 0; k < counts[i]; ++k) {
            const std::string name = fileName(random, folder, index++, totals);
            const bool empty = random.chance(hasJunkEnding(name) ? 0.05 : 0.01);
            const auto length = empty ? 0 : 1 + static_cast<std::int64_t>(random.below(kMaxLength));
            createFile(fd, name, length);
            account(totals, folder, name, length);
            totals.junkNamed += hasJunkEnding(name) ? 1 : 0;
        }
        if (random.chance(0.003)) {
            createLinks(random, fd, index++, totals);
        }
        ::close(fd);
    }
    writeManifest(rootFd, options, totals);
    ::close(rootFd);

    const auto n = [](std::int64_t v) { return static_cast<long long>(v); };
    std::printf("tree: %s (seed %llu)\n", options.root.c_str(),
                static_cast<unsigned long long>(options.seed));
    std::printf(
        "folders: %lld below the root, %lld at the top level, deepest %d levels, "
        "largest fan-out %lld, %lld without files, at most %lld files in one\n",
        n(options.folders), n(totals.topLevel), totals.maxDepth, n(totals.maxFanOut),
        n(totals.emptyFolders), n(totals.mostFiles));
    std::printf("  dot-folders %lld (%lld folders hidden in all), plus the marker %s\n",
                n(totals.dotFolders), n(totals.hiddenFolders), std::string(kMarkerFolder).c_str());
    std::printf(
        "files: %lld (%lld of them below dot-folders), plus %lld junk files put in "
        "dot-folders, %lld symlinks\n",
        n(totals.files), n(totals.hiddenFiles), n(totals.hiddenExtras), n(totals.links));
    std::printf("  empty %lld, *index.dat %lld, with a junk ending %lld, look-alikes %lld\n",
                n(totals.emptyFiles), n(totals.indexDat), n(totals.junkNamed),
                n(totals.lookAlikes));
    std::printf("  dot-files %lld, names with spaces %lld, names not valid UTF-8 %lld\n",
                n(totals.dotFiles), n(totals.spaces), n(totals.badUtf8));
    std::printf(
        "expected junk: drive mode %lld files (%lld bytes), folder mode %lld files "
        "(%lld bytes)\n",
        n(totals.driveJunk), n(totals.driveBytes), n(totals.folderJunk), n(totals.folderBytes));
    return 0;
}

}  // namespace
}  // namespace sweepwise::bench

int main(int argc, char** argv) {
    return sweepwise::bench::run(argc, argv);
}
