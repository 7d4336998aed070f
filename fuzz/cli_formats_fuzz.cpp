// The CSV, GeoJSON and KML readers, the GPX route reader and every format's
// record reader on any bytes; what
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
    // Records: as many read back as were written (those with coordinates).
    // (That well-formed files settle after one pass is checked on real files by the tests.)
    int written = 0;
    const QByteArray gpx = GpxRecordBytes(ReadGpxRecords(bytes), false, &written);
    if (ReadGpxRecords(gpx).records.size() != static_cast<size_t>(written))
        std::abort();
    const QByteArray ov2 = Ov2RecordBytes(ReadOv2Records(bytes), &written);
    if (ReadOv2Records(ov2).records.size() != static_cast<size_t>(written))
        std::abort();
    const QByteArray csv = CsvRecordBytes(ReadCsvRecords(bytes), &written);
    if (ReadCsvRecords(csv).records.size() != static_cast<size_t>(written))
        std::abort();
    if (const auto json = ReadGeoJsonRecords(bytes)) {
        const auto again = ReadGeoJsonRecords(GeoJsonRecordBytes(*json, &written));
        if (!again || again->records.size() != static_cast<size_t>(written))
            std::abort();
    }
    const QByteArray kml = KmlRecordBytes(ReadKmlRecords(bytes), &written);
    if (ReadKmlRecords(kml).records.size() != static_cast<size_t>(written))
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
