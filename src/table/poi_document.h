#pragma once

#include "table/poi_table.h"

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <utility>
#include <vector>

namespace orvalis {

// What "Valider" reads back from the tab browser: nothing, a moved pin, an added one.
enum class PinMode { View, Move, Add };

// The first tab's state: the POI table and what is known about it. Windows
// show it and commands change it through these functions, whose signals let
// every view follow; nothing is read back from a widget.
//
// Edits, deletions and pins are commands on the document's history, which
// says what is unsaved: back at the state of the last load or save, nothing is.
class PoiDocument : public QObject {
    Q_OBJECT
public:
    explicit PoiDocument(const QString &programCaption, QObject *parent = nullptr);

    const PoiTable &table() const { return table_; }

    // Unsaved changes (the "*" mark): the history away from its saved state,
    // or a change that left nothing to take back (edit mode left, a converter
    // result equal to its cell).
    bool modified() const { return modified_; }
    // true: such a change; false: what the table holds now is saved.
    void setModified(bool modified);
    // A new table: nothing to take back, nothing unsaved.
    void clearHistory();
    QUndoStack &history() { return history_; }
    // The window caption: the file loaded or saved last, the program's name before.
    QString caption() const { return caption_; }
    void setCaption(const QString &caption);
    // The folder of the last file loaded, where the open and save dialogs start.
    QString importFolder() const { return importFolder_; }
    void setImportFolder(const QString &folder);
    // The POI count shown beside the grid; empty before the first load.
    QString poiCountText() const { return poiCount_ < 0 ? QString() : QString::number(poiCount_); }
    int poiCount() const { return poiCount_; }
    void setPoiCount(int count);
    // The row the distances are measured from (the number in the base box).
    int baseNumber() const { return baseNumber_; }
    void setBaseNumber(int number);
    PinMode pinMode() const { return pinMode_; }
    void setPinMode(PinMode mode);
    // A table is there to measure from: the base panel and the commands show.
    bool ready() const { return ready_; }
    void setReady(bool ready);
    // One row editable in place (the grid's cells become editable).
    bool editMode() const { return editMode_; }
    void setEditMode(bool on);
    // While the edited row is moved into view, a cell selection does not end edit mode.
    bool movingEditedRow() const { return movingEditedRow_; }
    void setMovingEditedRow(bool moving) { movingEditedRow_ = moving; }
    // The last clicked cell, the current row and the context POI of the row menu.
    const ClickState &clickState() const { return click_; }
    void setLastClicked(int col, int row);
    void setCurrentRow(int row);
    void setContextPoi(const QString &latitude, const QString &longitude, const QString &description);

    // Changes of the table, announced before and after so the grid keeps its selection.
    void resetTable(const std::function<void(PoiTable &)> &change);
    // Rows keep their places on screen: a selection stays on the same row numbers.
    void rearrange(const std::function<void(PoiTable &)> &change);

    // The user's changes, each one a step of the history.
    // Removes a POI (the only one leaves a blank row): one fewer in the count.
    void removeRow(int row);
    // A cell's new text (an edit, a converter result); false when it was the same.
    bool setCell(int row, int field, const QString &text);
    // A POI's new place (a pin moved on the map).
    void movePoi(int row, const QString &latitude, const QString &longitude);
    // A new POI (a pin added on the map): numbered after the largest N°, one more
    // in the count; returns its row.
    int addPoi(const QString &latitude, const QString &longitude, const QString &description);

    // What the history's steps do and undo, on the POI wherever it stands now.
    void writeFields(PoiTable::RowId id, const std::vector<std::pair<int, QString>> &fields);
    PoiTable::TakenRow takeRow(PoiTable::RowId id, int poiCount);
    void restoreRow(const PoiTable::TakenRow &taken, int poiCount);

signals:
    void modifiedChanged(bool modified);
    void captionChanged(const QString &caption);
    void importFolderChanged(const QString &folder);
    void poiCountChanged(const QString &text);
    void baseNumberChanged(int number);
    void pinModeChanged(PinMode mode);
    void readyChanged(bool ready);
    void editModeChanged(bool on);
    // The rows moved or shrank: whatever shows a row by its number must look again.
    void rowsMoved();

    void aboutToResetTable();
    void tableWasReset();
    void aboutToRearrange();
    void rearranged();
    void aboutToRemoveRow(int row);
    void rowWasRemoved(int row);
    void aboutToInsertRow(int row);
    void rowWasInserted(int row);
    void rowsWereChanged(int first, int last);

private:
    void updateModified();

    PoiTable table_;
    QUndoStack history_;
    bool modified_ = false;
    bool changedOutsideHistory_ = false;
    QString caption_;
    QString importFolder_;
    int poiCount_ = -1;
    int baseNumber_ = 1;
    PinMode pinMode_ = PinMode::View;
    bool ready_ = false;
    bool editMode_ = false;
    bool movingEditedRow_ = false;
    ClickState click_;
};

}  // namespace orvalis
