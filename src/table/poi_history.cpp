#include "table/poi_history.h"

#include "table/poi_document.h"

namespace orvalis {

FieldsStep::FieldsStep(PoiDocument &document, PoiTable::RowId id, Fields before, Fields after)
    : document_(document), id_(id), before_(std::move(before)), after_(std::move(after))
{
}

void FieldsStep::redo()
{
    document_.writeFields(id_, after_);
}

void FieldsStep::undo()
{
    document_.writeFields(id_, before_);
}

RowStep::RowStep(PoiDocument &document, Kind kind, PoiTable::TakenRow row, int countWith, int countWithout)
    : document_(document), kind_(kind), row_(std::move(row)), countWith_(countWith), countWithout_(countWithout)
{
}

void RowStep::take()
{
    row_ = document_.takeRow(row_.id, countWithout_);
}

void RowStep::restore()
{
    document_.restoreRow(row_, countWith_);
}

void RowStep::redo()
{
    kind_ == Removal ? take() : restore();
}

void RowStep::undo()
{
    kind_ == Removal ? restore() : take();
}

}  // namespace orvalis
