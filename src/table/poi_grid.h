#pragma once

#include <QTableView>

namespace orvalis {

class PoiTableModel;

// The POI grid: whole-row contiguous selection extended with Shift, a header
// that reports mouse releases as row 0, a right button that leaves the
// selection alone, and the fixed N° column.
class PoiGrid : public QTableView {
    Q_OBJECT
public:
    explicit PoiGrid(QWidget *parent = nullptr);

    void setPoiModel(PoiTableModel *model);

    // Documented row numbers: 1..n; 0 is the title row.
    void selectRows(int top, int bottom);
    void selectCells(int row, int firstCol, int lastCol);
    // Top and bottom of the selected range (1,1 when nothing is selected).
    std::pair<int, int> selectedRange() const;
    void scrollRowToTop(int row);
    // Makes the row current without selecting it or reporting a cell selection.
    void setCurrentRowQuietly(int row);
    int topVisibleRow() const;

    // Writes the text of an open cell editor into the table and closes it, so
    // that a command started from the keyboard or a drop never loses what is typed.
    void commitOpenEditor();

    // Edit options: cell selection and in-place editing, or whole rows.
    void setEditOptions(bool editing);
    void setFixedColor(const QColor &color);

    // Cell under a viewport point: {col, row} with row 0 for the header, -1 outside.
    std::pair<int, int> cellAt(const QPoint &viewportPos) const;

signals:
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int col, int row, QPoint globalPos);
    void selectCell(int col, int row);
    // The Menu key or Shift+F10: the row menu on the current row.
    void menuKeyPressed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    PoiTableModel *model_ = nullptr;
};

}  // namespace orvalis
