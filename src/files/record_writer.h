#pragma once

#include "files/poi_codec.h"

#include <memory>

namespace orvalis {

// Records written as they come in a format that has records, a megabyte at a time.
class RecordWriter {
public:
    RecordWriter(const PoiCodec &codec, const RecordWriteOptions &options, RecordOutput output);
    ~RecordWriter();
    // Once, before the first record.
    void start(const XmlNamespaces &namespaces);
    // False for a record the format cannot hold (no coordinates): not written.
    bool append(const PoiRecord &record);
    // The tail, and whatever waited; returns how many records were written.
    int finish();
    bool spoolFailed() const;
    // What the format says after finish (FormatRecordWriter::failure, note).
    QString failure() const;
    QString note() const;

private:
    std::unique_ptr<FormatRecordWriter> format_;
    WriterBuffer out_;
    int written_ = 0;
};

}  // namespace orvalis
