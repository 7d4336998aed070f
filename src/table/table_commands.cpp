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
    BusyIndicator busy(&tab_, tab_.table().lastRow() > kLongTable);
    const int base = tab_.baseRow();
    tab_.document().rearrange([&](PoiTable &table) {
        ComputeDistances(table, base, tab_.context().env.separator);
        tab_.setBaseDescription(table.field(base, FieldDescription));
        ProcessPendingMessages();
        SortByField(table, FieldKey, tab_.collator());
    });
    tab_.setEdit6(QStringLiteral("1"));
    tab_.grid()->scrollRowToTop(1);
    tab_.grid()->selectRows(1, 1);
}

void TableCommands::SG1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, int col, int row, QPoint globalPos)
{
    tab_.document().setLastClicked(col, row);
    if (row == 0) {
        BusyIndicator busy(&tab_, tab_.table().lastRow() > kLongTable);
        tab_.setBusy(true);
        ProcessPendingMessages();
        if (tab_.document().editMode())
            tab_.edits().LeaveEditMode();
        // The selection keeps its row numbers; the base panel names the POI now at its number.
        if (col >= 1 && col < kFieldCount)
            tab_.document().rearrange([&](PoiTable &table) { SortByField(table, col, tab_.collator()); });
        if (const int base = FindBaseRow(tab_.table()))
            tab_.setEdit6(tab_.table().field(base, FieldNumber));
        tab_.setBusy(false);
        ProcessPendingMessages();
        return;
    }
    if (row < 1 || !tab_.table().isValidRow(row))
        return;
    if (button == Qt::LeftButton) {
        tab_.LeaveMapMode();
        tab_.setEdit6(tab_.table().field(row, FieldNumber));
        tab_.document().setCurrentRow(row);
        emit tab_.coordinatesClicked(tab_.table().field(row, FieldLatitude), tab_.table().field(row, FieldLongitude));
        return;
    }
    if (button == Qt::RightButton && col >= 1) {
        const bool empty = tab_.table().isEmptyForMenu();
        tab_.enableRowMenu(!empty);
        tab_.document().setContextPoi(tab_.table().field(row, FieldLatitude), tab_.table().field(row, FieldLongitude),
                                      tab_.table().field(row, FieldDescription));
        tab_.document().setCurrentRow(row);
        if (!tab_.document().editMode()) {
            tab_.popupRowMenu(globalPos);
            return;
        }
        // In edit mode the clicked row becomes the edited row without leaving edit mode.
        tab_.document().setMovingEditedRow(true);
        tab_.grid()->setCurrentIndex(tab_.model()->index(row - 1, col));
        tab_.document().setMovingEditedRow(false);
        tab_.edits().OpenConverter(col, row);
    }
}

}  // namespace orvalis
