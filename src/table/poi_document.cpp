#include "table/poi_document.h"

#include <algorithm>

namespace orvalis {

PoiDocument::PoiDocument(const QString &programCaption, QObject *parent) : QObject(parent), caption_(programCaption) {}

void PoiDocument::setModified(bool modified)
{
    if (modified_ == modified)
        return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

void PoiDocument::setCaption(const QString &caption)
{
    if (caption_ == caption)
        return;
    caption_ = caption;
    emit captionChanged(caption);
}

void PoiDocument::setImportFolder(const QString &folder)
{
    if (importFolder_ == folder)
        return;
    importFolder_ = folder;
    emit importFolderChanged(folder);
}

void PoiDocument::setPoiCount(int count)
{
    if (poiCount_ == count)
        return;
    poiCount_ = count;
    emit poiCountChanged(poiCountText());
}

void PoiDocument::setBaseNumber(int number)
{
    number = std::max(number, 1);
    if (baseNumber_ == number)
        return;
    baseNumber_ = number;
    emit baseNumberChanged(number);
}

void PoiDocument::setPinMode(PinMode mode)
{
    if (pinMode_ == mode)
        return;
    pinMode_ = mode;
    emit pinModeChanged(mode);
}

void PoiDocument::setReady(bool ready)
{
    if (ready_ == ready)
        return;
    ready_ = ready;
    emit readyChanged(ready);
}

void PoiDocument::resetTable(const std::function<void(PoiTable &)> &change)
{
    emit aboutToResetTable();
    change(table_);
    emit tableWasReset();
    emit rowsMoved();
}

void PoiDocument::rearrange(const std::function<void(PoiTable &)> &change)
{
    emit aboutToRearrange();
    change(table_);
    emit rearranged();
    emit rowsMoved();
}

void PoiDocument::removeRow(int row)
{
    if (!table_.isValidRow(row))
        return;
    if (table_.lastRow() == 1) {
        table_.deleteRow(row);  // the only POI: a blank row stays
        emit rowsWereChanged(1, 1);
    } else {
        emit aboutToRemoveRow(row);
        table_.deleteRow(row);
        emit rowWasRemoved(row);
        // The N° column is positional: the numbers below shifted too.
        emit rowsWereChanged(row, table_.lastRow());
    }
    setPoiCount(std::max(poiCount_, 1) - 1);
    setModified(true);
    emit rowsMoved();
}

int PoiDocument::appendRow()
{
    if (table_.isEmptyForAdd())
        return table_.lastRow();
    const int row = table_.lastRow() + 1;
    emit aboutToAppendRow(row);
    table_.setRowCount(table_.rowCount() + 1);
    emit rowWasAppended(row);
    return row;
}

void PoiDocument::rowsChanged(int first, int last)
{
    emit rowsWereChanged(first, last);
}

void PoiDocument::setEditMode(bool on)
{
    if (editMode_ == on)
        return;
    editMode_ = on;
    emit editModeChanged(on);
}

bool PoiDocument::setCell(int row, int field, const QString &text)
{
    if (!table_.isValidRow(row) || field <= FieldNumber || field >= kFieldCount || table_.field(row, field) == text)
        return false;
    table_.setField(row, field, text);
    emit rowsWereChanged(row, row);
    setModified(true);
    return true;
}

void PoiDocument::movePoi(int row, const QString &latitude, const QString &longitude)
{
    if (table_.isValidRow(row)) {
        table_.setField(row, FieldLatitude, latitude);
        table_.setField(row, FieldLongitude, longitude);
        emit rowsWereChanged(row, row);
    }
    setModified(true);
}

int PoiDocument::addPoi(const QString &latitude, const QString &longitude, const QString &description)
{
    int largest = 0;
    for (int row = 1; row <= table_.lastRow(); ++row)
        largest = std::max(largest, table_.number(row));
    const int row = appendRow();
    table_.setNumber(row, largest + 1);
    table_.setField(row, FieldLatitude, latitude);
    table_.setField(row, FieldLongitude, longitude);
    table_.setField(row, FieldDescription, description);
    emit rowsWereChanged(row, row);
    setReady(true);
    setModified(true);
    setPoiCount(std::max(poiCount_, 0) + 1);
    return row;
}

}  // namespace orvalis
