#pragma once

#include "files/block_reader.h"
#include "files/gpi_format.h"
#include "files/pages_behind.h"
#include "files/poi_record.h"
#include "files/read_result.h"
#include "geo/geodesy.h"
#include "table/poi_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace orvalis {

// The namespace declarations (prefix, URI) a GPX file's raw XML needs.
using XmlNamespaces = std::vector<std::pair<QByteArray, QByteArray>>;

// How a table is written in a format's window layout.
struct WriteOptions {
    QChar separator = u'.';  // of the table's coordinate cells
    bool gpx11 = false;      // GPX 1.1 with its namespace, name and desc apart
    bool gpxNamespace = false;  // GPX 1.0 with its namespace, as its schema wants
    GpiWriteOptions gpi;     // the category and alert of a GPI file
};

// How records are written.
struct RecordWriteOptions {
    bool strictGpx = false;  // longitude 180 written -180, the GPX schema's range
    GpiWriteOptions gpi;     // the category and alert of a GPI file
};

// Where written bytes go: `write` takes them (and may clear them); `writeAt`
// puts bytes back at an offset already written (OV2's first record).
struct RecordOutput {
    std::function<void(QByteArray &)> write;
    std::function<void(qint64, const QByteArray &)> writeAt;
};

// The bytes a format's writer makes, handed to the output a megabyte at a time.
class WriterBuffer {
public:
    explicit WriterBuffer(RecordOutput output) : output_(std::move(output)) {}
    QByteArray bytes;
    void flushIfFull()
    {
        if (bytes.size() >= (1 << 20))
            flush();
    }
    void flush()
    {
        if (!bytes.isEmpty())
            output_.write(bytes);
    }
    // Back over bytes already handed on: a header known at the end.
    void writeAt(qint64 offset, const QByteArray &b) { output_.writeAt(offset, b); }

private:
    RecordOutput output_;
};

// One format's records written as they come. A format that needs every
// record before its first byte (a head that counts them, an index) keeps
// them in a spool (RecordSpool) and writes them in finish().
class FormatRecordWriter {
public:
    virtual ~FormatRecordWriter() = default;
    // Once, before the first record.
    virtual void start(WriterBuffer &, const XmlNamespaces &) {}
    // False for a record the format cannot hold (no coordinates): not written.
    virtual bool append(WriterBuffer &out, const PoiRecord &record) = 0;
    // The tail, and whatever waited.
    virtual void finish(WriterBuffer &) {}
    virtual bool spoolFailed() const { return false; }
    // After finish: why the file could not be written (a text to say, the
    // output then thrown away), and what was written otherwise than given.
    virtual QString failure() const { return {}; }
    virtual QString note() const { return {}; }
};

// What a command is told of one reading, to say it (see PoiCodec::verdict).
struct ReadCheck {
    QString file;              // the input as messages name it
    ReadResult result;
    bool empty = true;         // no POI was read
    qint64 inputBytes = 0;     // the bytes that came in
    QByteArrayView data;       // the whole input when it was read whole
    bool skipInvalid = false;  // records that are no POI may be left out
};
// A failure stops the command (with `code`: 2 for bad input, 1 for a failure
// while reading); a note goes to the standard error.
struct ReadVerdict {
    QString failure;
    QString note;
    int code = 2;
};

// What a window load holds at its peak, per byte of the file and per POI
// (measured and fitted); never below `leastPerRecord` a POI (rows without
// texts, where the rows' growth and the sort weigh most).
struct LoadCost {
    double perByte = 0;
    double perRecord = 0;
    double leastPerRecord = 0;
};

// The descriptions of the rows given, filled as the table reader would have.
using DescribeRows = std::function<void(const std::vector<int> &rows)>;
// One row of the window's table as a reading in blocks meets it (only while
// the visit lasts).
class TableRow {
public:
    // Row 1 holds the row's N°, latitude and longitude.
    virtual PoiTable &cells() = 0;
    // Gives row 1 of cells() its description, as the table reader would.
    virtual void describe() = 0;
    virtual int number() const = 0;
    // The coordinates as ParseDecimal reads the texts of cells(), when the
    // reader has them as numbers (then the texts are made only when asked for).
    virtual bool numbers(long double *, long double *) const { return false; }
    // True when the row's latitude surely lies outside [south, north] (degrees),
    // told without making its numbers; false when unsure.
    virtual bool latitudeSurelyOutside(double, double) const { return false; }
    // The coordinate texts, each at most `kTextChars` characters, or false.
    static constexpr int kTextChars = 32;
    virtual bool texts(char16_t *, int *, char16_t *, int *) { return false; }

protected:
    ~TableRow() = default;
};
using TableRowVisit = std::function<void(TableRow &row)>;

// One file format: its names, how its bytes are recognised, its records
// read in blocks and written as they come (orvalis-cli, nothing lost), and
// the window's table layout (rows of coordinates and one description).
class PoiCodec {
public:
    virtual ~PoiCodec() = default;
    PoiCodec(const PoiCodec &) = delete;
    PoiCodec &operator=(const PoiCodec &) = delete;

    // The --from/--to word; other words for the format; the extensions of its
    // files without the point, as messages list them (none: named only).
    const QByteArray name;
    const QList<QByteArray> aliases;
    const QList<QByteArray> extensions;
    // The format's name in sentences: "GPX".
    const QString title;

    // Whether the bytes (the whole file) can be of the format at all; without
    // a mark to look for, anything can.
    virtual bool recognises(QByteArrayView) const { return true; }
    // What is said of bytes that are not of the format (a text to translate
    // in the "Cli" context): "not a GPX file"; none where any bytes read.
    virtual const char *notOfFormat() const { return nullptr; }

