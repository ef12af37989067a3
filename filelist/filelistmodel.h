// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The batch: the one store of the entries that the list shows, the list rules
// edit, the adding commands fill and the run reads. An entry is nothing but
// its text, the full path of a source file; two entries may hold the same.
//
// Positions are 1-based and dense, as the user counts them; the model's rows
// are the same entries counted from 0. An entry's identity is its model
// index: whatever holds a QPersistentModelIndex to it follows it through every
// insertion, removal and exchange, and finds it invalid once it is removed.
class FileListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit FileListModel(QObject* parent = nullptr);

    // The column's title, as the window words it.
    void setColumnTitle(const QString& title);

    int count() const { return int(m_entries.size()); }
    // The text of the entry an index names; empty for an index of no entry.
    QString textAt(const QModelIndex& entry) const { return data(entry).toString(); }

    // Adds exactly one entry with the text at the end; checks nothing.
    void appendEntry(const QString& text);
    // Inserts the texts, in order, as one insertion, so that the first one
    // takes the position; later entries move down. Positions from 1 to
    // count() + 1 are taken, others ignored.
    void insertEntries(int position, const QStringList& texts);
    // Later entries move up by one; an index of no entry is ignored.
    void removeEntry(const QModelIndex& entry);
    // Exchanges two entries: each takes the other's place, as moves of rows,
    // so whatever holds either entry's index follows it.
    void exchangeEntries(const QModelIndex& first, const QModelIndex& second);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    bool holds(const QModelIndex& entry) const {
        return entry.isValid() && entry.model() == this && entry.row() < count();
    }
    // Moves the entry at the row to stand before the entry now at destination.
    void moveRow(int row, int destination);

    QStringList m_entries;
    QString m_columnTitle;
};
