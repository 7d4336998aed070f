// What the CSV writer writes reads back to the same records: any bytes read
// as CSV, written, read again, give the records first read (coordinates in
// their plain decimal form, NUL characters left out as the writer leaves them).
#include "files/poi_codec.h"
#include "support/csv_round_trip.h"
#include "support/records.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;
using namespace orvalis::testing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const PoiRecords read = ReadRecords(Codec("csv"), bytes);
    // A key is written without its NUL characters: two keys may then be one (the unit tests say what it gives).
    // A file with a record that is no POI is refused by every command: nothing is written of it.
    for (const PoiRecord &r : read.records)
        if (PlainDecimalText(r.lat).isEmpty() || PlainDecimalText(r.lon).isEmpty())
            return 0;
    for (const PoiRecord &r : read.records)
        for (const PoiProperty &p : r.properties)
            if (p.key.contains(QChar(0)))
                return 0;
    if (!CsvRoundTripDifference(read).isEmpty())
        std::abort();
    return 0;
}
