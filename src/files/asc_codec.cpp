// TomTom ASC, the navigators' text POI file: `longitude,latitude,"name"` a line.
#include "files/asc_format.h"
#include "files/poi_codec.h"
#include "files/table_records.h"
#include "files/xml_scan.h"

#include <QCoreApplication>
#include <memory>

namespace orvalis {

namespace {

class AscRecordWriter final : public FormatRecordWriter {
public:
    bool append(WriterBuffer &out, const PoiRecord &r) override { return AppendAscRecord(out.bytes, r); }
};

class Asc final : public PoiCodec {
public:
    Asc() : PoiCodec("asc", {"asc"}, QStringLiteral("ASC")) {}

    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts) const override
    {
        ForEachAscRecord(in, visit, result, wanted);
        return true;
    }
    std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &) const override
    {
        return std::make_unique<AscRecordWriter>();
    }

    // The window's table: the name, as OV2 gives it.
    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        BlockReader in(data);
        ReadResult rows;
        ForEachAscRecord(in, [&](PoiRecord &&r) { xml::AppendPoi(table, rows, r.lat, r.lon, r.name, separator); }, result);
        result->counter = rows.counter;
        return true;
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &options, int *written) const override
    {
        QByteArray bytes;
        const int n = ForEachRow(table, first, last, options.separator, [&](const PoiRecord &r) { return AppendAscRecord(bytes, r); });
        if (written)
            *written = n;
        return bytes;
    }
    // At most a row a line.
    qint64 countRows(int fd) const override
    {
        PreadWalk walk(fd);
        qint64 offset = 0, lines = 1;
        for (;;) {
            QByteArrayView v;
            if (!walk.at(offset, PreadWalk::kBlockBytes, &v))
                return -1;
            lines += v.count('\n');
            if (v.size() < PreadWalk::kBlockBytes)
                return lines;
            offset += v.size();
        }
    }
    // Not measured: a text file of rows, as a GPX load holds them.
    LoadCost loadCost() const override { return {1.57, 177.0, 230.0}; }
    QString windowCannotRead() const override { return QStringLiteral("Impossible de lire le fichier asc"); }

    // Lines that are no POI stop the command, or are left out and counted.
    ReadVerdict verdict(const ReadCheck &check) const override
    {
        const ReadResult &r = check.result;
        return BadRecordsVerdict(
            check, r.skipped,
            QCoreApplication::translate("Cli", "%1: ASC line %2 (not counting comments and blank lines) has no two numbers for coordinates")
                .arg(check.file)
                .arg(r.firstSkipped));
    }
};

}  // namespace

const PoiCodec &AscCodec()
{
    static const Asc codec;
    return codec;
}

}  // namespace orvalis