    // Records. A format whose commands go through the table (the window's
    // CSV) still reads as records where a command streams its input.
    virtual bool hasRecords() const { return true; }
    // A format that must seek in its input (a zip, an index at the end) gets a
    // file: standard input is copied to a temporary one first.
    virtual bool seekableInput() const { return false; }
    // The namespaces a writer must declare for the input's records, read
    // without consuming anything a reading needs.
    virtual XmlNamespaces headNamespaces(BlockReader &) const { return {}; }
    // Visits the records in file order; false (after visiting none or some,
    // to be thrown away) when the input is no file of the format. `wanted`,
    // when given, sees every record's coordinates once, in file order, before
    // the record is visited: false passes the record over. With
    // DeferTexts::Yes or AsBytes texts may be left for the taker (see DeferTexts).
    virtual bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                             const CoordinateFilter &wanted = {}, DeferTexts defer = DeferTexts::No) const;
    virtual std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &options) const;
    // Whether its record writer takes texts left undecoded as they are
    // (DeferTexts::AsBytes); the others get them decoded.
    virtual bool writesTextBytes() const { return false; }
    // The writer goes back over what it wrote: an output that cannot seek
    // (standard output) must wait for the end.
    virtual bool writesBack() const { return false; }

    // The window's table: rows from 1 of an emptied table; false when the
    // bytes are no file of the format. The rows [first, last] written;
    // `written` receives how many POIs the bytes hold.
    virtual bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const = 0;
    // The same from bytes the caller reads only this once: a reader may give
    // their pages back as it goes (ReadPages::GivenBack).
    virtual bool readTableOnce(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const
    {
        return readTable(data, table, separator, result);
    }
    virtual QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &options,
                                  int *written) const = 0;
    // The rows' coordinates without their descriptions, for a job that
    // describes few rows: false when the format has no such reading.
    // `describe` holds views of `data`.
    virtual bool readTableCoordinates(QByteArrayView, PoiTable &, QChar, ReadResult *, DescribeRows *) const
    {
        return false;
    }
    // The same rows read a block at a time, in file order, for a job that
    // keeps few of them; false when the input is no file of the format. A
    // reading that meets damage says so in `result`, and a record that takes a
    // number but no row shows as a gap in the numbers: the table reader is the
    // one that knows what such files give.
    virtual bool streamsTableRows() const { return false; }
    virtual bool readTableRows(BlockReader &, QChar, const TableRowVisit &, ReadResult *) const { return false; }
    // What a window load of the format holds at its peak (none: not measured).
    virtual LoadCost loadCost() const { return {}; }
    // The rows a file will give, counted a block at a time from its start
    // without moving its offset, so that a file too big for the memory is
    // refused before it is read; 0 when unknown, -1 on a read error.
    virtual qint64 countRows(int /*fd*/) const { return 0; }
    // What the window says of a file of the format it cannot read; empty
    // when the window does not load the format.
    virtual QString windowCannotRead() const { return {}; }

    // The lines of a route file: each route and track segment apiece; none
    // when the file holds none (its POIs are then the route).
    virtual std::vector<std::vector<LatLon>> routeLines(QByteArrayView) const { return {}; }
    // What a reading says beyond its POIs: a damaged file, records left out.
    virtual ReadVerdict verdict(const ReadCheck &) const { return {}; }

protected:
    PoiCodec(QByteArray name, QList<QByteArray> extensions, QString title, QList<QByteArray> aliases = {})
        : name(std::move(name)), aliases(std::move(aliases)), extensions(std::move(extensions)), title(std::move(title))
    {
    }
};

// The table of formats, in the order messages list them.
const std::vector<const PoiCodec *> &PoiCodecs();
// By the --from/--to word, case ignored.
const PoiCodec *CodecNamed(QStringView name);
// By a file name's extension (without the point), case ignored.
const PoiCodec *CodecOfExtension(QStringView extension);
// The format the window loads a file in, by its name's extension; none for
// a file it does not load (a point in a folder name does not count).
const PoiCodec *WindowCodecOfPath(const QString &path);

// For messages: "ov2, gpx, ...", and ".ov2, .gpx ... or .kml" and "OV2, GPX
// ... or KML" (the record formats) with `orWord` between the last two.
QString CodecNames();
QString CodecExtensions(const QString &orWord);
QString RecordFormatTitles(const QString &orWord);

// Reads a file into the (emptied) table as the window loads it; nothing
// without a format (the table stays blank). With ReadPages::GivenBack the
// bytes are not to be read again: their pages may go as they are read.
ReadResult ReadPoiData(const PoiCodec *codec, QByteArrayView data, PoiTable &table, QChar separator,
                       ReadPages read = ReadPages::Kept);
// The same for a command, which first asks whether the bytes are of the
// format at all: false when they are not.
bool ReadPoiTable(const PoiCodec &codec, QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result);

// "<file>: not a GPX file", in the user's language.
QString NotOfFormatMessage(const PoiCodec &codec, const QString &file);
// Records left out of a reading, as a note for the standard error.
QString LeftOutNote(const QString &file, int count, int first);
// What is said of `count` records that are no POI, the first of them the
// result's `firstSkipped`: nothing when there is none, `failure`, or with
// --skip-invalid a note that they were left out.
ReadVerdict BadRecordsVerdict(const ReadCheck &check, int count, const QString &failure);
// How many rows [first, last] of the table are, for writers that write them all.
int RowsBetween(const PoiTable &table, int first, int last);
// Visits the records `wanted` keeps, for readers that know the coordinates
// only once the record is whole.
std::function<void(PoiRecord &&)> WantedOnly(const std::function<void(PoiRecord &&)> &visit, const CoordinateFilter &wanted);

}  // namespace orvalis
