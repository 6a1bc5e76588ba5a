#include "scan/folder_scan.h"

#include <charconv>
#include <cstring>
#include <exception>

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
    platform::FolderReader reader;
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

void FolderScan::SearchFolder(Walk& walk, const platform::Folder* parent, const char* name) {
    m_ui.pump();
    if (!m_state.SearchRunning) {
        return;
    }
    auto folder =
        parent != nullptr ? parent->openSubfolder(name) : platform::Folder::openRoot(walk.path);
    if (!folder) {
        return;
    }
    // Subfolder names, each ended by a NUL: one allocation however many there are.
    std::string subfolders;
    if (walk.reader.start(*folder)) {
        platform::FolderEntry entry;
        while (walk.reader.next(entry)) {
            if (entry.isDirectory && !entry.name.starts_with('.')) {
                subfolders.append(entry.name).push_back('\0');
            }
        }
    }
    CollectJunk(walk, *folder);

    const std::size_t base = walk.path.size();
    for (std::size_t at = 0; at < subfolders.size();) {
        const char* subfolder = subfolders.c_str() + at;
        const std::size_t length = std::strlen(subfolder);
        walk.path.append(subfolder, length).push_back('/');
        SearchFolder(walk, &*folder, subfolder);
        walk.path.resize(base);
        at += length + 1;
    }
}

void FolderScan::CollectJunk(Walk& walk, const platform::Folder& folder) {
    if (!walk.reader.start(folder, m_state.SearchPattern)) {
        return;
    }
    const std::size_t base = walk.path.size();
    struct RestorePath {
        std::string& path;
        std::size_t size;
        ~RestorePath() { path.resize(size); }
    } restore{walk.path, base};

    platform::FolderEntry entry;
    while (walk.reader.next(entry)) {
        m_ui.pump();
        if (!m_state.SearchRunning) {
            return;
        }
        walk.path.resize(base);
        walk.path.append(entry.name);
        if (m_state.StopRequested) {
            return;
        }
        // The probe: folders and links have no length. The length read here is the one
        // recorded, so a file that vanishes afterwards cannot end the walk.
        const auto length = entry.isDirectory ? std::nullopt : folder.fileLength(entry.name.data());
        if (!length || *length == 0) {
            continue;
        }
        if (!endsInIndexDat(walk.path)) {
            if (m_state.DriveScanMode) {
                walk.text.assign(kScanningPath).append(walk.path);
                m_view.setStatusText(walk.text);
                if (meetsJunkRule(walk.path)) {
                    record(walk, *length);
                }
            } else {
                m_view.setStatusText(kQuickScan);
                record(walk, *length);
            }
        }
        m_ui.pump();
    }
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
