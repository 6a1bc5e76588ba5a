#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include "junklist/junk_list.h"

namespace sweepwise {

// The junk list as a table for the list view. It holds no copy of the rows: it reads the store.
// Appended rows and changed ticks reach the view in batches, at publish(), so that a scan adding
// rows by the thousand pays for one notification per batch rather than one per row.
class JunkListModel : public QAbstractTableModel, private JunkListObserver {
    Q_OBJECT

public:
    explicit JunkListModel(JunkList& junk, QObject* parent = nullptr);
    ~JunkListModel() override;

    void addColumn(const QString& head);

    // Tells the view of everything that changed since the last call.
    void publish();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    // Something changed that publish() will show; emitted once until the next publish().
    void changesPending();

private:
    void junkRowsAppended(int count) override;
    void junkRowChanged(int position) override;
    void junkSelectionChanged(int position) override;
    void junkListCleared() override;
    void markPending();

    JunkList& m_junk;
    QStringList m_heads;
    int m_shown = 0;  // the rows the view knows of
    int m_changedFirst = 0;
    int m_changedLast = 0;
    bool m_pending = false;
};

}  // namespace sweepwise
