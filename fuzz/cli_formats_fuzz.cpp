// The CSV, GeoJSON and KML readers and the GPX route reader on any bytes; what
// the KML and GeoJSON writers make of the rows reads back to as many rows.
#include "files/poi_formats.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    ReadGpxRouteLines(bytes);
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
