#pragma once

#include "files/poi_record.h"

#include <functional>
#include <optional>

namespace orvalis {

// Runs `produce` on a thread of its own and gives each record it passes on to
// `consume` on the calling thread, in order: reading and writing a file take
// a core each. A few batches wait between the two, so memory stays bounded.
// An exception from either side ends both and is thrown here, after the
// records produced before it were consumed (from `produce`) or at once (from
// `consume`).
void PipeRecords(const std::function<void(const std::function<void(PoiRecord &&)> &)> &produce,
                 const std::function<void(PoiRecord &&)> &consume);

// The record a reader fills and hands on. Where `produce` runs, it is the
// next place of the batch being filled, emptied but with the room the record
// it held last took: most texts need no allocation, and the record joins its
// batch without a move. Anywhere else (or while another is out) it is a new
// record. The reader hands it on at most once (visit(std::move(*fill))) and
// does not touch it afterwards.
class RecordToFill {
public:
    RecordToFill();
    ~RecordToFill();
    RecordToFill(const RecordToFill &) = delete;
    RecordToFill &operator=(const RecordToFill &) = delete;
    PoiRecord &operator*() { return *record_; }

private:
    std::optional<PoiRecord> own_;
    PoiRecord *record_ = nullptr;
    bool lent_ = false;
};

// `to` holds `bytes`, in the room it has when that is enough.
void SetBytes(QByteArray &to, QByteArrayView bytes);

}  // namespace orvalis
