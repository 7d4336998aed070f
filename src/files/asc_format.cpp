#include "files/asc_format.h"

#include "files/text_codecs.h"

namespace orvalis {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView Trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && IsBlank(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && IsBlank(v.back()))
        v.chop(1);
    return v;
}

// The name's bytes: between its quotes with doubled quotes made single, or as
// it stands when it has none (a name whose closing quote is missing keeps what follows its opening one).
QByteArray NameBytes(QByteArrayView field)
{
    if (!field.startsWith('"'))
        return field.toByteArray();
    field = field.sliced(1);
    if (field.endsWith('"'))
        field.chop(1);
    return field.toByteArray().replace("\"\"", "\"");
}

// The fields of one line: false when it is no POI.
bool ParseLine(QByteArrayView line, QByteArrayView *lon, QByteArrayView *lat, QByteArrayView *name)
{
    const qsizetype first = line.indexOf(',');
    if (first < 0)
        return false;
    const qsizetype second = line.indexOf(',', first + 1);
    *lon = Trimmed(line.first(first));
    *lat = Trimmed(second < 0 ? line.sliced(first + 1) : line.sliced(first + 1, second - first - 1));
    *name = second < 0 ? QByteArrayView() : Trimmed(line.sliced(second + 1));
    return CoordinateNumber(*lon) && CoordinateNumber(*lat);
}

}  // namespace

void ForEachAscRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                      const CoordinateFilter &wanted)
{
    ReadResult read;
    in.fill(3);
    const bool marked = in.view().startsWith("\xEF\xBB\xBF");
    if (marked)
        in.consume(3);
    int number = 0;
    for (;;) {
        qsizetype end = in.view().indexOf('\n');
        while (end < 0 && !in.atEnd() && in.more())
            end = in.view().indexOf('\n');
        if (end < 0 && in.held() == 0)
            break;
        const qsizetype length = end < 0 ? in.held() : end + 1;
        QByteArrayView line = in.view().first(end < 0 ? in.held() : end);
        if (line.endsWith('\r'))
            line.chop(1);
        line = Trimmed(line);
        if (!line.isEmpty() && !line.startsWith(';')) {
            ++number;
            QByteArrayView lon, lat, name;
            if (!ParseLine(line, &lon, &lat, &name)) {
                if (read.skipped++ == 0)
                    read.firstSkipped = number;
            } else {
                ++read.counter;
                if (!wanted || wanted(lat, lon)) {
                    PoiRecord r;
                    r.lat = lat.toByteArray();
                    r.lon = lon.toByteArray();
                    const QByteArray bytes = NameBytes(name);
                    r.name = marked ? DecodeUtf8(bytes) : DecodeFileText(bytes);
                    visit(std::move(r));
                }
            }
        }
        in.consume(length);
        if (end < 0 && in.atEnd())
            break;
    }
    if (result)
        *result = read;
}

bool AppendAscRecord(QByteArray &out, const PoiRecord &record)
{
    const QByteArray lat = PlainDecimalText(record.lat), lon = PlainDecimalText(record.lon);
    if (lat.isEmpty() || lon.isEmpty())
        return false;
    QString name = JoinedName(record);
    name.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
    out += lon + ',' + lat + ",\"" + TextBytes(name).replace("\"", "\"\"") + "\"\r\n";
    return true;
}

}  // namespace orvalis
