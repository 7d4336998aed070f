// Edit mode, the converter's results and "Supprimer ce Poi".
#include "table/edit_commands.h"

#include "table/poi_table_tab.h"

#include "table/poi_grid.h"
#include "table/poi_table_model.h"

namespace orvalis {

EditCommands::EditCommands(PoiTableTab &tab) : tab_(tab) {}

void EditCommands::SG1SelectCell(int, int)
{
    if (tab_.document().editMode() && !tab_.document().movingEditedRow())
        LeaveEditMode();
}

void EditCommands::LeaveEditMode()
{
    tab_.setModified(true);
    tab_.document().setEditMode(false);  // the grid follows: whole rows again
}

void EditCommands::OpenConverter(int col, int row)
{
    if (!tab_.document().editMode() || (col != FieldLatitude && col != FieldLongitude) || row < 1 || !tab_.table().isValidRow(row) ||
        tab_.table().field(1, FieldNumber).isEmpty())
        return;
    emit tab_.converterRequested(col, tab_.table().field(row, FieldLatitude), tab_.table().field(row, FieldLongitude));
}

void EditCommands::writeConverterResult(int column, const QString &text)
{
    // The row of the last click, which may have changed while the converter was open.
    const int row = tab_.document().clickState().lastRow;
    if (!tab_.document().table().isValidRow(row))
        return;
    if (!tab_.document().setCell(row, column, text))
        tab_.document().setModified(true);  // a result equal to the cell still counts, as before
}

void EditCommands::ModifierletextedecePoi1Click()
{
    // The grid follows edit mode (editable cells, grey fixed column) before the row is selected.
    tab_.document().setMovingEditedRow(true);
    tab_.document().setEditMode(true);
    tab_.grid()->selectCells(tab_.document().clickState().currentRow, 0, 1);
    tab_.document().setMovingEditedRow(false);
}

void EditCommands::SupprimercePoi1Click()
{
    if (!tab_.table().isValidRow(tab_.document().clickState().currentRow))
        return;
    // The selection shrinks when the row was in it, and follows its rows otherwise.
    tab_.document().removeRow(tab_.document().clickState().currentRow);
}

}  // namespace orvalis
