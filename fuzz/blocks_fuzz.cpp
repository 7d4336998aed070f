// Every record reader, read in blocks of a few bytes from a file, must give
// what it gives on the whole input in memory: the first byte picks the block size.
// The pieces leave their texts for the taker to decode, as the CLI's writer does.
#include "files/block_reader.h"
#include "files/gpx_format.h"
#include "files/record_writer.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace orvalis;

namespace {

struct Read {
    std::vector<PoiRecord> records;
    XmlNamespaces namespaces;
    bool ok = false;
    int counter = 0, skipped = 0;
    bool truncated = false;
    bool operator==(const Read &) const = default;
};

Read ReadAll(PoiFormat format, BlockReader &in, DeferTexts defer = DeferTexts::No)
{
    Read out;
    ReadResult result;
    out.ok = ForEachPoiRecord(
        format, in, [&](XmlNamespaces &&ns) { out.namespaces = std::move(ns); },
        [&](PoiRecord &&r) {
            DecodeDeferredTexts(r);
            r.deferredTrusted = false;
            out.records.push_back(std::move(r));
        },
        &result, {}, defer);
    out.counter = result.counter;
    out.skipped = result.skipped;
    out.truncated = result.truncated;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype block = 1 + data[0] % 64;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
    const int fd = memfd_create("blocks", MFD_CLOEXEC);
    if (fd < 0 || write(fd, bytes.data(), size_t(bytes.size())) != bytes.size())
        std::abort();
    for (const PoiFormat format : {PoiFormat::Gpx, PoiFormat::Ov2, PoiFormat::Kml, PoiFormat::GeoJson, PoiFormat::Csv}) {
        BlockReader whole(bytes);
        const Read expected = ReadAll(format, whole);
        lseek(fd, 0, SEEK_SET);
        BlockReader pieces(fd, block);
        if (!(ReadAll(format, pieces, DeferTexts::Yes) == expected))
            std::abort();
    }
    close(fd);
    return 0;
}
