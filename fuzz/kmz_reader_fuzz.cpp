// The KMZ reader on any bytes, with small limits: no crash, no read past
// them, never more KML than the limits let through; what it reads, written
// as a KMZ and read again, gives as many POIs.
#include "files/kmz_format.h"
#include "files/poi_codec.h"

#include <cstdint>
#include <cstdlib>

using namespace orvalis;

namespace {

KmzLimits Small()
{
    KmzLimits limits;
    limits.archiveBytes = 1 << 20;
    limits.entries = 64;
    limits.kmlBytes = 4 << 20;
    limits.freeBytes = 1 << 20;
    return limits;
}

std::vector<PoiRecord> Records(const QByteArray &kml)
{
    std::vector<PoiRecord> records;
    BlockReader in(kml);
    CodecNamed(u"kml")->readRecords(in, [&](PoiRecord &&r) { records.push_back(std::move(r)); }, nullptr);
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const KmzLimits limits = Small();
    QByteArray kml;
    const KmzRead status = InflateKmzKml(bytes, &kml, limits);
    if (kml.size() > std::max(limits.freeBytes, limits.ratio * qint64(size)) || (status == KmzRead::NotZip && !kml.isEmpty()))
        std::abort();
    if (status != KmzRead::Ok)
        return 0;
    const std::vector<PoiRecord> first = Records(kml);
    KmzWriter writer(QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));
    for (const PoiRecord &r : first)
        writer.append(r);
    QByteArray archive;
    if (writer.finish([&](QByteArray &b) { archive += b; b.clear(); },
                      [&](qint64 at, const QByteArray &b) { archive.replace(qsizetype(at), b.size(), b); }) != KmzWriter::Finish::Ok)
        std::abort();
    QByteArray again;
    if (InflateKmzKml(archive, &again) != KmzRead::Ok || Records(again).size() != size_t(writer.count()))
        std::abort();
    return 0;
}
