// Garmin GPI, the navigators' binary POI file: a category of POIs with their
// alerts, addresses and contacts, in Garmin's coordinate units.
#include "files/gpi_format.h"
#include "files/poi_codec.h"
#include "files/table_records.h"
#include "files/xml_scan.h"

#include <QCoreApplication>
#include <memory>
#include <sys/stat.h>

namespace orvalis {

namespace {

// Every record waits in the writer's spool; the file is written at the end.
class GpiRecordWriter final : public FormatRecordWriter {
public:
    explicit GpiRecordWriter(const GpiWriteOptions &options) : writer_(options) {}
    bool append(WriterBuffer &, const PoiRecord &r) override { return writer_.append(r); }
    void finish(WriterBuffer &out) override
    {
        finished_ = writer_.finish([&](QByteArray &bytes) {
            out.bytes += bytes;
            bytes.clear();
            out.flushIfFull();
        });
    }
    bool spoolFailed() const override { return finished_ == GpiWriter::Finish::TemporaryFileFailed; }
    QString failure() const override
    {
        return finished_ == GpiWriter::Finish::TooLarge
                   ? QCoreApplication::translate("Cli", "too many POIs for one GPI file (it holds at most 4 GiB)")
                   : QString();
    }
    QString note() const override
    {
        return writer_.textsCut() > 0
                   ? QCoreApplication::translate("Cli", "%1 texts longer than a GPI file holds (65,535 bytes) were cut").arg(writer_.textsCut())
                   : QString();
    }

private:
    GpiWriter writer_;
    GpiWriter::Finish finished_ = GpiWriter::Finish::Ok;
};

class Gpi final : public PoiCodec {
public:
    Gpi() : PoiCodec("gpi", {"gpi"}, QStringLiteral("GPI")) {}

    bool recognises(QByteArrayView data) const override { return LooksLikeGpi(data); }
    const char *notOfFormat() const override { return QT_TRANSLATE_NOOP("Cli", "not a GPI file"); }

    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts) const override
    {
        ReadResult read;
        const GpiRead status = ForEachGpiRecord(in, visit, &read, wanted, &read.codePage);
        read.status = int(status);
        if (result)
            *result = read;
        return status != GpiRead::NotGpi;
    }
    std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &options) const override
    {
        return std::make_unique<GpiRecordWriter>(options.gpi);
    }

    // The window's table: "name - description", as for GPX.
    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        BlockReader in(data);
        ReadResult rows;
        const bool ok = readRecords(in, [&](PoiRecord &&r) { xml::AppendPoi(table, rows, r.lat, r.lon, JoinedName(r), separator); },
                                    result, {}, DeferTexts::No);
        result->counter = rows.counter;
        return ok;
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &options, int *written) const override
    {
        auto writer = recordWriter({false, options.gpi});
        QByteArray bytes;
        WriterBuffer out({[&](QByteArray &b) { bytes += b; b.clear(); }, {}});
        const int n = ForEachRow(table, first, last, options.separator, [&](const PoiRecord &r) { return writer->append(out, r); });
        writer->finish(out);
        out.flush();
        if (written)
            *written = n;
        return bytes;
    }
    // At most one POI for every 23 bytes (the smallest waypoint record).
    qint64 countRows(int fd) const override
    {
        struct stat st;
        return fstat(fd, &st) != 0 ? -1 : qint64(st.st_size) / 23;
    }
    // Not measured: the rows as an OV2 load holds them, the file's bytes
    // held once and its texts made again.
    LoadCost loadCost() const override { return {2.0, 188.0, 230.0}; }
    QString windowCannotRead() const override { return QStringLiteral("Impossible de lire le fichier gpi"); }

    ReadVerdict verdict(const ReadCheck &check) const override
    {
        const ReadResult &r = check.result;
        switch (GpiRead(r.status)) {
        case GpiRead::Ok:
        case GpiRead::NotGpi:
            return {};
        case GpiRead::UnknownCodePage:
            return {QCoreApplication::translate("Cli", "%1: texts in code page %2, which cannot be read (an encrypted file?)")
                        .arg(check.file)
                        .arg(r.codePage),
                    {}};
        case GpiRead::TemporaryFileFailed:
            return {QCoreApplication::translate("Cli", "%1: cannot write a temporary file").arg(check.file), {}, 1};
        case GpiRead::Damaged:
            break;
        }
        if (!check.skipInvalid)
            return {QCoreApplication::translate("Cli", "%1: damaged GPI file: the record after POI %2 is cut or its lengths are wrong")
                        .arg(check.file)
                        .arg(r.counter),
                    {}};
        return {{}, QCoreApplication::translate("Cli", "%1: damaged GPI file: what follows POI %2 left out").arg(check.file).arg(r.counter)};
    }
};

}  // namespace

const PoiCodec &GpiCodec()
{
    static const Gpi codec;
    return codec;
}

}  // namespace orvalis
