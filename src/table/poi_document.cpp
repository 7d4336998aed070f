#include "table/poi_document.h"

#include "table/poi_history.h"

#include <algorithm>

namespace orvalis {

PoiDocument::PoiDocument(const QString &programCaption, QObject *parent) : QObject(parent), caption_(programCaption)
{
    connect(&history_, &QUndoStack::cleanChanged, this, [this](bool clean) {
        // Every change taken back: what was marked beside them goes too.
        if (clean)
            changedOutsideHistory_ = false;
        updateModified();
    });
}

void PoiDocument::updateModified()
{
    const bool modified = changedOutsideHistory_ || !history_.isClean();
    if (modified_ == modified)
        return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

void PoiDocument::setModified(bool modified)
{
    changedOutsideHistory_ = modified;
    if (!modified)
        history_.setClean();
    updateModified();
}

void PoiDocument::clearHistory()
{
    history_.clear();
    setModified(false);
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
    PoiTable::TakenRow poi;
    poi.id = table_.rowId(row);
    history_.push(new RowStep(*this, RowStep::Removal, poi, poiCount_, std::max(poiCount_, 1) - 1));
}

PoiTable::TakenRow PoiDocument::takeRow(PoiTable::RowId id, int poiCount)
{
    const int row = table_.rowOfId(id);
    if (row == 0) {
        PoiTable::TakenRow none;
        none.id = id;
        return none;
    }
    PoiTable::TakenRow taken;
    if (table_.lastRow() == 1) {
        taken = table_.takeRow(row);  // the only POI: a blank row stays
        emit rowsWereChanged(1, 1);
    } else {
        emit aboutToRemoveRow(row);
        taken = table_.takeRow(row);
        emit rowWasRemoved(row);
        // The N° column is positional: the numbers below shifted too.
        emit rowsWereChanged(row, table_.lastRow());
    }
    setPoiCount(poiCount);
    emit rowsMoved();
    return taken;
}

void PoiDocument::restoreRow(const PoiTable::TakenRow &taken, int poiCount)
{
    if (taken.row < 1)
        return;
    if (taken.onlyRow && table_.isEmptyForAdd()) {
        table_.restoreRow(taken);
        emit rowsWereChanged(1, 1);
    } else {
        const int row = std::min(taken.row, table_.lastRow() + 1);
        emit aboutToInsertRow(row);
        table_.restoreRow(taken);
        emit rowWasInserted(row);
        emit rowsWereChanged(row, table_.lastRow());
    }
    setPoiCount(poiCount);
    emit rowsMoved();
}

void PoiDocument::writeFields(PoiTable::RowId id, const std::vector<std::pair<int, QString>> &fields)
{
    const int row = table_.rowOfId(id);
    if (row == 0)
        return;
    for (const auto &[field, text] : fields)
        table_.setField(row, field, text);
    emit rowsWereChanged(row, row);
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
    history_.push(new FieldsStep(*this, table_.rowId(row), {{field, table_.field(row, field)}}, {{field, text}}));
    return true;
}

void PoiDocument::movePoi(int row, const QString &latitude, const QString &longitude)
{
    if (!table_.isValidRow(row)) {
        setModified(true);
        return;
    }
    history_.push(new FieldsStep(*this, table_.rowId(row),
                                 {{FieldLatitude, table_.field(row, FieldLatitude)}, {FieldLongitude, table_.field(row, FieldLongitude)}},
                                 {{FieldLatitude, latitude}, {FieldLongitude, longitude}}));
}

int PoiDocument::addPoi(const QString &latitude, const QString &longitude, const QString &description)
{
    int largest = 0;
    for (int row = 1; row <= table_.lastRow(); ++row)
        largest = std::max(largest, table_.number(row));
    PoiTable::TakenRow poi;
    poi.onlyRow = table_.isEmptyForAdd();
    poi.row = poi.onlyRow ? 1 : table_.lastRow() + 1;
    poi.id = table_.newId();
    poi.lastNumber = largest + 1;
    poi.fields[FieldLatitude - 1].set(latitude);
    poi.fields[FieldLongitude - 1].set(longitude);
    poi.fields[FieldDescription - 1].set(description);
    history_.push(new RowStep(*this, RowStep::Addition, poi, std::max(poiCount_, 0) + 1, poiCount_));
    setReady(true);
    return table_.rowOfId(poi.id);
}

void PoiDocument::setLastClicked(int col, int row)
{
    click_.lastCol = col;
    click_.lastRow = row;
}

void PoiDocument::setCurrentRow(int row)
{
    click_.currentRow = row;
}

void PoiDocument::setContextPoi(const QString &latitude, const QString &longitude, const QString &description)
{
    click_.contextLatitude = latitude;
    click_.contextLongitude = longitude;
    click_.contextDescription = description;
}

}  // namespace orvalis
