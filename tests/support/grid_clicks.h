#pragma once

#include "table/poi_grid.h"
#include "table/poi_table_model.h"

#include <QHeaderView>
#include <QTest>

namespace orvalis::testing {

// Clicks a documented cell of the grid (row 0 = the titles).
inline void ClickCell(PoiGrid *grid, int row, int col, Qt::MouseButton button = Qt::LeftButton,
                      Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    if (row == 0) {
        QHeaderView *h = grid->horizontalHeader();
        const QPoint p(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2);
        QTest::mouseClick(h->viewport(), button, mods, p);
        return;
    }
    grid->scrollTo(grid->model()->index(row - 1, col));
    const QRect r = grid->visualRect(grid->model()->index(row - 1, col));
    QTest::mouseClick(grid->viewport(), button, mods, r.center());
}

}  // namespace orvalis::testing
