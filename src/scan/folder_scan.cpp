#include "scan/folder_scan.h"

#include <charconv>
#include <cstring>
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

    // The folder being collected, and its files that would have put their path on the status
    // line but were not examined yet (cursors into its listing, oldest first). Until the window
    // can show the line, the newest of them that passes the probe is all that matters.
    const platform::Folder* folder = nullptr;
    const platform::FolderListing* listing = nullptr;
    std::size_t folderLength = 0;
    std::vector<std::size_t> unshown;
};

void FolderScan::StartSearch(const std::string& root, const std::string& pattern) {
    if (m_state.SearchRunning) {
        m_state.SearchRunning = false;  // the paused search unwinds at its next check
        return;
    }
    try {
        m_state.SearchPattern = pattern;
        if (pattern.empty()) {
            return;
        }
        m_state.SearchRunning = true;
        Walk walk;
        walk.path = root;
        walk.rootLength = root.size();
        SearchFolder(walk, nullptr, nullptr);
    } catch (const std::exception&) {
        // A failure ends only this root's search; the rows it recorded stay.
    }
    m_state.SearchRunning = false;
}

bool FolderScan::pump(Walk& walk) {
    if (!m_ui.eventsDue()) {
        return false;
    }
    showStatus(walk);
    m_ui.pump();
    return true;
}

void FolderScan::showStatus(Walk& walk) {
    platform::FolderEntry entry;
    for (auto at = walk.unshown.rbegin(); at != walk.unshown.rend(); ++at) {
        std::size_t cursor = *at;
        walk.listing->next(cursor, entry);
        const auto length = walk.folder->fileLength(entry.name.data());
        if (length && *length != 0) {
            walk.text.assign(kScanningPath)
                .append(walk.path, 0, walk.folderLength)
                .append(entry.name);
            m_view.setStatusText(walk.text);
            break;
        }
    }
    walk.unshown.clear();
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
    if (walk.listings.size() <= walk.depth) {
        walk.listings.push_back(std::make_unique<platform::FolderListing>());
    }
    const platform::FolderListing& listing = *walk.listings[walk.depth];
    if (!walk.listings[walk.depth]->read(*folder)) {
        return;
    }
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

void FolderScan::CollectJunk(Walk& walk, const platform::Folder& folder,
                             const platform::FolderListing& listing) {
    const std::string pattern = m_state.SearchPattern;
    const bool everyName = platform::matchesEveryName(pattern);
    const std::size_t base = walk.path.size();
    walk.folder = &folder;
    walk.listing = &listing;
    walk.folderLength = base;
    walk.unshown.clear();

    platform::FolderEntry entry;
    for (std::size_t cursor = 0, next = 0; listing.next(next, entry); cursor = next) {
        if (!everyName && !platform::nameMatches(pattern, entry.name.data())) {
            continue;
        }
        const bool due = pump(walk);
        if (!m_state.SearchRunning || m_state.StopRequested) {
            break;
        }
        // Folders, links and devices have no length: the probe fails for them.
        if (!entry.isRegular) {
            continue;
        }
        const bool indexDat = endsInIndexDat(entry.name);
        if (indexDat || (m_state.DriveScanMode && !meetsJunkRule(entry.name))) {
            // Nothing is recorded: only the status line and the pump after a file that passes
            // the probe depend on it, and both matter only once the window can look.
            if (!indexDat) {
                walk.unshown.push_back(cursor);
            }
            if (due) {
                const auto length = folder.fileLength(entry.name.data());
                if (length && *length != 0) {
                    showStatus(walk);
                    pump(walk);
                } else if (!indexDat) {
                    walk.unshown.pop_back();
                }
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
            walk.text.assign(kScanningPath).append(walk.path);
            m_view.setStatusText(walk.text);
        } else {
            m_view.setStatusText(kQuickScan);
        }
        record(walk, *length);
        walk.path.resize(base);
        pump(walk);
    }
    showStatus(walk);
    walk.folder = nullptr;
    walk.listing = nullptr;
}
void FolderScan::record(Walk& walk, std::int64_t length) {
    const int position = m_junk.append(walk.path, walk.rootLength);
    m_junk.setSelected(position);
    m_junk.setSize(position, length);
    m_state.JunkBytes += length;

    walk.text.assign("已发现垃圾文件");
    appendNumber(walk.text, m_junk.count());
    walk.text.append(" 个，总计大小共");
    appendNumber(walk.text, m_state.JunkBytes);
    walk.text.append("Byte");
    m_view.setCountText(walk.text);
}

}  // namespace sweepwise
