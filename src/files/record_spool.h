#pragma once

#include "files/poi_record.h"

#include <QByteArray>
#include <cstdio>
#include <functional>

namespace orvalis {

// Records put aside in an unnamed temporary file, to be read back in order:
// for a writer that needs every record before its first byte (the CSV head)
// or an order known at the end, without holding them in memory.
class RecordSpool {
public:
    RecordSpool();
    ~RecordSpool();
    RecordSpool(const RecordSpool &) = delete;
    RecordSpool &operator=(const RecordSpool &) = delete;

    bool ok() const { return file_ != nullptr && !failed_; }
    // Where the record starts, to read it alone later (read(at)).
    qint64 append(const PoiRecord &record);
    // Every record in the order they came; false on a read failure.
    bool replay(const std::function<void(PoiRecord &&)> &visit);
    // One record, by where it starts.
    bool read(qint64 at, PoiRecord &record);

private:
    bool flush();
    std::FILE *file_ = nullptr;
    QByteArray pending_;
    qint64 size_ = 0;
    bool failed_ = false;
};

}  // namespace orvalis
