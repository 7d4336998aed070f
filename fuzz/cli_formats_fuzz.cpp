// Every format's record reader and writer on any bytes, and the CSV, GeoJSON
// and KML table readers; what the KML and GeoJSON writers make of the rows
// reads back to as many rows.
#include "files/poi_codec.h"
#include "support/records.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;
using namespace orvalis::testing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    Codec("gpx").routeLines(bytes);
    // Records: as many read back as were written (those with coordinates).
    // (That well-formed files settle after one pass is checked on real files by the tests.)
    for (const PoiCodec *codec : PoiCodecs()) {
        if (!codec->hasRecords())
            continue;
        bool ok = false;
        const PoiRecords read = ReadRecords(*codec, bytes, nullptr, &ok);
        if (!ok)
            continue;  // records visited before the reader found it no file of the format are thrown away
        int written = 0;
        const QByteArray again = RecordBytes(*codec, read, &written);
        bool readBack = false;
        if (ReadRecords(*codec, again, nullptr, &readBack).records.size() != static_cast<size_t>(written) || !readBack)
            std::abort();
    }
    for (const char *format : {"csv", "geojson", "kml"}) {
        PoiTable table;
        ReadResult result;
        if (!ReadPoiTable(Codec(format), bytes, table, u'.', &result) || table.lastRow() < 1)
            continue;
        for (const char *out : {"kml", "geojson"}) {
            const QByteArray written = Codec(out).tableBytes(table, 1, table.lastRow(), {}, nullptr);
            PoiTable back;
            ReadResult again;
            if (!ReadPoiTable(Codec(out), written, back, u'.', &again))
                std::abort();
            if (again.counter > result.counter)
                std::abort();  // writing never invents a POI
        }
    }
    return 0;
}
