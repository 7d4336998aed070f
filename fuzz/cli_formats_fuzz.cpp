// The CSV, GeoJSON and KML readers, the GPX route reader and the GPX and OV2
// record readers on any bytes; what
// the KML and GeoJSON writers make of the rows reads back to as many rows.
#include "files/csv_format.h"
#include "files/geojson_format.h"
#include "files/gpx_format.h"
#include "files/kml_format.h"
#include "files/ov2_format.h"
#include "files/poi_formats.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    ReadGpxRouteLines(bytes);
    // Records: what is written reads back to as many, and settles after one pass.
    const PoiRecords gpx = ReadGpxRecords(bytes);
    const QByteArray once = GpxRecordBytes(gpx, false);
    const PoiRecords back = ReadGpxRecords(once);
    if (back.records.size() > gpx.records.size() || GpxRecordBytes(back, false) != once)
        std::abort();
    const PoiRecords ov2 = ReadOv2Records(bytes);
    if (ReadOv2Records(Ov2RecordBytes(ov2)).records.size() != ov2.records.size())
        std::abort();
    // CSV, GeoJSON and KML records: what is written reads back to as many and settles.
    const PoiRecords csv = ReadCsvRecords(bytes);
    const QByteArray csvOnce = CsvRecordBytes(csv);
    if (CsvRecordBytes(ReadCsvRecords(csvOnce)) != csvOnce)
        std::abort();
    if (const auto json = ReadGeoJsonRecords(bytes)) {
        const QByteArray jsonOnce = GeoJsonRecordBytes(*json);
        const auto again = ReadGeoJsonRecords(jsonOnce);
        if (!again || GeoJsonRecordBytes(*again) != jsonOnce)
            std::abort();
    }
    const PoiRecords kml = ReadKmlRecords(bytes);
    const QByteArray kmlOnce = KmlRecordBytes(kml);
    if (KmlRecordBytes(ReadKmlRecords(kmlOnce)) != kmlOnce)
        std::abort();
    for (const PoiFormat format : {PoiFormat::Csv, PoiFormat::GeoJson, PoiFormat::Kml}) {
        PoiTable table;
        ReadResult result;
        QString error;
        if (!ReadPoiFormat(format, bytes, table, u'.', &result, &error) || table.lastRow() < 1)
            continue;
        for (const PoiFormat out : {PoiFormat::Kml, PoiFormat::GeoJson}) {
            const QByteArray written = PoiFormatBytes(out, table, 1, table.lastRow(), {});
            PoiTable back;
            ReadResult again;
            if (!ReadPoiFormat(out, written, back, u'.', &again, &error))
                std::abort();
            if (again.counter > result.counter)
                std::abort();  // writing never invents a POI
        }
    }
    return 0;
}
