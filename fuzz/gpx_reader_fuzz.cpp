// The GPX reader on any bytes, then the writer: what is written is read back
// with the same coordinates and the description followed by " - ".
#include "files/gpx_format.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    PoiTable table;
    const ReadResult r = ReadGpx(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)), table, u'.');
    if (r.counter < 0 || static_cast<size_t>(r.counter) * 4 > size)
        std::abort();
    const QByteArray written = GpxFileBytes(table, 1, table.lastRow());
    PoiTable back;
    ReadGpx(written, back, u'.');
    int usable = 0;
    for (int row = 1; row <= table.lastRow(); ++row)
        usable += !table.field(row, FieldLatitude).isEmpty() && !table.field(row, FieldLongitude).isEmpty();
    if (back.lastRow() != std::max(usable, 1) && !(usable == 0 && back.lastRow() == 1))
        std::abort();
    return 0;
}
