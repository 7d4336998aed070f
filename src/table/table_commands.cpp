// The distance run and the grid's clicks of the first tab.
#include "table/table_commands.h"

#include "table/poi_table_tab.h"

#include "app/app_context.h"
#include "app/widgets_util.h"
#include "geo/decimal_entry.h"
#include "table/distance_run.h"
#include "table/edit_commands.h"
#include "table/poi_grid.h"
#include "table/poi_table_model.h"
#include "table/sort_by_field.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace orvalis {

namespace {
// Work on a million rows takes about a second.
constexpr int kLongTable = 1'000'000;
}  // namespace

TableCommands::TableCommands(PoiTableTab &tab) : tab_(tab) {}

void TableCommands::BitBtn4Click()
{
    BusyIndicator busy(&tab_, tab_.table_.lastRow() > kLongTable);
    const int base = tab_.baseRow();
    tab_.doc_.rearrange([&](PoiTable &table) {
        ComputeDistances(table, base, tab_.ctx_.env.separator);
        tab_.Label11->setText(table.field(base, FieldDescription));
        ProcessPendingMessages();
        SortByField(table, FieldKey, tab_.collator_);
    });
    tab_.setEdit6(QStringLiteral("1"));
    tab_.SG1->scrollRowToTop(1);
    tab_.SG1->selectRows(1, 1);
}

void TableCommands::SG1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, int col, int row, QPoint globalPos)
{
    tab_.doc_.clickState().lastCol = col;
    tab_.doc_.clickState().lastRow = row;
    if (row == 0) {
        BusyIndicator busy(&tab_, tab_.table_.lastRow() > kLongTable);
        tab_.setBusy(true);
        ProcessPendingMessages();
        if (tab_.doc_.editMode())
            tab_.edits().LeaveEditMode();
        // The selection keeps its row numbers; the base panel names the POI now at its number.
        if (col >= 1 && col < kFieldCount)
            tab_.doc_.rearrange([&](PoiTable &table) { SortByField(table, col, tab_.collator_); });
        if (const int base = FindBaseRow(tab_.table_))
            tab_.setEdit6(tab_.table_.field(base, FieldNumber));
        tab_.setBusy(false);
        ProcessPendingMessages();
        return;
    }
    if (row < 1 || !tab_.table_.isValidRow(row))
        return;
    if (button == Qt::LeftButton) {
        tab_.LeaveMapMode();
        tab_.setEdit6(tab_.table_.field(row, FieldNumber));
        tab_.doc_.clickState().currentRow = row;
        emit tab_.coordinatesClicked(tab_.table_.field(row, FieldLatitude), tab_.table_.field(row, FieldLongitude));
        return;
    }
    if (button == Qt::RightButton && col >= 1) {
        const bool empty = tab_.table_.isEmptyForMenu();
        for (QAction *a : {tab_.VisualisercePoisurlacarte1, tab_.VisualiserlesPoiselectionnssurlacarte1, tab_.TraceruncercleunedistancedunPoi1,
                           tab_.DplacercePoisurlacarte1, tab_.ModifierletextedecePoi1, tab_.SupprimercePoi1})
            a->setEnabled(!empty);
        tab_.AjouterdesPoi1->setEnabled(true);
        tab_.doc_.clickState().contextLatitude = tab_.table_.field(row, FieldLatitude);
        tab_.doc_.clickState().contextLongitude = tab_.table_.field(row, FieldLongitude);
        tab_.doc_.clickState().contextDescription = tab_.table_.field(row, FieldDescription);
        tab_.doc_.clickState().currentRow = row;
        if (!tab_.doc_.editMode()) {
            tab_.PopupMenu1->popup(globalPos);
            return;
        }
        // In edit mode the clicked row becomes the edited row without leaving edit mode.
        tab_.doc_.setMovingEditedRow(true);
        tab_.SG1->setCurrentIndex(tab_.model_->index(row - 1, col));
        tab_.doc_.setMovingEditedRow(false);
        tab_.edits().OpenConverter(col, row);
    }
}

}  // namespace orvalis
