// The OV2 and GPX readers on two cores, forced on any input however small,
// must give exactly what one reader gives: the same count, rows and texts,
// and so must GPX readers that give back the pages they have read.
#include "files/gpx_format.h"
#include "files/ov2_format.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

using namespace orvalis;

namespace {

void Same(const ReadResult &a, const PoiTable &ta, const ReadResult &b, const PoiTable &tb)
{
    if (a.counter != b.counter || a.truncated != b.truncated || ta.lastRow() != tb.lastRow())
        std::abort();
    for (int row = 1; row <= ta.lastRow(); ++row)
        for (int f = 0; f < kFieldCount; ++f)
            if (ta.field(row, f) != tb.field(row, f))
                std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    PoiTable one, two;
    const ReadResult r1 = ReadOv2WithTwoReadersFrom(bytes, one, u',', std::numeric_limits<qint64>::max());
    const ReadResult r2 = ReadOv2WithTwoReadersFrom(bytes, two, u',', 0);
    Same(r1, one, r2, two);
    PoiTable g1, g2;
    const ReadResult s1 = ReadGpxWithTwoReadersFrom(bytes, g1, u',', std::numeric_limits<qsizetype>::max());
    const ReadResult s2 = ReadGpxWithTwoReadersFrom(bytes, g2, u',', 0);
    Same(s1, g1, s2, g2);
    // GPX readers that may give their pages back: the same rows, or (halves
    // that do not join) none and a request for the bytes again.
    QByteArray copy(bytes.data(), bytes.size());
    PoiTable g3;
    const ReadResult s3 = ReadGpxWithTwoReadersFrom(copy, g3, u',', 0, ReadPages::GivenBack);
    if (!s3.bytesNeededAgain)
        Same(s1, g1, s3, g3);
    else if (!g3.isEmptyForAdd())
        std::abort();
    return 0;
}
