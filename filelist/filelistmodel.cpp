// SPDX-License-Identifier: MIT
#include "filelist/filelistmodel.h"

FileListModel::FileListModel(QObject* parent) : QAbstractListModel(parent) {
    setObjectName(QStringLiteral("fileList"));
}

QString FileListModel::textAt(int position) const {
    return holds(position) ? m_entries.at(position - 1) : QString();
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

void FileListModel::removeEntry(int position) {
    if (!holds(position))
        return;
    beginRemoveRows({}, position - 1, position - 1);
    m_entries.removeAt(position - 1);
    endRemoveRows();
}

void FileListModel::exchangeEntries(int first, int second) {
    if (!holds(first) || !holds(second) || first == second)
        return;
    m_entries.swapItemsAt(first - 1, second - 1);
    const QModelIndex a = index(first - 1);
    const QModelIndex b = index(second - 1);
    Q_EMIT dataChanged(a, a, {Qt::DisplayRole});
    Q_EMIT dataChanged(b, b, {Qt::DisplayRole});
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
        return columnTitle();
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
