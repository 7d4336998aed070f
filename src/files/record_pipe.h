#pragma once

#include "files/poi_record.h"

#include <functional>

namespace orvalis {

// Runs `produce` on a thread of its own and gives each record it passes on to
// `consume` on the calling thread, in order: reading and writing a file take
// a core each. A few batches wait between the two, so memory stays bounded.
// An exception from either side ends both and is thrown here, after the
// records produced before it were consumed (from `produce`) or at once (from
// `consume`).
void PipeRecords(const std::function<void(const std::function<void(PoiRecord &&)> &)> &produce,
                 const std::function<void(PoiRecord &&)> &consume);

}  // namespace orvalis
