#pragma once

#include "files/block_reader.h"
#include "files/poi_codec.h"
#include "files/record_writer.h"

#include <QByteArray>
#include <QString>

namespace orvalis::testing {

// A format of the table, by its --from/--to word.
inline const PoiCodec &Codec(const char *name)
{
    return *CodecNamed(QString::fromLatin1(name));
}

// The records of bytes as a command reads them: the head's namespaces, then
// every record; `ok` receives whether the bytes were of the format.
inline PoiRecords ReadRecords(const PoiCodec &codec, BlockReader &in, ReadResult *result = nullptr, bool *ok = nullptr,
                              DeferTexts defer = DeferTexts::No)
{
    PoiRecords out;
    out.namespaces = codec.headNamespaces(in);
    const bool read = codec.readRecords(in, [&](PoiRecord &&r) { out.records.push_back(std::move(r)); }, result, {}, defer);
    if (ok)
        *ok = read;
    return out;
}
inline PoiRecords ReadRecords(const PoiCodec &codec, QByteArrayView bytes, ReadResult *result = nullptr, bool *ok = nullptr)
{
    BlockReader in(bytes);
    return ReadRecords(codec, in, result, ok);
}

// The bytes the command's writer makes of the records; `written` receives how many it holds.
inline QByteArray RecordBytes(const PoiCodec &codec, const PoiRecords &records, int *written = nullptr, bool strictGpx = false)
{
    QByteArray out;
    RecordWriteOptions options;
    options.strictGpx = strictGpx;
    RecordWriter writer(codec, options,
                        {[&](QByteArray &bytes) {
                             out += bytes;
                             bytes.clear();
                         },
                         [&](qint64 at, const QByteArray &bytes) { out.replace(at, bytes.size(), bytes); }});
    writer.start(records.namespaces);
    for (const PoiRecord &r : records.records)
        writer.append(r);
    const int count = writer.finish();
    if (written)
        *written = count;
    return out;
}

}  // namespace orvalis::testing
