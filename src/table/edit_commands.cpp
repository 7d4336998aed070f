// Edit mode, the converter's results and "Supprimer ce Poi".
#include "table/edit_commands.h"

#include "table/poi_table_tab.h"

#include "table/poi_grid.h"
#include "table/poi_table_model.h"

namespace orvalis {

EditCommands::EditCommands(PoiTableTab &tab) : tab_(tab) {}

void EditCommands::SG1SelectCell(int, int)
{
    if (tab_.doc_.editMode() && !tab_.doc_.movingEditedRow())
        LeaveEditMode();
}

void EditCommands::LeaveEditMode()
{
    tab_.setModified(true);
    tab_.SG1->setEditOptions(false);
    tab_.doc_.setEditMode(false);
    tab_.SG1->setFixedColor(Qt::yellow);
}

void EditCommands::OpenConverter(int col, int row)
{
    if (!tab_.doc_.editMode() || (col != FieldLatitude && col != FieldLongitude) || row < 1 || !tab_.table_.isValidRow(row) ||
        tab_.table_.field(1, FieldNumber).isEmpty())
        return;
    emit tab_.converterRequested(col, tab_.table_.field(row, FieldLatitude), tab_.table_.field(row, FieldLongitude));
}

void EditCommands::writeConverterResult(int column, const QString &text)
{
    // The row of the last click, which may have changed while the converter was open.
    const int row = tab_.doc_.clickState().lastRow;
    if (!tab_.doc_.table().isValidRow(row))
        return;
    tab_.doc_.setCell(row, column, text);
    tab_.doc_.setModified(true);  // a result equal to the cell still counts, as before
}

void EditCommands::ModifierletextedecePoi1Click()
{
    tab_.SG1->setEditOptions(true);
    tab_.doc_.setMovingEditedRow(true);
    tab_.SG1->selectCells(tab_.doc_.clickState().currentRow, 0, 1);
    tab_.doc_.setMovingEditedRow(false);
    tab_.SG1->setFixedColor(QColor(192, 192, 192));
    tab_.doc_.setEditMode(true);
}

void EditCommands::SupprimercePoi1Click()
{
    if (!tab_.table_.isValidRow(tab_.doc_.clickState().currentRow))
        return;
    // The selection shrinks when the row was in it, and follows its rows otherwise.
    tab_.doc_.removeRow(tab_.doc_.clickState().currentRow);
}

}  // namespace orvalis
