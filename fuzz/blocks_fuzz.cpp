// Every record reader, read in blocks of a few bytes from a file, must give
// what it gives on the whole input in memory: the first byte picks the block size.
// The pieces leave their texts for the taker to decode, as the CLI's writer does.
#include "files/block_reader.h"
#include "support/records.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace orvalis;
using namespace orvalis::testing;

namespace {

struct Read {
    std::vector<PoiRecord> records;
    XmlNamespaces namespaces;
    bool ok = false;
    int counter = 0, skipped = 0;
    bool truncated = false;
    bool operator==(const Read &) const = default;
};

Read ReadAll(const PoiCodec &codec, BlockReader &in, DeferTexts defer = DeferTexts::No)
{
    Read out;
    ReadResult result;
    PoiRecords read = ReadRecords(codec, in, &result, &out.ok, defer);
    for (PoiRecord &r : read.records) {
        DecodeDeferredTexts(r);
        out.records.push_back(std::move(r));
    }
    out.namespaces = std::move(read.namespaces);
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
    // One file for every run, emptied and written again: making and dropping
    // a file a run costs more than most readings.
    static const int fd = memfd_create("blocks", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, bytes.data(), size_t(bytes.size()), 0) != bytes.size())
        std::abort();
    for (const PoiCodec *codec : PoiCodecs()) {
        if (!codec->hasRecords())
            continue;
        BlockReader whole(bytes);
        const Read expected = ReadAll(*codec, whole);
        lseek(fd, 0, SEEK_SET);
        BlockReader pieces(fd, block);
        if (!(ReadAll(*codec, pieces, DeferTexts::Yes) == expected))
            std::abort();
    }
    return 0;
}
