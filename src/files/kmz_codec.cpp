// KMZ: a zip archive of a KML file (and perhaps its images), read and written
// through the KML codec.
#include "files/kmz_format.h"
#include "files/poi_codec.h"
#include "files/table_records.h"

#include <QCoreApplication>
#include <memory>

namespace orvalis {

namespace {

const PoiCodec &Kml()
{
    return *CodecNamed(u"kml");
}

// The KML waits in the writer's spool; libzip deflates it into the output at
// the end and writes the local header again once its sizes are known.
class KmzRecordWriter final : public FormatRecordWriter {
public:
    explicit KmzRecordWriter(const QDateTime &created) : writer_(created) {}
    void start(WriterBuffer &, const XmlNamespaces &namespaces) override { writer_.start(namespaces); }
    bool append(WriterBuffer &, const PoiRecord &r) override { return writer_.append(r); }
    void finish(WriterBuffer &out) override
    {
        out.flush();
        finished_ = writer_.finish([&](QByteArray &bytes) { out.bytes += bytes; bytes.clear(); out.flush(); },
                                   [&](qint64 at, const QByteArray &bytes) { out.writeAt(at, bytes); });
    }
    bool spoolFailed() const override { return finished_ == KmzWriter::Finish::TemporaryFileFailed; }
    QString failure() const override
    {
        return finished_ == KmzWriter::Finish::ZipFailed ? QCoreApplication::translate("Cli", "the KMZ archive could not be made") : QString();
    }

private:
    KmzWriter writer_;
    KmzWriter::Finish finished_ = KmzWriter::Finish::Ok;
};

class Kmz final : public PoiCodec {
public:
    Kmz() : PoiCodec("kmz", {"kmz"}, QStringLiteral("KMZ")) {}

    bool recognises(QByteArrayView data) const override { return LooksLikeZip(data); }
    const char *notOfFormat() const override { return QT_TRANSLATE_NOOP("Cli", "not a KMZ file (no zip archive)"); }

    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts defer) const override
    {
        const KmzRead status = ForEachKmzRecord(in, visit, wanted, defer);
        if (result)
            result->status = int(status);
        return status != KmzRead::NotZip;
    }
    std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &options) const override
    {
        return std::make_unique<KmzRecordWriter>(options.gpi.created);
    }
    bool writesBack() const override { return true; }

    // The window's table: the KML's, as the window reads a KML file.
    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        QByteArray kml;
        const KmzRead status = InflateKmzKml(data, &kml);
        if (status == KmzRead::Ok || status == KmzRead::Damaged)
            Kml().readTable(kml, table, separator, result);
        result->status = int(status);
        return status != KmzRead::NotZip;
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &options, int *written) const override
    {
        KmzWriter writer(options.gpi.created);
        const int n = ForEachRow(table, first, last, options.separator, [&](const PoiRecord &r) { return writer.append(r); });
        QByteArray bytes;
        writer.finish([&](QByteArray &b) { bytes += b; b.clear(); },
                      [&](qint64 at, const QByteArray &b) { bytes.replace(qsizetype(at), b.size(), b); });
        if (written)
            *written = n;
        return bytes;
    }
    // A placemark with a point takes at least 60 bytes of its KML: at most a
    // row for every 60 bytes the KML inflates to.
    qint64 countRows(int fd) const override
    {
        const qint64 kml = KmzKmlSize(fd);
        return kml < 0 ? -1 : kml / 60;
    }
    // The archive, the inflated KML (60 bytes and more a row, held twice while
    // read) and the rows as a GPX load holds them.
    LoadCost loadCost() const override { return {1.0, 177.0 + 2 * 60, 230.0 + 2 * 60}; }
    QString windowCannotRead() const override { return QStringLiteral("Impossible de lire le fichier kmz"); }

    ReadVerdict verdict(const ReadCheck &check) const override
    {
        const QString &file = check.file;
        switch (KmzRead(check.result.status)) {
        case KmzRead::Ok:
        case KmzRead::NotZip:
            return {};
        case KmzRead::NoKml:
            return {QCoreApplication::translate("Cli", "%1: the KMZ archive holds no KML file (doc.kml or a .kml at its top level)").arg(file), {}};
        case KmzRead::TooLarge:
            return {QCoreApplication::translate("Cli", "%1: the KMZ archive is larger than it may be, or its KML inflates too far (a zip bomb?)")
                        .arg(file),
                    {}};
        case KmzRead::Damaged:
            return {QCoreApplication::translate("Cli", "%1: damaged KMZ archive: its KML cannot be inflated whole").arg(file), {}};
        case KmzRead::NotKml:
            return {QCoreApplication::translate("Cli", "%1: the KML file in the KMZ archive is not a KML file").arg(file), {}};
        case KmzRead::TemporaryFileFailed:
            return {QCoreApplication::translate("Cli", "%1: cannot write a temporary file").arg(file), {}, 1};
        }
        return {};
    }
};

}  // namespace

const PoiCodec &KmzCodec()
{
    static const Kmz codec;
    return codec;
}

}  // namespace orvalis
