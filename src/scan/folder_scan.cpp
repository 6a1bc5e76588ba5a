#include "scan/folder_scan.h"

#include <charconv>
#include <exception>
#include <memory>
#include <vector>

#include "platform/folder.h"
#include "scan/junk_rules.h"

namespace sweepwise {

namespace {

constexpr std::string_view kScanningPath = "正在扫描路径：  ";
constexpr std::string_view kQuickScan = "正在执行快速扫描...";

void appendNumber(std::string& text, std::int64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text.append(digits, end);
}

}  // namespace

bool FileExists(const std::string& path) {
    const auto length = platform::fileLength(path);
    return length && *length != 0;
}

// One root's walk. Each search has its own, because a search nested in a pump call must not
// disturb the buffers of the search it interrupted.
struct FolderScan::Walk {
    std::size_t rootLength = 0;
    std::string path;  // the folder being visited, or the entry being examined
    std::string text;
    // One listing per depth: a folder's listing serves its files and then its subfolders, while
    // the folders below it are listed into the next ones.
    std::vector<std::unique_ptr<platform::FolderListing>> listings;
    std::size_t depth = 0;

    // The labels change at every file, but only what they hold when events run can be seen:
    // the texts are handed to the view just before, and when the walk ends.
    std::string status;
    bool statusOwed = false;
    bool countOwed = false;
    // Files that would have put their path on the status line after `status` but were not
    // examined yet: their paths below the root, each ended by a NUL, oldest first. The newest
    // of them that passes the probe is all that matters.
    const platform::Folder* root = nullptr;
    std::string unshown;
};

namespace {

// Beyond this many bytes of unshown paths the walk works out the status line anyway.
constexpr std::size_t kUnshownBytes = 64 * 1024;
// Longer paths below the root may not reach the file system whole: such a file is examined
// at once, from its own folder.
constexpr std::size_t kLongestUnshownPath = 1024;

}  // namespace

void FolderScan::StartSearch(const std::string& root, const std::string& pattern) {
    if (m_state.SearchRunning) {
        m_state.SearchRunning = false;  // the paused search unwinds at its next check
        return;
    }
    Walk walk;
    try {
        m_state.SearchPattern = pattern;
        if (pattern.empty()) {
            return;
        }
        m_state.SearchRunning = true;
        walk.path = root;
        walk.rootLength = root.size();
        SearchFolder(walk, nullptr, nullptr);
    } catch (const std::exception&) {
        // A failure ends only this root's search; the rows it recorded stay, and so do the
        // labels' texts, but for the files it had not examined yet.
        try {
            walk.unshown.clear();
            showTexts(walk);
        } catch (const std::exception&) {
        }
    }
    m_state.SearchRunning = false;
}

bool FolderScan::pump(Walk& walk) {
    if (!m_ui.eventsDue()) {
        return false;
    }
    showTexts(walk);
    m_ui.pump();
    return true;
}

void FolderScan::settleStatus(Walk& walk) {
    std::string_view paths = walk.unshown;
    while (!paths.empty()) {
        paths.remove_suffix(1);                           // its NUL
        const std::size_t start = paths.rfind('\0') + 1;  // 0 when it is the oldest
        const auto length = walk.root->fileLength(paths.data() + start);
        if (length && *length != 0) {
            walk.status.assign(kScanningPath)
                .append(walk.path, 0, walk.rootLength)
                .append(paths.substr(start));
            walk.statusOwed = true;
            break;
        }
        paths.remove_suffix(paths.size() - start);
    }
    walk.unshown.clear();
}

void FolderScan::showTexts(Walk& walk) {
    settleStatus(walk);
    if (walk.statusOwed) {
        walk.statusOwed = false;
        m_view.setStatusText(walk.status);
    }
    if (walk.countOwed) {
        walk.countOwed = false;
        walk.text.assign("已发现垃圾文件");
        appendNumber(walk.text, m_junk.count());
        walk.text.append(" 个，总计大小共");
        appendNumber(walk.text, m_state.JunkBytes);
        walk.text.append("Byte");
        m_view.setCountText(walk.text);
    }
}

void FolderScan::SearchFolder(Walk& walk, const platform::Folder* parent, const char* name) {
    pump(walk);
    if (!m_state.SearchRunning) {
        return;
    }
    auto folder =
        parent != nullptr ? parent->openSubfolder(name) : platform::Folder::openRoot(walk.path);
    if (!folder) {
        return;
    }
    if (parent == nullptr) {
        walk.root = &*folder;
    }
    if (walk.listings.size() <= walk.depth) {
        walk.listings.push_back(std::make_unique<platform::FolderListing>());
    }
    platform::FolderListing& listing = *walk.listings[walk.depth];
    if (listing.read(*folder)) {
        CollectJunk(walk, *folder, listing);

        // The subfolders, in listing order; their names stay in this depth's listing meanwhile.
        ++walk.depth;
        const std::size_t base = walk.path.size();
        platform::FolderEntry entry;
        for (std::size_t cursor = 0; listing.next(cursor, entry);) {
            if (entry.isDirectory && !entry.name.starts_with('.')) {
                walk.path.append(entry.name).push_back('/');
                SearchFolder(walk, &*folder, entry.name.data());
                walk.path.resize(base);
            }
        }
        --walk.depth;
    }
    if (parent == nullptr) {
        showTexts(walk);  // while the root, which the unshown paths start from, is open
        walk.root = nullptr;
    }
}

void FolderScan::CollectJunk(Walk& walk, const platform::Folder& folder,
                             const platform::FolderListing& listing) {
    const std::string pattern = m_state.SearchPattern;
    const bool everyName = platform::matchesEveryName(pattern);
    const std::size_t base = walk.path.size();

    platform::FolderEntry entry;
    for (std::size_t cursor = 0; listing.next(cursor, entry);) {
        if (!everyName && !platform::nameMatches(pattern, entry.name.data())) {
            continue;
        }
        const bool due = pump(walk);
        if (!m_state.SearchRunning || m_state.StopRequested) {
            return;
        }
        // Folders, links and devices have no length: the probe fails for them.
        if (!entry.isRegular) {
            continue;
        }
        const bool indexDat = endsInIndexDat(entry.name);
        if (indexDat || (m_state.DriveScanMode && !meetsJunkRule(entry.name))) {
            // Nothing is recorded: only the status line and the pump after a file that passes
            // the probe depend on it, and both matter only once the window can look.
            const bool shows = !indexDat;
            const bool deep = base - walk.rootLength + entry.name.size() > kLongestUnshownPath;
            if (!due && !(shows && deep)) {
                if (shows) {
                    walk.unshown.append(walk.path, walk.rootLength, base - walk.rootLength)
                        .append(entry.name)
                        .push_back('\0');
                    if (walk.unshown.size() > kUnshownBytes) {
                        settleStatus(walk);
                    }
                }
                continue;
            }
            const auto length = folder.fileLength(entry.name.data());
            if (!length || *length == 0) {
                continue;
            }
            if (shows) {
                walk.unshown.clear();
                walk.status.assign(kScanningPath).append(walk.path, 0, base).append(entry.name);
                walk.statusOwed = true;
            }
            if (due) {
                pump(walk);
            }
            continue;
        }
        // The probe: the length read here is the one recorded, so a file that vanishes
        // afterwards cannot end the walk.
        const auto length = folder.fileLength(entry.name.data());
        if (!length || *length == 0) {
            continue;
        }
        walk.unshown.clear();
        walk.path.resize(base);
        walk.path.append(entry.name);
        if (m_state.DriveScanMode) {
            walk.status.assign(kScanningPath).append(walk.path);
        } else {
            walk.status.assign(kQuickScan);
        }
        walk.statusOwed = true;
        record(walk, *length);
        walk.path.resize(base);
        // Right after the pump at the start of this entry: only worth asking if that one ran.
        if (due) {
            pump(walk);
        }
    }
}

void FolderScan::record(Walk& walk, std::int64_t length) {
    const int position = m_junk.append(walk.path, walk.rootLength);
    m_junk.setSelected(position);
    m_junk.setSize(position, length);
    m_state.JunkBytes += length;
    walk.countOwed = true;
}

}  // namespace sweepwise
