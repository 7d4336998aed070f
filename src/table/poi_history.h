#pragma once

#include "table/poi_table.h"

#include <QUndoCommand>
#include <utility>
#include <vector>

namespace orvalis {

class PoiDocument;

// The steps of the POI table's history. Each names its POI by identity, so
// that a sort since does not matter, and leaves the doing to the document.

// Fields of one POI: an edit, a converter result, a pin moved.
class FieldsStep : public QUndoCommand {
public:
    using Fields = std::vector<std::pair<int, QString>>;
    FieldsStep(PoiDocument &document, PoiTable::RowId id, Fields before, Fields after);
    void redo() override;
    void undo() override;

private:
    PoiDocument &document_;
    PoiTable::RowId id_;
    Fields before_, after_;
};

// A POI leaving the table (a deletion) or coming in (a pin added).
class RowStep : public QUndoCommand {
public:
    enum Kind { Removal, Addition };
    // For a removal `row` names the POI; for an addition it is the row to put in.
    RowStep(PoiDocument &document, Kind kind, PoiTable::TakenRow row, int countWith, int countWithout);
    void redo() override;
    void undo() override;

private:
    void take();
    void restore();

    PoiDocument &document_;
    Kind kind_;
    PoiTable::TakenRow row_;
    int countWith_, countWithout_;
};

}  // namespace orvalis
