#include "junklist/junk_list_model.h"

namespace sweepwise {

JunkListModel::JunkListModel(JunkList& junk, QObject* parent)
    : QAbstractTableModel(parent), m_junk(junk) {
    m_junk.setObserver(this);
}

JunkListModel::~JunkListModel() {
    m_junk.setObserver(nullptr);
}

void JunkListModel::addColumn(const QString& head) {
    beginInsertColumns({}, int(m_heads.size()), int(m_heads.size()));
    m_heads.append(head);
    endInsertColumns();
}

void JunkListModel::publish() {
    m_pending = false;
    if (m_junk.count() > m_shown) {
        beginInsertRows({}, m_shown, m_junk.count() - 1);
        m_shown = m_junk.count();
        endInsertRows();
    }
    if (m_changedFirst > 0 && !m_heads.isEmpty()) {
        const int last = std::min(m_changedLast, m_shown);
        if (m_changedFirst <= last) {
            Q_EMIT dataChanged(index(m_changedFirst - 1, 0),
                               index(last - 1, int(m_heads.size()) - 1));
        }
    }
    m_changedFirst = m_changedLast = 0;
}

void JunkListModel::markPending() {
    if (!m_pending) {
        m_pending = true;
        Q_EMIT changesPending();
    }
}

int JunkListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shown;
}

int JunkListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_heads.size());
}

QVariant JunkListModel::data(const QModelIndex& index, int role) const {
    const int position = index.row() + 1;
    if (!index.isValid() || !m_junk.contains(position)) {
        return {};
    }
    if (index.column() == 0) {
        if (role == Qt::DisplayRole) {
            const std::string_view path = m_junk.path(position);
            // Decoded for display only: the row keeps the bytes on disk.
            return QString::fromUtf8(path.data(), qsizetype(path.size()));
        }
        if (role == Qt::CheckStateRole) {
            return m_junk.checked(position) ? Qt::Checked : Qt::Unchecked;
        }
    } else if (index.column() == 1 && role == Qt::DisplayRole) {
        const std::int64_t size = m_junk.size(position);
        return size == JunkList::kNoSize ? QString() : QString::number(size);
    }
    return {};
}

bool JunkListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int position = index.row() + 1;
    if (role != Qt::CheckStateRole || index.column() != 0 || !m_junk.contains(position)) {
        return false;
    }
    m_junk.setChecked(position, value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags JunkListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

QVariant JunkListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_heads.size()) {
        return m_heads[section];
    }
    return {};
}

void JunkListModel::junkRowsAppended(int) {
    markPending();
}

void JunkListModel::junkRowChanged(int position) {
    if (position > m_shown) {
        return;  // the view reads it when the row is published
    }
    m_changedFirst = m_changedFirst == 0 ? position : std::min(m_changedFirst, position);
    m_changedLast = std::max(m_changedLast, position);
    markPending();
}

void JunkListModel::junkSelectionChanged(int) {
    markPending();
}

void JunkListModel::junkListCleared() {
    // At once: the rows the view knows of are gone from the store already.
    beginResetModel();
    m_shown = 0;
    m_changedFirst = m_changedLast = 0;
    endResetModel();
}

}  // namespace sweepwise
