#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace sweepwise {

// Told of every change to the junk list, so that a view can show the rows without copying them.
class JunkListObserver {
public:
    virtual ~JunkListObserver() = default;
    virtual void junkRowsAppended(int count) = 0;   // rows up to position count now exist
    virtual void junkRowChanged(int position) = 0;  // its size or its tick changed
    virtual void junkSelectionChanged(int position) = 0;
    virtual void junkListCleared() = 0;
};

// The rows of found junk files: a path (the bytes on disk), a size and a tick, addressed by
// 1-based position in the order they were added. Paths live in one arena and sizes as numbers,
// so a million rows cost little more than their path bytes.
class JunkList {
public:
    static constexpr std::int64_t kNoSize = -1;

    JunkList();
    ~JunkList();
    JunkList(const JunkList&) = delete;
    JunkList& operator=(const JunkList&) = delete;

    void setObserver(JunkListObserver* observer) { m_observer = observer; }

    int count() const { return m_count; }
    // Appends an unticked row without a size and gives its position. The path's first
    // rootLength bytes name the root it was found under, the only folder it may be deleted from;
    // 0 when no root is known.
    int append(std::string_view path, std::size_t rootLength = 0);
    void clear();

    // A row's path stays valid until the list is cleared.
    std::string_view path(int position) const { return row(position).path(); }
    std::size_t rootLength(int position) const { return row(position).rootLength; }
    std::int64_t size(int position) const { return row(position).size; }
    bool checked(int position) const { return row(position).checked; }
    void setSize(int position, std::int64_t size);
    void setChecked(int position, bool checked);

    // The highlighted row, 0 when there is none.
    int selected() const { return m_selected; }
    void setSelected(int position);

    bool contains(int position) const { return position >= 1 && position <= m_count; }

private:
    struct Row {
        const char* data;
        std::uint32_t length;
        std::uint32_t rootLength : 31;
        std::uint32_t checked : 1;
        std::int64_t size;
        std::string_view path() const { return {data, length}; }
    };
    static constexpr int kRowsPerChunk = 4096;
    static constexpr std::size_t kArenaBlock = 1 << 20;

    Row& row(int position);
    const Row& row(int position) const;
    const char* store(std::string_view path);

    std::vector<std::unique_ptr<Row[]>> m_rows;
    std::vector<std::unique_ptr<char[]>> m_arena;
    char* m_arenaNext = nullptr;
    std::size_t m_arenaLeft = 0;
    int m_count = 0;
    int m_selected = 0;
    JunkListObserver* m_observer = nullptr;
};

}  // namespace sweepwise
