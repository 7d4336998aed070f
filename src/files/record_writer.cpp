#include "files/record_writer.h"

#include "files/geojson_format.h"
#include "files/gpx_format.h"
#include "files/kml_format.h"
#include "files/record_pipe.h"

namespace orvalis {

bool ForEachPoiRecord(PoiFormat format, BlockReader &in, const std::function<void(XmlNamespaces &&)> &head,
                      const std::function<void(PoiRecord &&)> &visit, ReadResult *result, const CoordinateFilter &wanted,
                      DeferTexts defer)
{
    // Formats whose records are whole before their coordinates are known: filtered after.
    const std::function<void(PoiRecord &&)> filtered = [&](PoiRecord &&r) {
        if (!wanted || wanted(r.lat, r.lon))
            visit(std::move(r));
    };
    switch (format) {
    case PoiFormat::Gpx:
        return ForEachGpxRecord(in, head, visit, result, wanted, defer);
    case PoiFormat::Ov2:
        head({});
        ForEachOv2Record(in, visit, result, wanted);
        return true;
    case PoiFormat::Kml:
        head({});
        return ForEachKmlRecord(in, visit, wanted);
    case PoiFormat::GeoJson:
        head({});
        return ForEachGeoJsonRecord(in, filtered);
    case PoiFormat::Csv:
    case PoiFormat::WindowCsv:
        head({});
        ForEachCsvRecord(in, filtered, result);
        return true;
    }
    return false;
}

RecordWriter::RecordWriter(PoiFormat format, bool strictGpx, RecordOutput output)
    : format_(format), strictGpx_(strictGpx), output_(std::move(output))
{
    if (format_ == PoiFormat::Csv)
        spool_ = std::make_unique<RecordSpool>();
}

RecordWriter::~RecordWriter() = default;

bool RecordWriter::spoolFailed() const
{
    return spool_ && !spool_->ok();
}

void RecordWriter::start(const XmlNamespaces &namespaces)
{
    switch (format_) {
    case PoiFormat::Gpx:
        buffer_ += GpxRecordHead(namespaces);
        break;
    case PoiFormat::Kml:
        buffer_ += KmlRecordHead();
        break;
    case PoiFormat::GeoJson:
        buffer_ += GeoJsonRecordHead();
        break;
    case PoiFormat::Ov2:
        buffer_ += QByteArray(21, '\0');  // the skipper record, written at the end
        break;
    default:
        break;
    }
}

void RecordWriter::flushIfFull()
{
    if (buffer_.size() >= (1 << 20))
        output_.write(buffer_);
}

bool RecordWriter::append(const PoiRecord &r)
{
    bool ok = false;
    switch (format_) {
    case PoiFormat::Gpx:
        ok = AppendGpxRecord(buffer_, r, strictGpx_);
        break;
    case PoiFormat::Kml:
        ok = AppendKmlRecord(buffer_, r);
        break;
    case PoiFormat::GeoJson:
        ok = AppendGeoJsonRecord(buffer_, r, written_ == 0);
        break;
    case PoiFormat::Ov2:
        ok = AppendOv2Record(buffer_, ov2_, r);
        break;
    default:
        ok = !PlainDecimalText(r.lat).isEmpty() && !PlainDecimalText(r.lon).isEmpty();
        if (ok) {
            csv_.observe(r);
            spool_->append(r);
        }
        break;
    }
    written_ += ok;
    flushIfFull();
    return ok;
}

int RecordWriter::finish()
{
    switch (format_) {
    case PoiFormat::Gpx:
        buffer_ += GpxRecordTail();
        break;
    case PoiFormat::Kml:
        buffer_ += KmlRecordTail();
        break;
    case PoiFormat::GeoJson:
        buffer_ += GeoJsonRecordTail();
        break;
    case PoiFormat::Ov2:
        break;
    default:
        buffer_ += csv_.head();
        // The spool read back on one core, the rows written on the other.
        PipeRecords([&](const std::function<void(PoiRecord &&)> &pass) { spool_->replay(pass); },
                    [&](PoiRecord &&r) {
                        csv_.append(buffer_, r);
                        flushIfFull();
                    });
        break;
    }
    output_.write(buffer_);
    if (format_ == PoiFormat::Ov2)
        output_.writeAt(0, ov2_.header());
    return written_;
}

}  // namespace orvalis
