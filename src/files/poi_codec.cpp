#include "files/poi_codec.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace orvalis {

// Each format's module defines its codec.
const PoiCodec &Ov2Codec();
const PoiCodec &GpxCodec();
const PoiCodec &CsvCodec();
const PoiCodec &WindowCsvCodec();
const PoiCodec &GeoJsonCodec();
const PoiCodec &KmlCodec();
const PoiCodec &GpiCodec();
const PoiCodec &AscCodec();
const PoiCodec &KmzCodec();

const std::vector<const PoiCodec *> &PoiCodecs()
{
    static const std::vector<const PoiCodec *> codecs = {
        &Ov2Codec(), &GpxCodec(), &CsvCodec(), &WindowCsvCodec(), &GeoJsonCodec(), &KmlCodec(),
        &GpiCodec(),
        &AscCodec(),
        &KmzCodec(),
    };
    return codecs;
}

namespace {

bool Names(const QList<QByteArray> &names, QStringView word)
{
    for (const QByteArray &n : names)
        if (word.compare(QLatin1StringView(n), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// "a, b, c or d".
QString Listed(const QStringList &items, const QString &orWord)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.first(items.size() - 1).join(QStringLiteral(", ")) + u' ' + orWord + u' ' + items.last();
}

}  // namespace

const PoiCodec *CodecNamed(QStringView name)
{
    for (const PoiCodec *c : PoiCodecs())
        if (Names({c->name}, name) || Names(c->aliases, name))
            return c;
    return nullptr;
}

const PoiCodec *CodecOfExtension(QStringView extension)
{
    for (const PoiCodec *c : PoiCodecs())
        if (Names(c->extensions, extension))
            return c;
    return nullptr;
}

const PoiCodec *WindowCodecOfPath(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const PoiCodec *codec = dot < 0 ? nullptr : CodecOfExtension(QStringView(name).sliced(dot + 1));
    return codec && !codec->windowCannotRead().isEmpty() ? codec : nullptr;
}

QString CodecNames()
{
    QStringList names;
    for (const PoiCodec *c : PoiCodecs())
        names << QString::fromLatin1(c->name);
    return names.join(QStringLiteral(", "));
}

QString CodecExtensions(const QString &orWord)
{
    QStringList extensions;
    for (const PoiCodec *c : PoiCodecs())
        for (const QByteArray &e : c->extensions)
            extensions << u'.' + QString::fromLatin1(e);
    return Listed(extensions, orWord);
}

QString RecordFormatTitles(const QString &orWord)
{
    QStringList titles;
    for (const PoiCodec *c : PoiCodecs())
        if (c->hasRecords())
            titles << c->title;
    return Listed(titles, orWord);
}

bool PoiCodec::readRecords(BlockReader &, const std::function<void(PoiRecord &&)> &, ReadResult *, const CoordinateFilter &,
                           DeferTexts) const
{
    return false;
}

std::unique_ptr<FormatRecordWriter> PoiCodec::recordWriter(const RecordWriteOptions &) const
{
    return nullptr;
}

ReadResult ReadPoiData(const PoiCodec *codec, QByteArrayView data, PoiTable &table, QChar separator, ReadPages read)
{
    ReadResult result;
    if (codec && read == ReadPages::GivenBack)
        codec->readTableOnce(data, table, separator, &result);
    else if (codec)
        codec->readTable(data, table, separator, &result);
    table.squeeze();
    return result;
}

bool ReadPoiTable(const PoiCodec &codec, QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result)
{
    if (!codec.recognises(data) || !codec.readTable(data, table, separator, result))
        return false;
    table.squeeze();
    return true;
}

QString NotOfFormatMessage(const PoiCodec &codec, const QString &file)
{
    return QCoreApplication::translate("Cli", "%1: %2").arg(file, QCoreApplication::translate("Cli", codec.notOfFormat()));
}

QString LeftOutNote(const QString &file, int count, int first)
{
    return QCoreApplication::translate("Cli", "%1: %2 invalid records left out, the first is record %3").arg(file).arg(count).arg(first);
}

ReadVerdict BadRecordsVerdict(const ReadCheck &check, int count, const QString &failure)
{
    if (count == 0)
        return {};
    if (!check.skipInvalid)
        return {failure, {}};
    return {{}, LeftOutNote(check.file, count, check.result.firstSkipped)};
}

int RowsBetween(const PoiTable &table, int first, int last)
{
    return table.isEmptyForAdd() ? 0 : std::max(0, std::min(last, table.lastRow()) - std::max(first, 1) + 1);
}

std::function<void(PoiRecord &&)> WantedOnly(const std::function<void(PoiRecord &&)> &visit, const CoordinateFilter &wanted)
{
    return [&visit, &wanted](PoiRecord &&r) {
        if (!wanted || wanted(r.lat, r.lon))
            visit(std::move(r));
    };
}

}  // namespace orvalis
