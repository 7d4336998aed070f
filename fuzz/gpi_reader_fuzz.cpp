// The GPI reader on any bytes: no crash, no read past them, no more POIs than
// their records can hold; what it reads, written and read again, settles
// after one pass (the writer's category aside).
#include "files/gpi_format.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;

namespace {

std::vector<PoiRecord> Read(QByteArrayView bytes, GpiRead *status = nullptr)
{
    std::vector<PoiRecord> records;
    BlockReader in(bytes);
    const GpiRead s = ForEachGpiRecord(in, [&](PoiRecord &&r) { records.push_back(std::move(r)); });
    if (status)
        *status = s;
    return records;
}

// Written with one category; none when a text had to be cut.
std::optional<QByteArray> Written(const std::vector<PoiRecord> &records)
{
    GpiWriter writer({QStringLiteral("fuzz"), std::nullopt, QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)});
    for (const PoiRecord &r : records)
        writer.append(r);
    QByteArray out;
    if (writer.finish([&](QByteArray &b) { out += b; }) != GpiWriter::Finish::Ok)
        std::abort();
    if (writer.textsCut() > 0)
        return std::nullopt;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    GpiRead status = GpiRead::Ok;
    const std::vector<PoiRecord> first = Read(bytes, &status);
    // A waypoint record takes at least 12 bytes of header and 11 of fields.
    if (first.size() * 23 > size || (status == GpiRead::NotGpi && !first.empty()))
        std::abort();
    const std::optional<QByteArray> once = Written(first);
    if (!once)
        return 0;
    const std::vector<PoiRecord> second = Read(*once, &status);
    if (status != GpiRead::Ok || second.size() > first.size())
        std::abort();
    const std::optional<QByteArray> twice = Written(second);
    if (twice && Read(*twice) != second)
        std::abort();
    return 0;
}
