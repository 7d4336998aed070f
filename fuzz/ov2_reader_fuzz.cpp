// The OV2 reader on any bytes: no crash, no hang, a POI count it can justify,
// and what it reads writes back and reads again to the same rows.
#include "files/ov2_format.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PoiTable table;
    const ReadResult r = ReadOv2(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), table, u',');
    // Every counted POI takes at least 5 bytes of the file.
    if (r.counter < 0 || static_cast<size_t>(r.counter) * 5 > size || table.lastRow() > r.counter + 1)
        std::abort();
    const QByteArray written = Ov2FileBytes(table, 1, table.lastRow(), u',');
    PoiTable again;
    ReadOv2(written, again, u',');
    PoiTable twice;
    ReadOv2(Ov2FileBytes(again, 1, again.lastRow(), u','), twice, u',');
    if (again.lastRow() != twice.lastRow())
        std::abort();
    for (int row = 1; row <= again.lastRow(); ++row)
        for (int f = 1; f < 4; ++f)
            if (again.field(row, f) != twice.field(row, f))
                std::abort();
    return 0;
}
