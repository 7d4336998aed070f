#include "table/poi_grid.h"

#include <QKeyEvent>

#include "table/poi_table.h"
#include "table/poi_table_model.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>

namespace orvalis {

PoiGrid::PoiGrid(QWidget *parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(18);
    verticalHeader()->setMinimumSectionSize(10);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setFixedHeight(20);
    horizontalHeader()->viewport()->installEventFilter(this);
    setFixedColor(Qt::yellow);
}

void PoiGrid::setPoiModel(PoiTableModel *model)
{
    model_ = model;
    setModel(model);
    int widths[] = {40, 70, 70, 360, 60, 0, 60};
    // Coordinates such as "-158,58900" whole, never narrower than the layout's widths.
    const int coordinate = fontMetrics().horizontalAdvance(QStringLiteral("-188,88888")) + 12;
    widths[FieldLatitude] = std::max(widths[FieldLatitude], coordinate);
    widths[FieldLongitude] = std::max(widths[FieldLongitude], coordinate);
    for (int c = 0; c < kFieldCount; ++c)
        setColumnWidth(c, widths[c]);
    setColumnHidden(FieldKey, true);
}

void PoiGrid::selectRows(int top, int bottom)
{
    if (!model_ || model_->rowCount() == 0)
        return;
    top = std::clamp(top, 1, model_->rowCount());
    bottom = std::clamp(bottom, top, model_->rowCount());
    const QItemSelection sel(model_->index(top - 1, 1), model_->index(bottom - 1, kFieldCount - 1));
    // Through the view, so the top row is also where a Shift-click extends from.
    setCurrentIndex(model_->index(top - 1, 1));
    selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
}

void PoiGrid::selectCells(int row, int firstCol, int lastCol)
{
    if (!model_ || row < 1 || row > model_->rowCount())
        return;
    const QItemSelection sel(model_->index(row - 1, firstCol), model_->index(row - 1, lastCol));
    const int currentCol = firstCol == 0 ? 1 : firstCol;
    selectionModel()->setCurrentIndex(model_->index(row - 1, currentCol), QItemSelectionModel::NoUpdate);
    selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
}

std::pair<int, int> PoiGrid::selectedRange() const
{
    int top = 0, bottom = 0;
    const QItemSelection sel = selectionModel() ? selectionModel()->selection() : QItemSelection();
    for (const QItemSelectionRange &r : sel) {
        if (top == 0 || r.top() + 1 < top)
            top = r.top() + 1;
        bottom = std::max(bottom, r.bottom() + 1);
    }
    if (top == 0) {
        // No selection: the grid's current row stands for it, as in a string grid.
        const int cur = currentIndex().isValid() ? currentIndex().row() + 1 : 1;
        return {cur, cur};
    }
    return {top, bottom};
}

void PoiGrid::scrollRowToTop(int row)
{
    if (!model_ || row < 1 || row > model_->rowCount())
        return;
    scrollTo(model_->index(row - 1, 1), QAbstractItemView::PositionAtTop);
}

void PoiGrid::setCurrentRowQuietly(int row)
{
    if (!model_ || row < 1 || row > model_->rowCount())
        return;
    const QSignalBlocker quiet(this);
    selectionModel()->setCurrentIndex(model_->index(row - 1, 1), QItemSelectionModel::NoUpdate);
}

int PoiGrid::topVisibleRow() const
{
    return rowAt(0) + 1;
}

void PoiGrid::setEditOptions(bool editing)
{
    if (model_)
        model_->setEditable(editing);
    setSelectionBehavior(editing ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    setEditTriggers(editing ? (QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked)
                            : QAbstractItemView::NoEditTriggers);
}

void PoiGrid::setFixedColor(const QColor &color)
{
    if (model_)
        model_->setFixedColor(color);
    horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: black; border: 1px solid gray; padding: 1px; }")
            .arg(color.name()));
}

std::pair<int, int> PoiGrid::cellAt(const QPoint &viewportPos) const
{
    const int col = columnAt(viewportPos.x());
    const int row = rowAt(viewportPos.y());
    if (col < 0 || row < 0)
        return {-1, -1};
    return {col, row + 1};
}

void PoiGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        event->accept();
        emit menuKeyPressed();
        return;
    }
    QTableView::keyPressEvent(event);
}

void PoiGrid::mousePressEvent(QMouseEvent *event)
{
    // The right button opens the menu on release and never moves the selection;
    // a press outside every cell (below the last row, right of the last column) changes nothing.
    const QModelIndex at = indexAt(event->position().toPoint());
    if (event->button() == Qt::RightButton || !at.isValid()) {
        event->accept();
        return;
    }
    // The N° column cannot be selected: a press there moves the current row and
    // leaves the highlighted rows as they are (they are what commands take).
    if (at.column() == FieldNumber) {
        event->accept();
        selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
        return;
    }
    const bool cells = selectionBehavior() == QAbstractItemView::SelectItems;
    QTableView::mousePressEvent(event);
    // A click that left edit mode (cells) selected one cell: the row is what the grid shows now.
    if (cells && selectionBehavior() == QAbstractItemView::SelectRows && event->modifiers() == Qt::NoModifier)
        selectRows(at.row() + 1, at.row() + 1);
}

void PoiGrid::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    const auto [col, row] = cellAt(event->position().toPoint());
    emit mouseUp(event->button(), event->modifiers(), col, row, event->globalPosition().toPoint());
}

bool PoiGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        const int col = horizontalHeader()->logicalIndexAt(me->position().toPoint());
        emit mouseUp(me->button(), me->modifiers(), col, col < 0 ? -1 : 0, me->globalPosition().toPoint());
    }
    return QTableView::eventFilter(watched, event);
}

void PoiGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    if (current.isValid() && (!previous.isValid() || previous.row() != current.row()))
        emit selectCell(current.column(), current.row() + 1);
    QTableView::currentChanged(current, previous);
}

void PoiGrid::commitOpenEditor()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

}  // namespace orvalis
