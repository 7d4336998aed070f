// OV2, the navigators' binary POI file: one text a POI, coordinates in
// hundred-thousandths of a degree.
#include "files/ov2_format.h"
#include "files/poi_codec.h"
#include "files/text_codecs.h"

#include <QCoreApplication>
#include <memory>

namespace orvalis {

namespace {

// Simple records as they come; the skipper record that encloses them, with
// their bounds, is written over the first 21 bytes at the end.
class Ov2RecordWriter final : public FormatRecordWriter {
public:
    void start(WriterBuffer &out, const XmlNamespaces &) override { out.bytes += QByteArray(21, '\0'); }
    bool append(WriterBuffer &out, const PoiRecord &r) override
    {
        if (r.lat.isEmpty() || r.lon.isEmpty())
            return false;
        // One text a POI: the name, with its description joined as the window does.
        writer_.append(out.bytes, Ov2CoordinateValue(r.lat), Ov2CoordinateValue(r.lon), TextBytes(JoinedName(r)));
        return true;
    }
    void finish(WriterBuffer &out) override
    {
        out.flush();
        out.writeAt(0, writer_.header());
    }

private:
    Ov2Writer writer_;
};

class Ov2 final : public PoiCodec {
public:
    Ov2() : PoiCodec("ov2", {"ov2"}, QStringLiteral("OV2")) {}

    const char *notOfFormat() const override { return QT_TRANSLATE_NOOP("Cli", "not an OV2 file"); }

    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts) const override
    {
        ForEachOv2Record(in, visit, result, wanted);
        return true;
    }
    std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &) const override
    {
        return std::make_unique<Ov2RecordWriter>();
    }
    bool writesBack() const override { return true; }

    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        *result = ReadOv2(data, table, separator);
        return true;
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &options, int *written) const override
    {
        if (written)
            *written = RowsBetween(table, first, last);
        return Ov2FileBytes(table, first, last, options.separator);
    }
    bool readTableCoordinates(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result,
                              DescribeRows *describe) const override
    {
        auto names = std::make_shared<std::vector<QByteArrayView>>();
        *result = ReadOv2Coordinates(data, table, separator, *names);
        *describe = [names, &table](const std::vector<int> &rows) { StoreOv2Names(table, *names, rows); };
        return true;
    }
    qint64 rowsAtMost(QByteArrayView data) const override { return CountOv2Records(data); }
    QString windowCannotRead() const override { return QStringLiteral("Impossible de lire le fichier ov2 à importer"); }

    // Bytes that are no OV2 record: a file that holds none is no OV2 file, one
    // that holds some is damaged after them.
    ReadVerdict verdict(const ReadCheck &check) const override
    {
        const ReadResult &r = check.result;
        if (check.inputBytes <= 0 || !(r.truncated || r.unknownBytes > 0))
            return {};
        if (check.empty)
            return {NotOfFormatMessage(*this, check.file), {}};
        if (!check.skipInvalid)
            return {QCoreApplication::translate("Cli", "%1: damaged OV2 file: the record after POI %2 is no OV2 record")
                        .arg(check.file)
                        .arg(r.counter),
                    {}};
        return {{},
                QCoreApplication::translate("Cli", "%1: damaged OV2 file: %2 bytes that are no OV2 record left out")
                    .arg(check.file)
                    .arg(r.unknownBytes)};
    }
};

}  // namespace

const PoiCodec &Ov2Codec()
{
    static const Ov2 codec;
    return codec;
}

}  // namespace orvalis
