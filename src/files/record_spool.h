#pragma once

#include "files/poi_record.h"
#include "files/spill_buffer.h"

#include <functional>

namespace orvalis {

// Records put aside to be read back in order (a SpillBuffer: a temporary
// file past a megabyte): for a writer that needs every record before its
// first byte (the CSV head) or an order known at the end, without holding
// them in memory.
class RecordSpool {
public:
    bool ok() const { return spill_.ok(); }
    bool inMemory() const { return spill_.inMemory(); }
    // Where the record starts, to read it alone later (read(at)).
    qint64 append(const PoiRecord &record);
    // Every record in the order they came; false on a read failure.
    bool replay(const std::function<void(PoiRecord &&)> &visit);
    // One record, by where it starts.
    bool read(qint64 at, PoiRecord &record);

private:
    SpillBuffer spill_;
};

}  // namespace orvalis
