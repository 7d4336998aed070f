// Edit mode, the converter's results and "Supprimer ce Poi".
#include "table/poi_table_tab.h"

#include "table/poi_grid.h"
#include "table/poi_table_model.h"

namespace orvalis {

void PoiTableTab::SG1SelectCell(int, int)
{
    if (editMode_ && !movingEditedRow_)
        LeaveEditMode();
}

void PoiTableTab::LeaveEditMode()
{
    setModified(true);
    SG1->setEditOptions(false);
    editMode_ = false;
    SG1->setFixedColor(Qt::yellow);
}

void PoiTableTab::OpenConverter(int col, int row)
{
    if (!editMode_ || (col != FieldLatitude && col != FieldLongitude) || row < 1 || !table_.isValidRow(row) ||
        table_.field(1, FieldNumber).isEmpty())
        return;
    emit converterRequested(col, table_.field(row, FieldLatitude), table_.field(row, FieldLongitude));
}

void PoiTableTab::writeConverterResult(int column, const QString &text)
{
    // The row of the last click, which may have changed while the converter was open.
    const int row = click_.lastRow;
    if (!table_.isValidRow(row))
        return;
    table_.setField(row, column, text);
    model_->rowsChanged(row, row);
    setModified(true);
}

void PoiTableTab::ModifierletextedecePoi1Click()
{
    SG1->setEditOptions(true);
    movingEditedRow_ = true;
    SG1->selectCells(click_.currentRow, 0, 1);
    movingEditedRow_ = false;
    SG1->setFixedColor(QColor(192, 192, 192));
    editMode_ = true;
}

void PoiTableTab::SupprimercePoi1Click()
{
    if (!table_.isValidRow(click_.currentRow))
        return;
    // The selection shrinks when the row was in it, and follows its rows otherwise.
    doc_.removeRow(click_.currentRow);
}

}  // namespace orvalis
