#include "files/csv_format.h"

#include "files/text_codecs.h"
#include "geo/decimal_entry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

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

// A record's fields past this many are passed over: no table column comes
// from them, and a line of commas must not take 24 bytes a comma.
constexpr qsizetype kMostFields = 1024;

// The records of a CSV text, fields unquoted.
QList<QStringList> CsvRecords(const QString &text, QChar delimiter)
{
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false, any = false;
    const FieldRunScanner plain(delimiter.toLatin1());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (ch == u'"') {
                quoted = false;
            } else {
                // The quoted run up to the next quote in one piece.
                const qsizetype quote = text.indexOf(u'"', i);
                const qsizetype stop = quote < 0 ? text.size() : quote;
                field += QStringView(text).sliced(i, stop - i);
                i = stop - 1;
            }
        } else if (ch == u'"' && field.isEmpty()) {
            quoted = true;  // only at a field's start: elsewhere a quote is text
            any = true;
        } else if (ch == delimiter) {
            if (fields.size() < kMostFields)
                fields << field;
            field.clear();
            any = true;
        } else if (ch == u'\n' || ch == u'\r') {
            if (any || !field.isEmpty()) {
                if (fields.size() < kMostFields)
                    fields << field;
                records << fields;
            }
            fields.clear();
            field.clear();
            any = false;
            if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            // This character (a quote inside a field is text) and the plain run after it.
            const qsizetype stop = plain.runEnd(text, i + 1);
            field += QStringView(text).sliced(i, stop - i);
            i = stop - 1;
            any = true;
        }
    }
    if (any || !field.isEmpty()) {
        if (fields.size() < kMostFields)
            fields << field;
        records << fields;
    }
    return records;
}

// A CSV file cut into records: with the UTF-8 mark the whole file is UTF-8;
// otherwise the records are cut on the bytes (one character each) and every
// field decided on its own. The separator as CsvSeparator finds it.
struct CsvText {
    explicit CsvText(QByteArrayView data)
        : marked(data.startsWith("\xEF\xBB\xBF")),
          text(marked ? DecodeUtf8(data.sliced(3)) : QString::fromLatin1(data))
    {
        const QByteArrayView bytes = data.sliced(marked ? 3 : 0);
        delimiter = QLatin1Char(CsvSeparator(bytes.first(std::min(bytes.size(), std::max(kCsvSeparatorBytes, bytes.indexOf('\n'))))));
        records = CsvRecords(text, delimiter);
    }
    QString decoded(const QString &field) const { return marked || field.isEmpty() ? field : DecodeFileText(field.toLatin1()); }

    bool marked;
    QString text;
    QChar delimiter;
    QList<QStringList> records;
};

}  // namespace

char CsvSeparator(QByteArrayView head)
{
    struct Score {
        int records = 0;
        int split = 0;         // records of two fields or more
        int alike = 0;         // records of as many fields as the header
        int strayQuotes = 0;   // quotes inside a field: a quoted field cut elsewhere than at its start
        int headerFields = 0;
        // Every record split first, then fields quoted where they start, then records alike.
        auto key() const
        {
            return std::tuple(records > 0 && split == records, -strayQuotes, records ? alike * 1000 / records : 0, headerFields, split);
        }
    };
    char best = ',';
    Score bestScore;
    for (const char separator : {',', ';', '\t', '|'}) {
        // A separator the head lacks splits nothing: it is never chosen.
        if (!head.contains(separator))
            continue;
        const FieldRunScanner plain(separator);
        Score score;
        int fields = 1;
        bool quoted = false, fieldStart = true, any = false;
        auto endRecord = [&] {
            if (score.records == 0)
                score.headerFields = fields;
            score.split += fields >= 2;
            score.alike += fields == score.headerFields;
            ++score.records;
            fields = 1;
            any = false;
        };
        // Fields cut as the readers cut them: a quote opens a quoted run only at a field's start.
        for (qsizetype i = 0; i < head.size() && score.records < kCsvSeparatorRecords; ++i) {
            if (quoted) {
                // Straight to the next quote: nothing inside counts.
                const qsizetype quote = head.indexOf('"', i);
                if (quote < 0)
                    break;
                i = quote;
                if (i + 1 < head.size() && head[i + 1] == '"')
                    ++i;
                else
                    quoted = false;
                continue;
            }
            const char ch = head[i];
            if (ch == '"') {
                quoted = fieldStart;
                score.strayQuotes += !fieldStart;
                fieldStart = false;
                any = true;
            } else if (ch == separator) {
                ++fields;
                fieldStart = true;
                any = true;
            } else if (ch == '\n' || ch == '\r') {
                if (any)
                    endRecord();
                fieldStart = true;
            } else {
                fieldStart = false;
                any = true;
                i = plain.runEnd(head, i + 1) - 1;  // the rest of the run changes nothing
            }
        }
        if (any && score.records < kCsvSeparatorRecords)
            endRecord();
        if (score.split > 0 && (bestScore.split == 0 || score.key() > bestScore.key())) {
            best = separator;
            bestScore = score;
        }
    }
    return best;
}

bool CsvNeedsQuotes(QStringView field)
{
    return std::any_of(field.begin(), field.end(), [](QChar c) {
        return c == u',' || c == u';' || c == u'\t' || c == u'|' || c == u'"' || c == u'\n' || c == u'\r';
    });
}

int ColumnOf(const QStringList &header, std::initializer_list<const char *> names)
{
    for (int i = 0; i < header.size(); ++i)
        for (const char *n : names)
            if (header[i].trimmed().compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
                return i;
    return -1;
}

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

bool SaysLatitudeFirst(const QString &first, const QString &second)
{
    const auto a = ParseCoordinateText(first), b = ParseCoordinateText(second);
    return a && b && std::fabs(static_cast<double>(*b)) > 90 && std::fabs(static_cast<double>(*a)) <= 90;
}

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
    } else if (delimiter != u';') {
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
        f.remove(QChar(0));  // no text holds one, and many readers stop at it
        if (!CsvNeedsQuotes(f))
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

}  // namespace orvalis
