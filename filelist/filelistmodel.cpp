// SPDX-License-Identifier: MIT
#include "filelist/filelistmodel.h"

#include <algorithm>

FileListModel::FileListModel(QObject* parent) : QAbstractListModel(parent) {
    setObjectName(QStringLiteral("fileList"));
}

void FileListModel::appendEntry(const QString& text) {
    beginInsertRows({}, count(), count());
    m_entries.append(text);
    endInsertRows();
}

void FileListModel::insertEntries(int position, const QStringList& texts) {
    if (texts.isEmpty() || position < 1 || position > count() + 1)
        return;
    const int row = position - 1;
    beginInsertRows({}, row, row + int(texts.size()) - 1);
    m_entries.insert(row, texts.size(), QString());
    std::copy(texts.cbegin(), texts.cend(), m_entries.begin() + row);
    endInsertRows();
}

void FileListModel::removeEntry(const QModelIndex& entry) {
    if (!holds(entry))
        return;
    const int row = entry.row();
    beginRemoveRows({}, row, row);
    m_entries.removeAt(row);
    endRemoveRows();
}

void FileListModel::exchangeEntries(const QModelIndex& first, const QModelIndex& second) {
    if (!holds(first) || !holds(second) || first.row() == second.row())
        return;
    const int upper = std::min(first.row(), second.row());
    const int lower = std::max(first.row(), second.row());
    // The lower entry goes up to the upper place; the upper one, now a row
    // further down, goes to where the lower one was.
    moveRow(lower, upper);
    if (lower - upper > 1)
        moveRow(upper + 1, lower + 1);
}

void FileListModel::moveRow(int row, int destination) {
    beginMoveRows({}, row, row, {}, destination);
    m_entries.move(row, destination > row ? destination - 1 : destination);
    endMoveRows();
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        role != Qt::DisplayRole)
        return {};
    return m_entries.at(index.row());
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_columnTitle;
    return {};
}

void FileListModel::setColumnTitle(const QString& title) {
    m_columnTitle = title;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 0);
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
