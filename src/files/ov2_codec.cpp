// OV2, the navigators' binary POI file: one text a POI, coordinates in
// hundred-thousandths of a degree.
#include "files/ov2_format.h"
#include "files/poi_codec.h"
#include "files/record_pipe.h"
#include "files/record_texts.h"
#include "files/text_codecs.h"

#include <QCoreApplication>
#include <cstring>
#include <memory>

namespace orvalis {

namespace {

// An OV2 integer of hundred-thousandths written out exactly: "-179.99999".
// The text of an OV2 integer, exact, written backwards into the end of `buf`.
QByteArrayView ExactOv2Chars(int32_t value, char (&buf)[16])
{
    int i = sizeof buf;
    uint64_t a = value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
    for (int k = 0; k < 5; ++k, a /= 10)
        buf[--i] = static_cast<char>('0' + a % 10);
    buf[--i] = '.';
    do {
        buf[--i] = static_cast<char>('0' + a % 10);
        a /= 10;
    } while (a > 0);
    if (value < 0)
        buf[--i] = '-';
    return QByteArrayView(buf + i, static_cast<qsizetype>(sizeof buf) - i);
}

// The records read a block at a time (memory for one record, whatever the
// file), the same walk as the table's reader: `simple` gets each simple
// record's coordinates, its name (a view of the input, for the call only) and
// its POI number.
template <typename Simple>
ReadResult WalkOv2(BlockReader &in, Simple &&simple)
{
    ReadResult read;
    // Drops `length` bytes, reading on as needed; false when the input ends first.
    auto skip = [&](qint64 length) {
        while (in.held() < length) {
            length -= in.held();
            in.consume(in.held());
            if (!in.more() && in.held() < length)
                return false;
        }
        in.consume(length);
        return true;
    };
    for (;;) {
        in.fill(21);
        if (in.held() == 0)
            break;
        const auto type = static_cast<unsigned char>(in.view()[0]);
        if (type == 1) {
            if (in.held() < 21) {
                read.truncated = true;
                break;
            }
            in.consume(21);
            continue;
        }
        if (type != 0 && type != 2 && type != 3) {
            // The unknown bytes held, up to the next that may start a record, at once.
            const QByteArrayView v = in.view();
            qsizetype unknown = 1;
            while (unknown < v.size() && static_cast<unsigned char>(v[unknown]) > 3)
                ++unknown;
            read.unknownBytes += unknown;
            in.consume(unknown);
            continue;
        }
        if (in.held() - 1 < (type == 2 ? 12 : 4)) {
            read.truncated = true;
            break;
        }
        const qint64 length = Ov2U32(in.view().data() + 1);
        if (length < 5) {
            read.truncated = true;
            break;
        }
        if (type == 2) {
            // The fixed part and the name's zero, or the whole record, or all there is.
            while (in.held() < length && !(in.held() > 13 && std::memchr(in.view().data() + 13, 0, size_t(in.held() - 13))) &&
                   in.more()) {
            }
            const QByteArrayView v = in.view();
            const auto name = Ov2RecordName(v.data(), v.size(), 0, length);
            if (!name || length < 12 + 1 + name->size() + 1) {
                read.truncated = true;
                break;
            }
            simple(static_cast<int32_t>(Ov2U32(v.data() + 9)), static_cast<int32_t>(Ov2U32(v.data() + 5)), *name,
                   read.counter + 1);
            ++read.counter;
        } else if (type == 3) {
            ++read.counter;  // an extended record takes a POI number
        }
        if (!skip(length)) {
            read.truncated = true;  // cut short: a complete simple record is kept, nothing after it
            break;
        }
    }
    return read;
}

// The POIs as records: coordinates exact, the one text as the name.
void ForEachOv2Record(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                      const CoordinateFilter &wanted, DeferTexts defer)
{
    const ReadResult read = WalkOv2(in, [&](int32_t latValue, int32_t lonValue, QByteArrayView name, int) {
        // Texts on the stack until the record is wanted.
        char latBuf[16], lonBuf[16];
        const QByteArrayView lon = ExactOv2Chars(lonValue, lonBuf);
        const QByteArrayView lat = ExactOv2Chars(latValue, latBuf);
        if (!wanted || wanted(lat, lon)) {
            RecordToFill fill;
            PoiRecord &r = *fill;
            SetBytes(r.lat, lat);
            SetBytes(r.lon, lon);
            // A writer that takes the bytes gets them with how they read, without the string.
            QByteArrayView bytes;
            if (defer != DeferTexts::AsBytes) {
                r.name = DecodeFileText(name);
            } else if (const bool utf8 = FileTextIsUtf8(name, &bytes); !bytes.isEmpty()) {
                r.defer(kNameText, bytes);
                r.deferredAs = utf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
            }
            visit(std::move(r));
        }
    });
    if (result)
        *result = read;
}

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
        writer_.append(out.bytes, Ov2CoordinateValue(r.lat), Ov2CoordinateValue(r.lon), JoinedNameBytes(r));
        return true;
    }
    void finish(WriterBuffer &out) override
    {
        out.flush();
        out.writeAt(0, writer_.header());
    }

private:
    Ov2Writer writer_{Ov2Writer::Box::True};  // the records' own bounds, whatever their sign
};

