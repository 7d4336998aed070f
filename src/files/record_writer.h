#pragma once

#include "files/csv_format.h"
#include "files/ov2_format.h"
#include "files/poi_formats.h"
#include "files/poi_record.h"
#include "files/record_spool.h"

#include <QByteArray>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace orvalis {

using XmlNamespaces = std::vector<std::pair<QByteArray, QByteArray>>;

// The records of a file of any format read a block at a time: `head` first
// (with the namespace declarations a GPX file's raw XML needs), then each
// record in file order. False when the input is no file of that format.
// `wanted`, when given, sees every record's coordinates first. With
// DeferTexts::Yes, records may come with texts the taker decodes
// (DecodeDeferredTexts).
bool ForEachPoiRecord(PoiFormat format, BlockReader &in, const std::function<void(XmlNamespaces &&)> &head,
                      const std::function<void(PoiRecord &&)> &visit, ReadResult *result, const CoordinateFilter &wanted = {},
                      DeferTexts defer = DeferTexts::No);

// Where written bytes go: `write` takes them (and may clear them); `writeAt`
// puts bytes back at an offset already written (OV2's first record).
struct RecordOutput {
    std::function<void(QByteArray &)> write;
    std::function<void(qint64, const QByteArray &)> writeAt;
};

// Records written as they come in any record format, a megabyte at a time.
// CSV needs every record before its head: they wait in a spool.
class RecordWriter {
public:
    RecordWriter(PoiFormat format, bool strictGpx, RecordOutput output);
    ~RecordWriter();
    // Once, before the first record.
    void start(const XmlNamespaces &namespaces);
    // False for a record the format cannot hold (no coordinates): not written.
    bool append(const PoiRecord &record);
    // The tail, and whatever waited; returns how many records were written.
    int finish();
    bool spoolFailed() const;

private:
    void flushIfFull();
    PoiFormat format_;
    bool strictGpx_;
    RecordOutput output_;
    QByteArray buffer_;
    Ov2Writer ov2_;
    CsvRecordWriter csv_;
    std::unique_ptr<RecordSpool> spool_;
    int written_ = 0;
};

}  // namespace orvalis
