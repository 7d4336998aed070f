// CSV: the scripts' layout (a header, commas, UTF-8; a column for every
// field) and the window's export ("lat; lon; description; distance; cap").
// Both read alike: with a header, its known columns to the record's fields and
// every other column a property; without one, by the layout the rows show.
#include "files/csv_format.h"
#include "files/poi_codec.h"
#include "files/record_fields.h"
#include "files/record_pipe.h"
#include "files/record_spool.h"
#include "files/spill_buffer.h"
#include "files/text_codecs.h"
#include "geo/decimal_entry.h"

#include <QCoreApplication>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace orvalis {

const PoiCodec &CsvCodec();

namespace {

// The names the reader gives a field (in any case).
bool FieldColumnName(const QString &key)
{
    static const char *const names[] = {"lat", "latitude", "lon", "lng", "long", "longitude", "name", "title",
                                        "label", "desc", "description", "cmt", "comment", "ele", "elevation",
                                        "alt", "altitude", "time", "sym", "symbol", "type", "src", "source"};
    return std::any_of(std::begin(names), std::end(names), [&](const char *n) { return key.compare(QLatin1String(n), Qt::CaseInsensitive) == 0; });
}

// The key of a column that is no field of the record: its name, or column<n>
// without one; a name the reader gives a field (a second "desc", "cmt" after
// "comment") or one given before gets the first free suffix "_2", "_3"...,
// so that written back it reads as the same property.
QString PropertyKey(const QString &name, int column, const QStringList &taken)
{
    const QString base = name.isEmpty() ? QStringLiteral("column%1").arg(column + 1) : name;
    const auto free = [&](const QString &key) {
        return !FieldColumnName(key) && !taken.contains(key, Qt::CaseInsensitive);
    };
    if (free(base))
        return base;
    for (int n = 2;; ++n)
        if (const QString key = QStringLiteral("%1_%2").arg(base).arg(n); free(key))
            return key;
}

// One record of CSV bytes from `pos`, fields unquoted, cut on the bytes (the
// delimiter, quotes and line ends are ASCII, never part of a UTF-8 character);
// blank lines are passed over. False when nothing is left, or (not `final`)
// when the record may go on past the bytes: then `pos` stays where it was.
bool NextCsvRecord(QByteArrayView v, qsizetype &pos, char delimiter, const FieldRunScanner &plain, bool final,
                   std::vector<QByteArray> &fields, size_t maxFields)
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
            const qsizetype stop = plain.runEnd(v, i + 1);
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
    CsvRecordReader(BlockReader &in, char delimiter) : in_(in), delimiter_(delimiter), plain_(delimiter) {}
    // Fields after the first `n` of a record are passed over.
    void setMaxFields(size_t n) { maxFields_ = n; }
    // False at the end; `raw`, when given, receives the record's bytes as they were.
    bool next(std::vector<QByteArray> &fields, QByteArray *raw = nullptr)
    {
        for (;;) {
            qsizetype pos = 0;
            const bool final = in_.atEnd();
            if (NextCsvRecord(in_.view(), pos, delimiter_, plain_, final, fields, maxFields_)) {
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
    FieldRunScanner plain_;
    size_t maxFields_ = kMaxCsvColumns;
};

// The source's own text when it is a decimal; degrees and minutes as decimal degrees.
QByteArray ExactCoordinate(const QString &t, long double v)
{
    if (ParseDecimal(t, u'.') || ParseDecimal(t, u','))
        return QString(t).replace(u',', u'.').toLatin1();
    return QByteArray::number(static_cast<double>(v), 'f', 7);
}

// The records read a block at a time. A headerless ',' file whose layout its
// first records leave open is read on to decide it, those records waiting
// aside (past a megabyte in an unnamed temporary file): memory stays bounded.
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
    // The separator from the file's head (the first line at least, however long):
    // the same bytes however the input comes, so the same separator.
    while ((!in.view().contains('\n') || in.held() < kCsvSeparatorBytes) && in.more()) {
    }
    const qsizetype firstLineEnd = in.view().indexOf('\n');
    const char delimiter = CsvSeparator(in.view().first(std::min(in.held(), std::max(kCsvSeparatorBytes, firstLineEnd))));
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
    SpillBuffer spool;
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
            // aside, to be read again once it is decided.
            lon = 0, lat = 1, name = 2, desc = 3;
            std::vector<QByteArray> look = fields;
            QByteArray raw;
            auto decisive = [&](const std::vector<QByteArray> &r) {
                return r.size() > 1 && SaysLatitudeFirst(decoded(r[0]), decoded(r[1]));
            };
            bool decided = decisive(look);
            if (!decided) {
                while (spool.ok() && records.next(look, &raw)) {
                    spool.held() += raw;
                    spool.settle();
                    if (decisive(look)) {
                        decided = true;
                        break;
                    }
                }
            }
            if (decided)
                lat = 0, lon = 1;
            spooled = spool.reader();
        }
    }
    const std::vector<int> known = {lat, lon, name, desc, cmt, ele, time, sym, type, src};
    // Every other column is a property, and so is a value beyond the header.
    QStringList keys;
    for (int c = 0; c < header.size(); ++c)
        keys << (std::find(known.begin(), known.end(), c) == known.end() ? PropertyKey(header[c], c, keys) : header[c]);
    auto keyOf = [&](int c) {
        while (keys.size() <= c)
            keys << PropertyKey({}, int(keys.size()), keys);
        return keys[c];
    };
    records.setMaxFields(hasHeader ? kMaxCsvColumns : 4);
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
        for (int c = 0; c < int(r.size()) || c < header.size(); ++c) {
            // Past the header only values: a line's trailing separators hold nothing.
            if (std::find(known.begin(), known.end(), c) != known.end() || (c >= header.size() && column(c).isEmpty()))
                continue;
            TakeFlatProperty(p, keyOf(c), JsonStringOf(column(c)));
        }
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
    while (records.next(fields))
        deliver(fields);
    finish();
}

