#pragma once

#include <QPoint>
#include <Qt>

namespace orvalis {

class PoiTableTab;

// The distance run and the grid's clicks (titles sort, rows hand over, right clicks open the menu).
class TableCommands {
public:
    explicit TableCommands(PoiTableTab &tab);

    void BitBtn4Click();  // distance run
    void SG1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int col, int row, QPoint globalPos);

private:
    PoiTableTab &tab_;
};

}  // namespace orvalis
