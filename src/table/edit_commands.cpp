// Edit mode, the converter's results and "Supprimer ce Poi".
#include "table/edit_commands.h"

#include "table/poi_table_tab.h"

#include "table/poi_grid.h"
#include "table/poi_table_model.h"

namespace orvalis {

EditCommands::EditCommands(PoiTableTab &tab) : tab_(tab) {}

void EditCommands::SG1SelectCell(int, int)
{
    if (tab_.editMode_ && !tab_.movingEditedRow_)
        LeaveEditMode();
}

void EditCommands::LeaveEditMode()
{
    tab_.setModified(true);
    tab_.SG1->setEditOptions(false);
    tab_.editMode_ = false;
    tab_.SG1->setFixedColor(Qt::yellow);
}

void EditCommands::OpenConverter(int col, int row)
{
    if (!tab_.editMode_ || (col != FieldLatitude && col != FieldLongitude) || row < 1 || !tab_.table_.isValidRow(row) ||
        tab_.table_.field(1, FieldNumber).isEmpty())
        return;
    emit tab_.converterRequested(col, tab_.table_.field(row, FieldLatitude), tab_.table_.field(row, FieldLongitude));
}

void EditCommands::writeConverterResult(int column, const QString &text)
{
    // The row of the last click, which may have changed while the converter was open.
    const int row = tab_.click_.lastRow;
    if (!tab_.table_.isValidRow(row))
        return;
    tab_.table_.setField(row, column, text);
    tab_.model_->rowsChanged(row, row);
    tab_.setModified(true);
}

void EditCommands::ModifierletextedecePoi1Click()
{
    tab_.SG1->setEditOptions(true);
    tab_.movingEditedRow_ = true;
    tab_.SG1->selectCells(tab_.click_.currentRow, 0, 1);
    tab_.movingEditedRow_ = false;
    tab_.SG1->setFixedColor(QColor(192, 192, 192));
    tab_.editMode_ = true;
}

void EditCommands::SupprimercePoi1Click()
{
    if (!tab_.table_.isValidRow(tab_.click_.currentRow))
        return;
    // The selection shrinks when the row was in it, and follows its rows otherwise.
    tab_.doc_.removeRow(tab_.click_.currentRow);
}

}  // namespace orvalis