// The columns any record fills, in a fixed order, then the properties' keys as they come.
const std::pair<const char *, QString PoiRecord::*> kCsvFields[] = {
    {"description", &PoiRecord::desc}, {"comment", &PoiRecord::cmt}, {"elevation", &PoiRecord::ele},
    {"time", &PoiRecord::time},        {"symbol", &PoiRecord::sym},  {"type", &PoiRecord::type},
    {"source", &PoiRecord::src}};

// A field as RFC 4180 writes it, in UTF-8: quoted when it holds a separator a
// reader could take (CsvNeedsQuotes), its quotes doubled.
void AppendCsvField(QByteArray &out, QStringView field)
{
    // NUL is no text, and many readers stop at it: left out.
    QString withoutNul;
    QStringView f = field;
    if (field.contains(QChar(0))) {
        withoutNul = field.toString().remove(QChar(0));
        f = withoutNul;
    }
    if (!CsvNeedsQuotes(f)) {
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

// The scripts' layout with a column for every field some record has: every
// record observed first (the columns and the mark depend on all of them),
// then the head, then each row (false for a record without coordinates).
class CsvRecordWriter {
public:
    // The namespaces the records' raw XML uses.
    XmlNamespaces namespaces;
    void observe(const PoiRecord &record);
    QByteArray head() const;
    bool append(QByteArray &out, const PoiRecord &record) const;

private:
    bool used_[7] = {};
    QStringList keys_;
    bool readsBack_ = true;
};

void CsvRecordWriter::observe(const PoiRecord &r)
{
    if (PlainDecimalText(r.lat).isEmpty() || PlainDecimalText(r.lon).isEmpty())
        return;
    for (size_t f = 0; f < std::size(kCsvFields); ++f)
        used_[f] = used_[f] || !(r.*(kCsvFields[f].second)).isEmpty();
    // Texts are written without their NULs: that is what must read back.
    const auto readsBack = [](QString text) { return Utf8ReadsBack(text.remove(QChar(0))); };
    const std::vector<PoiProperty> properties = FlatProperties(r, namespaces);
    for (const PoiProperty &p : properties)
        if (!keys_.contains(p.key)) {
            keys_ << p.key;
            // The header's keys are texts too: every one must read back as it is.
            readsBack_ = readsBack_ && readsBack(p.key);
        }
    readsBack_ = readsBack_ && readsBack(r.name);
    for (const auto &field : kCsvFields)
        readsBack_ = readsBack_ && readsBack(r.*(field.second));
    for (const PoiProperty &p : properties)
        readsBack_ = readsBack_ && readsBack(PropertyText(p.json));
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
    const std::vector<PoiProperty> properties = FlatProperties(r, namespaces);
    for (const QString &k : keys_) {
        QString value;
        for (const PoiProperty &p : properties)
            if (p.key == k)
                value = PropertyText(p.json);
        AppendCsvField(out.append(','), value);
    }
    out += "\r\n";
    return true;
}


// Every record waits in a spool until the last has been observed; then the
// head, and the rows read back (from a file, on one core while they are
// written on the other).
class CsvFormatWriter final : public FormatRecordWriter {
public:
    void start(WriterBuffer &, const XmlNamespaces &namespaces) override { csv_.namespaces = namespaces; }
    bool append(WriterBuffer &, const PoiRecord &r) override
    {
        if (PlainDecimalText(r.lat).isEmpty() || PlainDecimalText(r.lon).isEmpty())
            return false;
        csv_.observe(r);
        spool_.append(r);
        return true;
    }
    void finish(WriterBuffer &out) override
    {
        out.bytes += csv_.head();
        const auto write = [&](PoiRecord &&r) {
            csv_.append(out.bytes, r);
            out.flushIfFull();
        };
        // A few records held in memory are not worth a thread.
        if (spool_.inMemory())
            spool_.replay(write);
        else
            PipeRecords([&](const std::function<void(PoiRecord &&)> &pass) { spool_.replay(pass); }, write);
    }
    bool spoolFailed() const override { return !spool_.ok(); }

private:
    CsvRecordWriter csv_;
    RecordSpool spool_;
};

// What both layouts' readings say: a header of other columns, records without
// two numbers for coordinates.
ReadVerdict CsvVerdict(const ReadCheck &check)
{
    const ReadResult &r = check.result;
    if (r.headerWithoutCoordinates)
        return {QCoreApplication::translate("Cli", "%1: the CSV header names no latitude and longitude columns").arg(check.file), {}};
    if (r.skipped > 0 && !check.skipInvalid)
        return {QCoreApplication::translate("Cli", "%1: CSV record %2 has no two numbers for coordinates").arg(check.file).arg(r.firstSkipped), {}};
    if (r.skipped > 0)
        return {{}, LeftOutNote(check.file, r.skipped, r.firstSkipped)};
    return {};
}

class Csv final : public PoiCodec {
public:
    Csv() : PoiCodec("csv", {"csv"}, QStringLiteral("CSV")) {}

    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts) const override
    {
        ForEachCsvRecord(in, WantedOnly(visit, wanted), result);
        return true;
    }
    std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &) const override
    {
        return std::make_unique<CsvFormatWriter>();
    }
    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        *result = ReadCsv(data, table, separator);
        return true;
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &, int *written) const override
    {
        return CsvScriptBytes(table, first, last, written);
    }
    ReadVerdict verdict(const ReadCheck &check) const override { return CsvVerdict(check); }
};

// The window's export: read as any CSV, written as the window writes it.
// Commands give it tables, not records: its layout is the window's.
class WindowCsv final : public PoiCodec {
public:
    WindowCsv() : PoiCodec("window-csv", {}, QStringLiteral("CSV")) {}

    bool hasRecords() const override { return false; }
    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts defer) const override
    {
        return CsvCodec().readRecords(in, visit, result, wanted, defer);
    }
    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        *result = ReadCsv(data, table, separator);
        return true;
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &, int *written) const override
    {
        if (written) {
            // Rows without a longitude or a description are left out.
            *written = 0;
            for (int row = std::max(first, 1); row <= std::min(last, table.lastRow()); ++row)
                *written += !table.fieldIsEmpty(row, FieldLongitude) && !table.fieldIsEmpty(row, FieldDescription);
        }
        return CsvFileBytes(table, first, last);
    }
    ReadVerdict verdict(const ReadCheck &check) const override { return CsvVerdict(check); }
};

}  // namespace

const PoiCodec &CsvCodec()
{
    static const Csv codec;
    return codec;
}

const PoiCodec &WindowCsvCodec()
{
    static const WindowCsv codec;
    return codec;
}

}  // namespace orvalis
