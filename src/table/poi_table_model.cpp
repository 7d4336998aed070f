#include "table/poi_table_model.h"

#include <QBrush>

namespace orvalis {

namespace {
const QColor kBusyGrey(128, 128, 128);
}

PoiTableModel::PoiTableModel(PoiDocument &document, QObject *parent)
    : QAbstractTableModel(parent), document_(document), table_(document.table())
{
    connect(&document, &PoiDocument::aboutToResetTable, this, [this] { beginResetModel(); });
    connect(&document, &PoiDocument::tableWasReset, this, [this] { endResetModel(); });
    // Rows rearranged in place: persistent indexes, and so the selection, keep their row numbers.
    connect(&document, &PoiDocument::aboutToRearrange, this, [this] { emit layoutAboutToBeChanged(); });
    connect(&document, &PoiDocument::rearranged, this, [this] { emit layoutChanged(); });
    connect(&document, &PoiDocument::aboutToRemoveRow, this, [this](int row) { beginRemoveRows({}, row - 1, row - 1); });
    connect(&document, &PoiDocument::rowWasRemoved, this, [this] { endRemoveRows(); });
    connect(&document, &PoiDocument::aboutToInsertRow, this, [this](int row) { beginInsertRows({}, row - 1, row - 1); });
    connect(&document, &PoiDocument::rowWasInserted, this, [this] { endInsertRows(); });
    connect(&document, &PoiDocument::rowsWereChanged, this, &PoiTableModel::rowsChanged);
}

QStringList PoiTableModel::titles()
{
    return QStringLiteral("N°,Latitude,Longitude,Description,Distance,cachee,Cap").split(u',');
}

int PoiTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : table_.lastRow();
}

int PoiTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kFieldCount;
}

QVariant PoiTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return table_.field(row, index.column());
    case Qt::BackgroundRole:
        if (index.column() == FieldNumber)
            return QBrush(fixed_);
        if (busy_)
            return QBrush(kBusyGrey);
        return {};
    default:
        return {};
    }
}

bool PoiTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.column() == FieldNumber)
        return false;
    // Through the document, which keeps the change in its history; the same text changes nothing.
    document_.setCell(index.row() + 1, index.column(), value.toString());
    return true;
}

QVariant PoiTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kFieldCount)
        return titles().at(section);
    if (orientation == Qt::Horizontal && role == Qt::BackgroundRole)
        return QBrush(fixed_);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags PoiTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() == FieldNumber)
        return Qt::ItemIsEnabled;  // fixed column: never selected, never edited
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable_)
        f |= Qt::ItemIsEditable;
    return f;
}

void PoiTableModel::rowsChanged(int firstRow, int lastRow)
{
    if (table_.lastRow() < 1)
        return;
    firstRow = std::max(firstRow, 1);
    lastRow = std::min(lastRow, table_.lastRow());
    if (firstRow > lastRow)
        return;
    emit dataChanged(index(firstRow - 1, 0), index(lastRow - 1, kFieldCount - 1));
}

void PoiTableModel::setFixedColor(const QColor &color)
{
    fixed_ = color;
    emit headerDataChanged(Qt::Horizontal, 0, kFieldCount - 1);
    rowsChanged(1, table_.lastRow());
}

void PoiTableModel::setBusy(bool busy)
{
    busy_ = busy;
    rowsChanged(1, table_.lastRow());
}

}  // namespace orvalis
