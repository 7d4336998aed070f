// The distance run and the grid's clicks of the first tab.
#include "table/poi_table_tab.h"

#include "app/app_context.h"
#include "app/widgets_util.h"
#include "geo/decimal_entry.h"
#include "table/distance_run.h"
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

int PoiTableTab::baseRow() const
{
    return doc_.baseNumber();
}

void PoiTableTab::setEdit6(const QString &text)
{
    if (Edit6->text() == text)
        Edit6Change();  // the change handler runs even when the number stays
    else
        Edit6->setText(text);
}

void PoiTableTab::BitBtn4Click()
{
    BusyIndicator busy(this, table_.lastRow() > kLongTable);
    const int base = baseRow();
    doc_.rearrange([&](PoiTable &table) {
        ComputeDistances(table, base, ctx_.env.separator);
        Label11->setText(table.field(base, FieldDescription));
        ProcessPendingMessages();
        SortByField(table, FieldKey, collator_);
    });
    setEdit6(QStringLiteral("1"));
    SG1->scrollRowToTop(1);
    SG1->selectRows(1, 1);
}

void PoiTableTab::Edit6Change()
{
    doc_.setBaseNumber(ReadWholeNumber(Edit6->text(), 1));
    const QString base = table_.field(baseRow(), FieldDescription);
    Label11->setText(base);
    ProcessPendingMessages();
    BitBtn17->setVisible(base.startsWith(QStringLiteral("GC")) && doc_.ready());
}

void PoiTableTab::SG1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, int col, int row, QPoint globalPos)
{
    click_.lastCol = col;
    click_.lastRow = row;
    if (row == 0) {
        BusyIndicator busy(this, table_.lastRow() > kLongTable);
        setBusy(true);
        ProcessPendingMessages();
        if (editMode_)
            LeaveEditMode();
        // The selection keeps its row numbers; the base panel names the POI now at its number.
        if (col >= 1 && col < kFieldCount)
            doc_.rearrange([&](PoiTable &table) { SortByField(table, col, collator_); });
        if (const int base = FindBaseRow(table_))
            setEdit6(table_.field(base, FieldNumber));
        setBusy(false);
        ProcessPendingMessages();
        return;
    }
    if (row < 1 || !table_.isValidRow(row))
        return;
    if (button == Qt::LeftButton) {
        LeaveMapMode();
        setEdit6(table_.field(row, FieldNumber));
        click_.currentRow = row;
        emit coordinatesClicked(table_.field(row, FieldLatitude), table_.field(row, FieldLongitude));
        return;
    }
    if (button == Qt::RightButton && col >= 1) {
        const bool empty = table_.isEmptyForMenu();
        for (QAction *a : {VisualisercePoisurlacarte1, VisualiserlesPoiselectionnssurlacarte1, TraceruncercleunedistancedunPoi1,
                           DplacercePoisurlacarte1, ModifierletextedecePoi1, SupprimercePoi1})
            a->setEnabled(!empty);
        AjouterdesPoi1->setEnabled(true);
        click_.contextLatitude = table_.field(row, FieldLatitude);
        click_.contextLongitude = table_.field(row, FieldLongitude);
        click_.contextDescription = table_.field(row, FieldDescription);
        click_.currentRow = row;
        if (!editMode_) {
            PopupMenu1->popup(globalPos);
            return;
        }
        // In edit mode the clicked row becomes the edited row without leaving edit mode.
        movingEditedRow_ = true;
        SG1->setCurrentIndex(model_->index(row - 1, col));
        movingEditedRow_ = false;
        OpenConverter(col, row);
    }
}

}  // namespace orvalis
