#include "files/csv_format.h"

#include "files/text_codecs.h"
#include "geo/decimal_entry.h"

#include <QIODevice>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace orvalis {

namespace {
QByteArray CsvRowBytes(const PoiTable &table, int first, int last, bool fits, bool *readsBack = nullptr);
}

QByteArray CsvFileBytes(const PoiTable &table, int first, int last)
{
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    auto usable = [&](int row) {
        return !table.fieldIsEmpty(row, FieldLongitude) && !table.fieldIsEmpty(row, FieldDescription);
    };
    static constexpr int kColumns[] = {FieldLatitude, FieldLongitude, FieldDescription, FieldDistance, FieldCap};
    // The file is Windows-1252 when every text fits it; 8-bit texts always do.
    bool fits = true;
    for (int row = first; row <= last && fits; ++row)
        if (usable(row))
            for (int f : kColumns)
                table.visitFieldRaw(row, f, [](const char *, qsizetype) {},
                                    [&](QStringView text) { fits = fits && FitsWindows1252(text.toString()); });
    bool readsBack = true;
    QByteArray out = CsvRowBytes(table, first, last, fits, &readsBack);
    // A field whose Windows-1252 bytes would read as other text ("Ã©" reads "é")
    // sends the whole file out as UTF-8 with its mark, which readers take whole.
    if (fits && !readsBack)
        out = CsvRowBytes(table, first, last, false);
    return out;
}