class Ov2 final : public PoiCodec {
public:
    Ov2() : PoiCodec("ov2", {"ov2"}, QStringLiteral("OV2")) {}

    const char *notOfFormat() const override { return QT_TRANSLATE_NOOP("Cli", "not an OV2 file"); }

    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts defer) const override
    {
        ForEachOv2Record(in, visit, result, wanted, defer);
        return true;
    }
    std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &) const override
    {
        return std::make_unique<Ov2RecordWriter>();
    }
    bool writesTextBytes() const override { return true; }
    bool writesBack() const override { return true; }

    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        *result = ReadOv2(data, table, separator);
        return true;
    }
    bool readTableOnce(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        *result = ReadOv2(data, table, separator, ReadPages::GivenBack);
        return true;
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &options, int *written) const override
    {
        if (written)
            *written = RowsBetween(table, first, last);
        return Ov2FileBytes(table, first, last, options.separator);
    }
    bool streamsTableRows() const override { return true; }
    bool readTableRows(BlockReader &in, QChar separator, const TableRowVisit &visit, ReadResult *result) const override
    {
        // The coordinates are numbers already: texts are made only for the rows that ask.
        struct Row final : TableRow {
            PoiTable table;
            QChar separator;
            int32_t lat = 0, lon = 0;
            QByteArrayView name;
            int n = 0;
            bool filled = false;
            PoiTable &cells() override
            {
                if (!filled) {
                    table.setNumber(1, n);
                    SetOv2Coordinates(table, 1, lat, lon, separator);
                    table.setField(1, FieldDescription, QString());
                    filled = true;
                }
                return table;
            }
            void describe() override { StoreOv2Names(cells(), {name}, {1}); }
            int number() const override { return n; }
            bool numbers(long double *latitude, long double *longitude) const override
            {
                *latitude = Ov2RoundedDegrees(rounded(0));
                *longitude = Ov2RoundedDegrees(rounded(1));
                return true;
            }
            bool texts(char16_t *latitude, int *latChars, char16_t *longitude, int *lonChars) override
            {
                if (separator.unicode() >= 128)
                    return false;
                *latChars = widened(rounded(0), latitude);
                *lonChars = widened(rounded(1), longitude);
                return true;
            }
            bool latitudeSurelyOutside(double south, double north) const override
            {
                // The text's number lies within a hundred-thousandth of a degree of the stored value.
                const double rough = lat / 100000.0;
                return rough < south - 0.0001 || rough > north + 0.0001;
            }
            // Rounded once for both the numbers and the texts.
            const Ov2Rounded &rounded(int which) const
            {
                if (!roundedDone[which]) {
                    roundedValue[which] = RoundOv2(which == 0 ? lat : lon);
                    roundedDone[which] = true;
                }
                return roundedValue[which];
            }
            mutable Ov2Rounded roundedValue[2];
            mutable bool roundedDone[2] = {false, false};
            int widened(const Ov2Rounded &value, char16_t *out) const
            {
                char chars[kTextChars];
                const int n = Ov2RoundedChars(value, static_cast<char>(separator.unicode()), chars);
                for (int i = 0; i < n; ++i)
                    out[i] = static_cast<unsigned char>(chars[i]);
                return n;
            }
        } row;
        row.separator = separator;
        *result = WalkOv2(in, [&](int32_t lat, int32_t lon, QByteArrayView name, int number) {
            row.lat = lat;
            row.lon = lon;
            row.name = name;
            row.n = number;
            row.filled = false;
            row.roundedDone[0] = row.roundedDone[1] = false;
            visit(row);
        });
        return true;
    }
    bool readTableCoordinates(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result,
                              DescribeRows *describe) const override
    {
        auto names = std::make_shared<std::vector<QByteArrayView>>();
        *result = ReadOv2Coordinates(data, table, separator, *names);
        *describe = [names, &table](const std::vector<int> &rows) { StoreOv2Names(table, *names, rows); };
        return true;
    }
    // Peaks measured with gui_bench (the file's pages given back as records pass):
    // 188 MB for 1M short names (38 MB), 286 MB for 1M realistic (131 MB), 163 MB
    // for 1M bare records (14 MB). A byte of file counts whole (damage after the
    // records is held), the rows fitted on that, 8 % added.
    LoadCost loadCost() const override { return {1.08, 167.0, 175.0}; }
    // Every simple or extended record takes a row; lengths lead from one to the next.
    qint64 countRows(int fd) const override
    {
        PreadWalk walk(fd);
        qint64 offset = 0, rows = 0;
        for (;;) {
            QByteArrayView v;
            if (!walk.at(offset, 5, &v))
                return -1;
            if (v.isEmpty())
                return rows;
            const auto type = static_cast<unsigned char>(v[0]);
            if (type > 3) {
                ++offset;  // a stray byte
                continue;
            }
            if (v.size() < 5)
                return rows;
            if (type == 1) {
                offset += 21;
                continue;
            }
            const qint64 length = static_cast<unsigned char>(v[1]) | static_cast<unsigned char>(v[2]) << 8 |
                                  static_cast<unsigned char>(v[3]) << 16 | qint64(static_cast<unsigned char>(v[4])) << 24;
            if (length < 5)
                return rows;  // the reader stops there too
            rows += type >= 2 ? 1 : 0;
            offset += length;
        }
    }
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
