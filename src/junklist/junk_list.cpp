#include "junklist/junk_list.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace sweepwise {

JunkList::JunkList() = default;
JunkList::~JunkList() = default;

const char* JunkList::store(std::string_view path) {
    char* at = nullptr;
    if (path.size() > kArenaBlock / 4) {
        // A long path gets a block of its own rather than wasting the rest of a shared one.
        m_arena.emplace_back(new char[path.size()]);
        at = m_arena.back().get();
    } else {
        if (m_arenaNext == nullptr || m_arenaLeft < path.size()) {
            m_arena.emplace_back(new char[kArenaBlock]);
            m_arenaNext = m_arena.back().get();
            m_arenaLeft = kArenaBlock;
        }
        at = m_arenaNext;
        m_arenaNext += path.size();
        m_arenaLeft -= path.size();
    }
    std::memcpy(at, path.data(), path.size());
    return at;
}

int JunkList::append(std::string_view path, std::size_t rootLength) {
    if (m_count == std::numeric_limits<int>::max() ||
        path.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("junk list full");
    }
    if (rootLength > path.size() || rootLength > 0x7FFFFFFF) {
        rootLength = 0;  // not a root of this path: no folder it may be deleted from
    }
    if (static_cast<std::size_t>(m_count) == m_rows.size() * kRowsPerChunk) {
        m_rows.emplace_back(new Row[kRowsPerChunk]);
    }
    const char* data = store(path);
    const int position = ++m_count;
    row(position) = Row{data, static_cast<std::uint32_t>(path.size()),
                        static_cast<std::uint32_t>(rootLength), false, kNoSize};
    if (m_observer != nullptr) {
        m_observer->junkRowsAppended(position);
    }
    return position;
}

void JunkList::clear() {
    m_rows.clear();
    m_arena.clear();
    m_arenaNext = nullptr;
    m_arenaLeft = 0;
    m_count = 0;
    m_selected = 0;
    if (m_observer != nullptr) {
        m_observer->junkListCleared();
    }
}

JunkList::Row& JunkList::row(int position) {
    if (!contains(position)) {
        throw std::out_of_range("no such junk row");
    }
    const int index = position - 1;
    return m_rows[index / kRowsPerChunk][index % kRowsPerChunk];
}

const JunkList::Row& JunkList::row(int position) const {
    return const_cast<JunkList*>(this)->row(position);
}

void JunkList::setSize(int position, std::int64_t size) {
    row(position).size = size;
    if (m_observer != nullptr) {
        m_observer->junkRowChanged(position);
    }
}

void JunkList::setChecked(int position, bool checked) {
    row(position).checked = checked;
    if (m_observer != nullptr) {
        m_observer->junkRowChanged(position);
    }
}

void JunkList::setSelected(int position) {
    row(position);
    m_selected = position;
    if (m_observer != nullptr) {
        m_observer->junkSelectionChanged(position);
    }
}

}  // namespace sweepwise