namespace {

QByteArray CsvRowBytes(const PoiTable &table, int first, int last, bool fits, bool *readsBack)
{
    auto usable = [&](int row) {
        return !table.fieldIsEmpty(row, FieldLongitude) && !table.fieldIsEmpty(row, FieldDescription);
    };
    static constexpr int kColumns[] = {FieldLatitude, FieldLongitude, FieldDescription, FieldDistance, FieldCap};
    QByteArray out;
    if (!fits)
        out = "\xEF\xBB\xBF";
    for (int row = first; row <= last; ++row) {
        if (!usable(row))
            continue;
        for (int f : kColumns) {
            // Coordinates with a point; no ';' inside a description.
            const char from = f == FieldDescription ? ';' : f <= FieldLongitude ? ',' : '\0';
            const char to = f == FieldDescription ? ' ' : '.';
            table.visitFieldRaw(
                row, f,
                [&](const char *bytes, qsizetype size) {
                    if (fits) {
                        const qsizetype at = out.size();
                        out.append(bytes, size);
                        if (from != '\0')
                            std::replace(out.begin() + at, out.end(), from, to);
                        if (readsBack && *readsBack && !ReadsAsWindows1252(QByteArrayView(out).sliced(at)))
                            *readsBack = false;
                    } else {
                        AppendWindows1252AsUtf8(out, QByteArrayView(bytes, size), from, to);
                    }
                },
                [&](QStringView view) {
                    QString text = view.toString();
                    if (from != '\0')
                        text.replace(QLatin1Char(from), QLatin1Char(to));
                    const QByteArray bytes = fits ? EncodeWindows1252(text) : text.toUtf8();
                    if (fits && readsBack && !ReadsAsWindows1252(bytes))
                        *readsBack = false;
                    out += bytes;
                });
            out += "; ";
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace

namespace {

// The records of a CSV text, fields unquoted.
QList<QStringList> CsvRecords(const QString &text, QChar delimiter)
{
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (ch == u'"') {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == u'"' && field.isEmpty()) {
            quoted = true;  // only at a field's start: elsewhere a quote is text
            any = true;
        } else if (ch == delimiter) {
            fields << field;
            field.clear();
            any = true;
        } else if (ch == u'\n' || ch == u'\r') {
            if (any || !field.isEmpty()) {
                fields << field;
                records << fields;
            }
            fields.clear();
            field.clear();
            any = false;
            if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            field += ch;
            any = true;
        }
    }
    if (any || !field.isEmpty()) {
        fields << field;
        records << fields;
    }
    return records;
}

int ColumnOf(const QStringList &header, std::initializer_list<const char *> names)
{
    for (int i = 0; i < header.size(); ++i)
        for (const char *n : names)
            if (header[i].trimmed().compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
                return i;
    return -1;
}

// A CSV file cut into records: with the UTF-8 mark the whole file is UTF-8;
// otherwise the records are cut on the bytes (one character each) and every
// field decided on its own. ',' or ';' between fields, the one the first line has more of.
struct CsvText {
    explicit CsvText(QByteArrayView data)
        : marked(data.startsWith("\xEF\xBB\xBF")),
          text(marked ? DecodeUtf8(data.sliced(3)) : QString::fromLatin1(data))
    {
        const QString firstLine = text.left(text.indexOf(u'\n'));
        delimiter = firstLine.count(u';') > firstLine.count(u',') ? u';' : u',';
        records = CsvRecords(text, delimiter);
    }
    QString decoded(const QString &field) const { return marked || field.isEmpty() ? field : DecodeFileText(field.toLatin1()); }

    bool marked;
    QString text;
    QChar delimiter;
    QList<QStringList> records;
};

}  // namespace

std::optional<long double> ParseCoordinateText(const QString &input)
{
    const QString text = input.trimmed();
    if (auto v = ParseDecimal(text, u'.'))
        return v;
    if (auto v = ParseDecimal(text, u','))
        return v;
    // Degrees, minutes and seconds with a hemisphere letter before or after:
    // "N48 51.123", "48°51'07\"N", "48 51 07 N", "W 2° 20,5'".
    QString t = text.toUpper();
    int sign = 1;
    bool hemisphere = false;
    for (const QChar h : {t.isEmpty() ? QChar() : t.front(), t.isEmpty() ? QChar() : t.back()}) {
        if (h == u'N' || h == u'E' || h == u'S' || h == u'W' || h == u'O') {
            if (hemisphere)
                return std::nullopt;  // a letter at both ends
            hemisphere = true;
            sign = (h == u'S' || h == u'W' || h == u'O') ? -1 : 1;
        }
    }
    if (hemisphere) {
        if (t.front().isLetter())
            t.remove(0, 1);
        else
            t.chop(1);
    }
    for (QChar &c : t)
        if (c == u'°' || c == u'\'' || c == u'"' || c == u'′' || c == u'″' || c == u'º' || c == u':')
            c = u' ';
    const QStringList parts = t.simplified().split(u' ', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 3)
        return std::nullopt;
    long double value = 0, scale = 1;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        auto v = ParseDecimal(parts[i], u'.');
        if (!v)
            v = ParseDecimal(parts[i], u',');
        // Only the first part carries a sign; minutes and seconds lie in [0, 60).
        if (!v || (i > 0 && (*v < 0 || *v >= 60 || parts[i].startsWith(u'-'))))
            return std::nullopt;
        if (i == 0 && *v < 0) {
            if (hemisphere)
                return std::nullopt;
            sign = -1;
            v = -*v;
        }
        value += *v / scale;
        scale *= 60;
    }
    if (parts.size() == 1 && !hemisphere)
        return std::nullopt;  // a plain number was read above
    return sign * value;
}

namespace {

// A coordinate text as the table holds it: the source's own decimal text, or
// degrees and minutes turned into decimal degrees.
QString CoordinateCell(const QString &text, QChar separator)
{
    const QString t = text.trimmed();
    QString decimal = t;
    if (!ParseDecimal(t, u'.') && !ParseDecimal(t, u','))
        decimal = QString::number(static_cast<double>(*ParseCoordinateText(t)), 'f', 6);
    return ToLocaleSeparator(decimal, separator).left(9);
}

}  // namespace

namespace {

// A first record of names that are no coordinates is a header naming other
// columns (grid eastings and northings, say): guessing a layout would give wrong places.
bool NamesOtherColumns(const QStringList &first)
{
    int words = 0, numbers = 0;
    for (const QString &f : first) {
        const QString t = f.trimmed();
        if (ParseDecimal(t, u'.') || ParseDecimal(t, u','))
            ++numbers;
        else if (!t.isEmpty())
            ++words;
    }
    return numbers == 0 && words >= 2;
}

// Without a header a record says the latitude comes first when its second
// column lies beyond ±90 (only a longitude can) and its first within.
bool SaysLatitudeFirst(const QString &first, const QString &second)
{
    const auto a = ParseCoordinateText(first), b = ParseCoordinateText(second);
    return a && b && std::fabs(static_cast<double>(*b)) > 90 && std::fabs(static_cast<double>(*a)) <= 90;
}

}  // namespace

ReadResult ReadCsv(QByteArrayView data, PoiTable &table, QChar separator)
{
    ReadResult result;
    CsvText csv(data);
    QList<QStringList> &records = csv.records;
    const QChar delimiter = csv.delimiter;
    auto decoded = [&](const QString &field) { return csv.decoded(field); };
    int lat = -1, lon = -1, name = -1, desc = -1;
    if (!records.isEmpty()) {
        const QStringList &header = records.first();
        lat = ColumnOf(header, {"lat", "latitude"});
        lon = ColumnOf(header, {"lon", "lng", "long", "longitude"});
        name = ColumnOf(header, {"name", "title", "label"});
        desc = ColumnOf(header, {"desc", "description", "comment", "cmt"});
    }
    const bool header = lat >= 0 && lon >= 0;
    const bool ownLayout = !header && delimiter == u';';
    if (!header && !records.isEmpty() && NamesOtherColumns(records.first())) {
        result.headerWithoutCoordinates = true;
        return result;
    }
    if (header) {
        records.removeFirst();
    } else if (delimiter == u',') {
        // The navigators' longitude first, unless the values say otherwise: a
        // second column beyond ±90 can only be a longitude.
        lon = 0, lat = 1, name = 2, desc = 3;
        for (const QStringList &r : std::as_const(records)) {
            if (SaysLatitudeFirst(decoded(r.value(0)), decoded(r.value(1)))) {
                lat = 0, lon = 1;
                break;
            }
        }
    } else {
        lat = 0, lon = 1, name = 2, desc = -1;
    }
    table.reserveRows(static_cast<int>(records.size()) + 1);
    int record = header ? 1 : 0;
    for (const QStringList &r : records) {
        ++record;
        const QString latText = decoded(r.value(lat)).trimmed(), lonText = decoded(r.value(lon)).trimmed();
        const bool latOk = ParseCoordinateText(latText).has_value();
        const bool lonOk = ParseCoordinateText(lonText).has_value();
        if (!latOk || !lonOk || result.counter == INT32_MAX - 1) {
            if (result.skipped++ == 0)
                result.firstSkipped = record;
            continue;
        }
        const int row = ++result.counter;
        table.setRowCount(row + 1);
        table.setNumber(row, row);
        table.setField(row, FieldLatitude, CoordinateCell(latText, separator));
        table.setField(row, FieldLongitude, CoordinateCell(lonText, separator));
        // This program's own files put "; " between fields: one space belongs to the separator.
        auto text = [&](int column) {
            QString t = column >= 0 ? decoded(r.value(column)) : QString();
            if (ownLayout && t.startsWith(u' '))
                t.remove(0, 1);
            return t;
        };
        const QString n = text(name);
        const QString d = desc != name ? text(desc) : QString();
        table.setField(row, FieldDescription, d.isEmpty() ? n : n + QStringLiteral(" - ") + d);
    }
    return result;
}

QByteArray CsvScriptBytes(const PoiTable &table, int first, int last, int *written)
{
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    auto quoted = [](const QString &field) {
        QString f = field;
        if (!f.contains(u',') && !f.contains(u'"') && !f.contains(u'\n') && !f.contains(u'\r'))
            return f;
        f.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return u'"' + f + u'"';
    };
    QString text = QStringLiteral("latitude,longitude,name\r\n");
    bool readsBack = true;
    int count = 0;
    for (int row = first; row <= last && !table.isEmptyForAdd(); ++row) {
        const QString name = table.field(row, FieldDescription);
        readsBack = readsBack && Utf8ReadsBack(name);
        text += PointDecimal(table.field(row, FieldLatitude)).trimmed() + u',' +
                PointDecimal(table.field(row, FieldLongitude)).trimmed() + u',' + quoted(name) + QStringLiteral("\r\n");
        ++count;
    }
    if (written)
        *written = count;
    // UTF-8; with its mark only where a name's UTF-8 would read as Windows-1252 without it.
    return (readsBack ? QByteArray() : QByteArray("\xEF\xBB\xBF")) + text.toUtf8();
}

namespace {

// A second column of a name the reader gives a field (a repeated "lat" or
// "desc") or a repeated name: ambiguous, and written back it would be read as
// the field. Left out.
bool ReservedColumn(const QStringList &header, int c)
{
    static const char *const names[] = {"lat", "latitude", "lon", "lng", "long", "longitude", "name", "title",
                                        "label", "desc", "description", "cmt", "comment", "ele", "elevation",
                                        "alt", "altitude", "time", "sym", "symbol", "type", "src", "source"};
    for (const char *n : names)
        if (header[c].compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    for (int k = 0; k < c; ++k)
        if (header[k].compare(header[c], Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

}  // namespace

namespace {

// One record of CSV bytes from `pos`, fields unquoted, cut on the bytes (the
// delimiter, quotes and line ends are ASCII, never part of a UTF-8 character);
// blank lines are passed over. False when nothing is left, or (not `final`)
// when the record may go on past the bytes: then `pos` stays where it was.
bool NextCsvRecord(QByteArrayView v, qsizetype &pos, char delimiter, bool final, std::vector<QByteArray> &fields,
                   size_t maxFields)
{
    fields.clear();
    QByteArray field;
    bool quoted = false, any = false;
    // Fields past the last one read are cut but not kept: a line of a hundred
    // million commas costs its bytes, not a hundred million fields.
    auto keep = [&] {
        if (fields.size() < maxFields)
            fields.push_back(field);
        field.clear();
    };
    const qsizetype n = v.size();
    for (qsizetype i = pos; i < n; ++i) {
        const char ch = v[i];
        if (quoted) {
            if (ch == '"' && i + 1 >= n && !final)
                break;  // a doubled quote or the end of the quotes: the next byte says
            if (ch == '"' && i + 1 < n && v[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                quoted = false;
            } else {
                // The quoted run up to the next quote in one piece.
                const void *q = std::memchr(v.data() + i, '"', size_t(n - i));
                const qsizetype stop = q ? static_cast<const char *>(q) - v.data() : n;
                field.append(v.data() + i, stop - i);
                i = stop - 1;
            }
        } else if (ch == '"' && field.isEmpty()) {
            quoted = true;  // only at a field's start: elsewhere a quote is text
            any = true;
        } else if (ch == delimiter) {
            keep();
            any = true;
        } else if (ch == '\n' || ch == '\r') {
            if (ch == '\r' && i + 1 >= n && !final)
                break;
            if (ch == '\r' && i + 1 < n && v[i + 1] == '\n')
                ++i;
            if (any || !field.isEmpty()) {
                keep();
                pos = i + 1;
                return true;
            }
            pos = i + 1;  // a blank line
        } else {
            // This byte (a quote inside a field is text) and the plain run after it.
            qsizetype stop = i + 1;
            while (stop < n && v[stop] != delimiter && v[stop] != '\n' && v[stop] != '\r' && v[stop] != '"')
                ++stop;
            field.append(v.data() + i, stop - i);
            i = stop - 1;
            any = true;
        }
    }
    if (!final)
        return false;
    if (any || !field.isEmpty()) {
        keep();
        pos = n;
        return true;
    }
    pos = n;
    return false;
}

// Columns past these are left out of a header (and of every record).
constexpr size_t kMaxCsvColumns = 4096;

// Records of the input one after the other, read on as needed.
class CsvRecordReader {
public:
    CsvRecordReader(BlockReader &in, char delimiter) : in_(in), delimiter_(delimiter) {}
    // Fields after the first `n` of a record are passed over.
    void setMaxFields(size_t n) { maxFields_ = n; }
    // False at the end; `raw`, when given, receives the record's bytes as they were.
    bool next(std::vector<QByteArray> &fields, QByteArray *raw = nullptr)
    {
        for (;;) {
            qsizetype pos = 0;
            const bool final = in_.atEnd();
            if (NextCsvRecord(in_.view(), pos, delimiter_, final, fields, maxFields_)) {
                if (raw)
                    *raw = in_.view().first(pos).toByteArray();
                in_.consume(pos);
                return true;
            }
            in_.consume(pos);
            if (final)
                return false;
            in_.more();
        }
    }

private:
    BlockReader &in_;
    char delimiter_;
    size_t maxFields_ = kMaxCsvColumns;
};

// The source's own text when it is a decimal; degrees and minutes as decimal degrees.
QByteArray ExactCoordinate(const QString &t, long double v)
{
    if (ParseDecimal(t, u'.') || ParseDecimal(t, u','))
        return QString(t).replace(u',', u'.').toLatin1();
    return QByteArray::number(static_cast<double>(v), 'f', 7);
}

}  // namespace

PoiRecords ReadCsvRecords(QByteArrayView data, ReadResult *result)
{
    PoiRecords out;
    BlockReader in(data);
    ForEachCsvRecord(in, [&](PoiRecord &&r) { out.records.push_back(std::move(r)); }, result);
    return out;
}

void ForEachCsvRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result)
{
    ReadResult read;
    auto finish = [&] {
        if (result)
            *result = read;
    };
    // The mark makes the whole file UTF-8; otherwise each field is decided on its own.
    in.fill(3);
    const bool marked = in.view().startsWith("\xEF\xBB\xBF");
    if (marked)
        in.consume(3);
    auto decoded = [&](const QByteArray &field) { return marked ? DecodeUtf8(field) : DecodeFileText(field); };
    // ',' or ';' between fields: the one the first line has more of.
    while (!in.view().contains('\n') && in.more()) {
    }
    const QByteArrayView firstLine = in.view().first(in.view().contains('\n') ? in.view().indexOf('\n') : in.held());
    const char delimiter = firstLine.count(';') > firstLine.count(',') ? ';' : ',';
    CsvRecordReader records(in, delimiter);
    std::vector<QByteArray> fields;
    if (!records.next(fields))
        return finish();
    QStringList header;
    for (const QByteArray &f : fields)
        header << decoded(f).trimmed();
    int lat = ColumnOf(header, {"lat", "latitude"}), lon = ColumnOf(header, {"lon", "lng", "long", "longitude"});
    int name = -1, desc = -1, cmt = -1, ele = -1, time = -1, sym = -1, type = -1, src = -1;
    const bool hasHeader = lat >= 0 && lon >= 0;
    const bool ownLayout = !hasHeader && delimiter == ';';
    std::unique_ptr<BlockReader> spooled;
    std::FILE *spool = nullptr;
    bool pending = true;  // the first record still to be read as data (no header)
    if (hasHeader) {
        pending = false;
        name = ColumnOf(header, {"name", "title", "label"}), desc = ColumnOf(header, {"desc", "description"});
        cmt = ColumnOf(header, {"cmt", "comment"}), ele = ColumnOf(header, {"ele", "elevation", "alt", "altitude"});
        time = ColumnOf(header, {"time"}), sym = ColumnOf(header, {"sym", "symbol"}), type = ColumnOf(header, {"type"});
        src = ColumnOf(header, {"src", "source"});
    } else {
        if (NamesOtherColumns(header)) {
            read.headerWithoutCoordinates = true;
            return finish();
        }
        header.clear();
        records.setMaxFields(4);
        if (ownLayout) {
            lat = 0, lon = 1, name = 2;
        } else {
            // The navigators' longitude first, unless the values say otherwise: a second
            // column beyond ±90 can only be a longitude. The records read to decide wait
            // in an unnamed temporary file, to be read again once it is decided.
            lon = 0, lat = 1, name = 2, desc = 3;
            spool = std::tmpfile();
            std::vector<QByteArray> look = fields;
            QByteArray raw;
            auto decisive = [&](const std::vector<QByteArray> &r) {
                return r.size() > 1 && SaysLatitudeFirst(decoded(r[0]), decoded(r[1]));
            };
            bool decided = decisive(look);
            if (!decided && spool) {
                while (records.next(look, &raw)) {
                    std::fwrite(raw.constData(), 1, size_t(raw.size()), spool);
                    if (decisive(look)) {
                        decided = true;
                        break;
                    }
                }
            }
            if (decided)
                lat = 0, lon = 1;
            if (spool && std::fflush(spool) == 0 && std::fseek(spool, 0, SEEK_SET) == 0)
                spooled = std::make_unique<BlockReader>(fileno(spool));
        }
    }
    const std::vector<int> known = {lat, lon, name, desc, cmt, ele, time, sym, type, src};
    records.setMaxFields(hasHeader ? size_t(header.size()) : 4);
    int number = hasHeader ? 1 : 0;
    auto deliver = [&](const std::vector<QByteArray> &r) {
        ++number;
        auto column = [&](int c) {
            QString t = c >= 0 && c < int(r.size()) ? decoded(r[size_t(c)]) : QString();
            // This program's own files put "; " between fields: one space belongs to the separator.
            if (ownLayout && t.startsWith(u' '))
                t.remove(0, 1);
            return t;
        };
        const QString latText = column(lat).trimmed(), lonText = column(lon).trimmed();
        const auto latValue = ParseCoordinateText(latText), lonValue = ParseCoordinateText(lonText);
        if (!latValue || !lonValue) {
            if (read.skipped++ == 0)
                read.firstSkipped = number;
            return;
        }
        PoiRecord p;
        p.lat = ExactCoordinate(latText, *latValue);
        p.lon = ExactCoordinate(lonText, *lonValue);
        p.name = column(name);
        p.desc = desc != name ? column(desc) : QString();
        p.cmt = column(cmt);
        p.ele = column(ele).trimmed();
        p.time = column(time).trimmed();
        p.sym = column(sym);
        p.type = column(type);
        p.src = column(src);
        for (int c = 0; c < header.size(); ++c)
            if (std::find(known.begin(), known.end(), c) == known.end() && !header[c].isEmpty() && !ReservedColumn(header, c))
                p.properties.push_back({header[c], JsonStringOf(column(c))});
        visit(std::move(p));
        ++read.counter;
    };
    if (pending)
        deliver(fields);
    if (spooled) {
        CsvRecordReader again(*spooled, delimiter);
        again.setMaxFields(4);
        while (again.next(fields))
            deliver(fields);
    }
    if (spool)
        std::fclose(spool);
    while (records.next(fields))
        deliver(fields);
    finish();
}

namespace {

// The columns any record fills, in a fixed order, then the properties' keys as they come.
const std::pair<const char *, QString PoiRecord::*> kCsvFields[] = {
    {"description", &PoiRecord::desc}, {"comment", &PoiRecord::cmt}, {"elevation", &PoiRecord::ele},
    {"time", &PoiRecord::time},        {"symbol", &PoiRecord::sym},  {"type", &PoiRecord::type},
    {"source", &PoiRecord::src}};

// A field as RFC 4180 writes it, in UTF-8: quoted when it holds a comma, a
// quote or a line break, its quotes doubled.
void AppendCsvField(QByteArray &out, QStringView f)
{
    const bool quoted = std::any_of(f.begin(), f.end(), [](QChar c) { return c == u',' || c == u'"' || c == u'\n' || c == u'\r'; });
    if (!quoted) {
        AppendUtf8(out, f);
        return;
    }
    out += '"';
    qsizetype from = 0;
    for (qsizetype q; (q = f.indexOf(u'"', from)) >= 0; from = q + 1) {
        AppendUtf8(out, f.sliced(from, q + 1 - from));
        out += '"';
    }
    AppendUtf8(out, f.sliced(from));
    out += '"';
}

}  // namespace

void CsvRecordWriter::observe(const PoiRecord &r)
{
    if (PlainDecimalText(r.lat).isEmpty() || PlainDecimalText(r.lon).isEmpty())
        return;
    for (size_t f = 0; f < std::size(kCsvFields); ++f)
        used_[f] = used_[f] || !(r.*(kCsvFields[f].second)).isEmpty();
    for (const PoiProperty &p : r.properties)
        if (!keys_.contains(p.key)) {
            keys_ << p.key;
            // The header's keys are texts too: every one must read back as it is.
            readsBack_ = readsBack_ && Utf8ReadsBack(p.key);
        }
    readsBack_ = readsBack_ && Utf8ReadsBack(r.name);
    for (const auto &field : kCsvFields)
        readsBack_ = readsBack_ && Utf8ReadsBack(r.*(field.second));
    for (const PoiProperty &p : r.properties)
        readsBack_ = readsBack_ && Utf8ReadsBack(PropertyText(p.json));
}

QByteArray CsvRecordWriter::head() const
{
    // UTF-8; with its mark only where a text's UTF-8 would read as Windows-1252 without it.
    QByteArray head = readsBack_ ? QByteArray() : QByteArray("\xEF\xBB\xBF");
    head += "latitude,longitude,name";
    for (size_t f = 0; f < std::size(kCsvFields); ++f)
        if (used_[f])
            head.append(',').append(kCsvFields[f].first);
    for (const QString &k : keys_)
        AppendCsvField(head.append(','), k);
    return head + "\r\n";
}

bool CsvRecordWriter::append(QByteArray &out, const PoiRecord &r) const
{
    const QByteArray lat = PlainDecimalText(r.lat), lon = PlainDecimalText(r.lon);
    if (lat.isEmpty() || lon.isEmpty())
        return false;
    out.append(lat).append(',').append(lon).append(',');
    AppendCsvField(out, r.name);
    for (size_t f = 0; f < std::size(kCsvFields); ++f)
        if (used_[f])
            AppendCsvField(out.append(','), r.*(kCsvFields[f].second));
    for (const QString &k : keys_) {
        QString value;
        for (const PoiProperty &p : r.properties)
            if (p.key == k)
                value = PropertyText(p.json);
        AppendCsvField(out.append(','), value);
    }
    out += "\r\n";
    return true;
}

QByteArray CsvRecordBytes(const PoiRecords &in, int *written)
{
    CsvRecordWriter writer;
    for (const PoiRecord &r : in.records)
        writer.observe(r);
    QByteArray out = writer.head();
    int count = 0;
    for (const PoiRecord &r : in.records)
        count += writer.append(out, r);
    if (written)
        *written = count;
    return out;
}

bool WriteCsv(QIODevice &device, const PoiTable &table)
{
    const QByteArray bytes = CsvFileBytes(table);
    return device.write(bytes) == bytes.size();
}

}  // namespace orvalis
