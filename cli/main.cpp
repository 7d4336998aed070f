// orvalis-cli: the program's engine without a window.
#include "app/version.h"
#include "files/block_reader.h"
#include "files/csv_format.h"
#include "files/geojson_format.h"
#include "files/gpx_format.h"
#include "files/kml_format.h"
#include "files/poi_file.h"
#include "files/poi_formats.h"
#include "files/record_writer.h"
#include "files/record_pipe.h"
#include "files/record_spool.h"
#include "files/save_file.h"
#include "files/temporary_files.h"
#include "geo/decimal_entry.h"
#include "geo/geodesy.h"
#include "table/along_route.h"
#include "table/dedupe.h"
#include "table/distance_run.h"
#include "table/sort_by_field.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTranslator>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvalis;

namespace {

QString T(const char *text)
{
    return QCoreApplication::translate("Cli", text);
}

const char *kUsage = QT_TRANSLATE_NOOP(
    "Cli",
    "Usage: orvalis-cli COMMAND ARGUMENTS   (orvalis-cli COMMAND --help for one command)\n"
    "       orvalis-cli --help | --version\n"
    "\n"
    "A number argument may use '.' or ',' as its decimal separator; anything that\n"
    "is not a number stops the command. Numbers are written with the separator of\n"
    "your locale (LC_ALL=fr_FR.UTF-8 gives ',', LC_ALL=C gives '.'); JSON always\n"
    "uses '.'. Messages are in French when the locale is French, else in English.\n"
    "\n"
    "Files are read and written as OV2, GPX, CSV, GeoJSON (.geojson, .json) or KML,\n"
    "chosen by extension or by --from/--to FORMAT; '-' is standard input or output\n"
    "(then --from/--to is needed). CSV is written in UTF-8 with a header\n"
    "(latitude,longitude,name, then the other fields); --to window-csv gives the\n"
    "window's layout. CSV\n"
    "coordinates may be read in degrees and minutes (\"N48 51.123\"). File names\n"
    "are used byte for byte. An existing output file is replaced only by a\n"
    "complete one, never written in place.\n"
    "Latitudes must lie in [-90, 90] and longitudes in [-180, 180]: a file that is\n"
    "not of its format, or a record out of range or without coordinates, stops the\n"
    "command naming the file and the first bad record; with --skip-invalid such\n"
    "records are left out and counted on standard error.\n"
    "\n"
    "Distances are great-circle distances on a sphere of radius 6,378,138 m\n"
    "(spherical law of cosines on coordinates held as 32-bit floats), truncated to\n"
    "whole metres.\n"
    "\n"
    "Commands:\n");

// What ReadPoiFormat says of a file that is not of its format.
[[maybe_unused]] const char *kReaderErrors[] = {QT_TRANSLATE_NOOP("Cli", "not a GPX file"),
                                                QT_TRANSLATE_NOOP("Cli", "not a GeoJSON file"),
                                                QT_TRANSLATE_NOOP("Cli", "not a KML file")};

struct Command {
    const char *name;
    const char *synopsis;
    const char *text;
};

const Command kCommands[] = {
    {"convert", "convert IN OUT [--sort name|distance] [--from F] [--to F] [--gpx11] [--skip-invalid]",
     QT_TRANSLATE_NOOP("Cli", "read IN and write every POI to OUT in file order (--sort name: by name;\n"
                              "--sort distance: the order the window gives a loaded file); prints\n"
                              "\"<n> POIs\", the POIs written. Nothing a format can hold is lost:\n"
                              "coordinates as written, every GPX field and extension (GPX 1.1 is\n"
                              "written), GeoJSON properties, KML ExtendedData, CSV columns. --gpx11\n"
                              "also writes longitude 180 as -180, for tools that check the schema.")},
    {"table", "table IN [--base N] [--json] [--from F] [--skip-invalid]",
     QT_TRANSLATE_NOOP("Cli", "load IN, with --base run the distance run from row N; print one line per\n"
                              "row, the seven fields separated by tabs, or with --json a JSON array of\n"
                              "objects (number, latitude, longitude, description, distance, metres,\n"
                              "key, cap).")},
    {"near", "near IN OUT (--at LAT LON | --base N) --radius-km R [--json] [--from F] [--to F] [--gpx11] [--skip-invalid]",
     QT_TRANSLATE_NOOP("Cli", "--at: write every POI within R km of the point, nearest first (equal\n"
                              "distances in file order), every field kept; the file streams through\n"
                              "(memory for the POIs found, not the file). --base: load, distance run\n"
                              "from row N, write rows 1..k, k the last row within R km (what a\n"
                              "Shift-click selects in the window, as the window writes it). Prints\n"
                              "\"<k> POIs\", or with --json the POIs written as JSON (with OUT '-',\n"
                              "the JSON alone).")},
    {"merge", "merge IN IN... OUT [--to F] [--gpx11] [--skip-invalid]",
     QT_TRANSLATE_NOOP("Cli", "read two or more files, in order, into one table (file order, not sorted)\n"
                              "and write it to OUT, which must not be one of the inputs; prints \"<n> POIs\".")},
    {"dedupe", "dedupe IN OUT --within-m M [--same-name] [--from F] [--to F] [--gpx11] [--skip-invalid]",
     QT_TRANSLATE_NOOP("Cli", "keep the first of POIs whose distance, in whole metres truncated, is at\n"
                              "most M (with --same-name, only when their descriptions are equal ignoring\n"
                              "case and accents), in file order; prints \"<d> duplicates removed, <n> POIs\".")},
    {"along", "along ROUTE IN OUT --within-km D [--route-from F] [--from F] [--to F] [--gpx11] [--skip-invalid]",
     QT_TRANSLATE_NOOP("Cli", "keep the POIs of IN within D km of the route: each route and each track\n"
                              "segment of ROUTE when it is a GPX file that has some (a line apiece),\n"
                              "otherwise its POIs in order. Distances to the great-circle segments,\n"
                              "clamped to their ends; output in route order, then by distance from the\n"
                              "route; prints \"<n> POIs\". ROUTE '-' takes --route-from, else --from.")},
    {"distance", "distance LAT1 LON1 LAT2 LON2", QT_TRANSLATE_NOOP("Cli", "distance and initial bearing")},
    {"destination", "destination LAT LON BEARING METRES", QT_TRANSLATE_NOOP("Cli", "destination latitude and longitude")},
    {"crossing", "crossing LAT1 LON1 ... LAT4 LON4",
     QT_TRANSLATE_NOOP("Cli", "crossing of route 1-2 with route 3-4: \"latX lonX\", then\n"
                              "\"L1 L2 d1 d2 d3 d4\"; \"parallel\" then \"L1 L2\" for parallel routes.")},
};

const char *kExitCodes = QT_TRANSLATE_NOOP(
    "Cli",
    "\n"
    "Exit codes: 0 done; 1 a failure while working (a file or the standard output\n"
    "that cannot be written, no crossing that can be computed); 2 bad usage or bad\n"
    "input (a number that is not one or out of range, --base past the last row, a\n"
    "file that cannot be read or is not of its format, an output that is an input).\n");

QString Indented(const QString &text, int column)
{
    return QString(text).replace(u'\n', u'\n' + QString(column, u' '));
}

QString Usage()
{
    QString out = T(kUsage);
    for (const Command &c : kCommands)
        out += QStringLiteral("  %1\n      %2\n").arg(QString::fromUtf8(c.synopsis), Indented(T(c.text), 6));
    return out + T(kExitCodes);
}

QString CommandUsage(const Command &c)
{
    return QCoreApplication::translate("Cli", "Usage: orvalis-cli %1\n\n%2\n").arg(QString::fromUtf8(c.synopsis), T(c.text)) + T(kExitCodes);
}

// Exit 2 for what the user gave, 1 for what failed while working.
struct Failure {
    QString message;
    int code = 2;
};

Failure WorkFailure(const QString &message)
{
    return Failure{message, 1};
}

bool WriteStdout(QByteArrayView bytes)
{
    return std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), stdout) == static_cast<size_t>(bytes.size());
}

void Out(const QString &line)
{
    if (!WriteStdout(QByteArray(line.toUtf8() + '\n')))
        throw WorkFailure(QCoreApplication::translate("Cli", "cannot write the standard output"));
}

void Err(const QString &line)
{
    std::fprintf(stderr, "orvalis-cli: %s\n", line.toUtf8().constData());
}

// A path as the user typed it, shown where a message names it.
QString Shown(const QByteArray &path)
{
    return QString::fromLocal8Bit(path);
}

class Cli {
public:
    explicit Cli(QList<QByteArray> args) : args_(std::move(args))
    {
        const QString point = QLocale::system().decimalPoint();
        sep_ = point.isEmpty() ? QChar(u'.') : point.at(0);
        collator_ = TableCollator(QLocale::system());
    }

    int run()
    {
        if (args_.isEmpty()) {
            std::fputs(Usage().toUtf8().constData(), stderr);
            return 2;
        }
        if (args_.first() == "--help" || args_.first() == "-h") {
            Out(Usage().chopped(1));
            return 0;
        }
        if (args_.first() == "--version") {
            Out(QStringLiteral("orvalis-cli ") + Version());
            return 0;
        }
        const QByteArray name = args_.takeFirst();
        const Command *command = nullptr;
        for (const Command &c : kCommands)
            if (name == c.name)
                command = &c;
        if (!command)
            throw Failure{QCoreApplication::translate("Cli", "unknown command \"%1\" (see --help)").arg(Shown(name))};
        if (args_.contains("--help") || args_.contains("-h")) {
            Out(CommandUsage(*command).chopped(1));
            return 0;
        }
        from_ = option("--from");
        to_ = option("--to");
        gpx11_ = flag("--gpx11");
        skipInvalid_ = flag("--skip-invalid");
        if (name == "convert")
            return convert();
        if (name == "table")
            return table();
        if (name == "near")
            return near();
        if (name == "merge")
            return merge();
        if (name == "dedupe")
            return dedupe();
        if (name == "along")
            return along();
        if (name == "distance")
            return distance();
        if (name == "destination")
            return destination();
        return crossing();
    }

private:
    // --name VALUE, taken out of the arguments.
    std::optional<QString> option(const char *name)
    {
        const qsizetype i = args_.indexOf(QByteArray(name));
        if (i < 0)
            return std::nullopt;
        if (i + 1 >= args_.size())
            throw Failure{QCoreApplication::translate("Cli", "%1 needs a value").arg(QLatin1String(name))};
        const QString value = Shown(args_.at(i + 1));
        args_.remove(i, 2);
        return value;
    }
    bool flag(const char *name) { return args_.removeAll(QByteArray(name)) > 0; }
    void expectCount(qsizetype n)
    {
        // An option not taken by the command is a mistake, not a file name.
        for (const QByteArray &a : std::as_const(args_))
            if (a.startsWith("--"))
                throw Failure{QCoreApplication::translate("Cli", "unknown option %1 (see --help)").arg(Shown(a))};
        if (args_.size() != n)
            throw Failure{QCoreApplication::translate("Cli", "expected %1 arguments, got %2 (see --help)").arg(n).arg(args_.size())};
    }
    // An argument is one number, so either separator reads it; anything else stops the command.
    static float Number(const QString &text, const QString &what)
    {
        std::optional<long double> v = ParseDecimal(text, u'.');
        if (!v)
            v = ParseDecimal(text, u',');
        if (!v || !std::isfinite(static_cast<double>(*v)))
            throw Failure{QCoreApplication::translate("Cli", "%1 (\"%2\") is not a number").arg(what, text)};
        if (ExceedsFloat(text, text.contains(u',') ? u',' : u'.'))
            throw Failure{QCoreApplication::translate("Cli", "%1 (\"%2\") is too large").arg(what, text)};
        return static_cast<float>(*v);
    }
    QString argumentName(qsizetype i) const { return QCoreApplication::translate("Cli", "argument %1").arg(i + 1); }
    float number(qsizetype i) const { return Number(Shown(args_.at(i)), argumentName(i)); }
    float latitude(qsizetype i) const
    {
        const float v = number(i);
        if (!(v >= -90 && v <= 90))
            throw Failure{QCoreApplication::translate("Cli", "%1 (\"%2\") is not a latitude: it must lie in [-90, 90]").arg(argumentName(i), Shown(args_.at(i)))};
        return v;
    }
    float longitude(qsizetype i) const
    {
        const float v = number(i);
        if (!(v >= -180 && v <= 180))
            throw Failure{QCoreApplication::translate("Cli", "%1 (\"%2\") is not a longitude: it must lie in [-180, 180]").arg(argumentName(i), Shown(args_.at(i)))};
        return v;
    }
    static float Distance(const std::optional<QString> &text, const char *name)
    {
        const float v = Number(*text, QLatin1String(name));
        if (!(v >= 0))
            throw Failure{QCoreApplication::translate("Cli", "%1 takes a distance of 0 or more").arg(QLatin1String(name))};
        return v;
    }

    static PoiFormat FormatFor(const QByteArray &path, const std::optional<QString> &named, const char *which)
    {
        if (named) {
            if (const auto f = PoiFormatNamed(*named))
                return *f;
            throw Failure{QCoreApplication::translate("Cli", "%1 %2: unknown format (ov2, gpx, csv, window-csv, geojson, kml)").arg(QLatin1String(which), *named)};
        }
        if (path == "-")
            throw Failure{QCoreApplication::translate("Cli", "'-' needs %1 FORMAT").arg(QLatin1String(which))};
        // The extension is ASCII whatever the rest of the name is.
        const QByteArray base = path.mid(path.lastIndexOf('/') + 1);
        const qsizetype dot = base.lastIndexOf('.');
        if (dot > 0)
            if (const auto f = PoiFormatNamed(QString::fromLatin1(base.mid(dot + 1))))
                return *f;
        throw Failure{QCoreApplication::translate("Cli", "%1: unknown extension (.ov2, .gpx, .csv, .geojson, .json or .kml)").arg(Shown(path))};
    }

    QByteArray readInput(const QByteArray &path)
    {
        if (path == "-") {
            if (stdinTaken_)
                throw Failure{QCoreApplication::translate("Cli", "only one input may be the standard input")};
            stdinTaken_ = true;
            QByteArray all;
            char buffer[1 << 16];
            size_t n = 0;
            while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
                all.append(buffer, static_cast<qsizetype>(n));
            if (std::ferror(stdin))
                throw WorkFailure(QCoreApplication::translate("Cli", "cannot read the standard input"));
            return all;
        }
        FileBytes bytes;
        if (!bytes.openNative(path))
            throw Failure{QCoreApplication::translate("Cli", "%1: cannot read the file").arg(Shown(path))};
        return bytes.take();
    }

    // An input read a block at a time: the file, or the standard input.
    // A GPX input's root namespaces are read first: writers declare them in their head.
    struct Input {
        FileBytes file;
        std::unique_ptr<BlockReader> reader;
        XmlNamespaces namespaces;
    };
    std::unique_ptr<Input> openInput(const QByteArray &path)
    {
        auto input = std::make_unique<Input>();
        if (path == "-") {
            if (stdinTaken_)
                throw Failure{QCoreApplication::translate("Cli", "only one input may be the standard input")};
            stdinTaken_ = true;
            input->reader = std::make_unique<BlockReader>(0);
        } else {
            if (!input->file.startNative(path))
                throw Failure{QCoreApplication::translate("Cli", "%1: cannot read the file").arg(Shown(path))};
            input->reader = std::make_unique<BlockReader>(input->file.descriptor());
        }
        if (FormatFor(path, from_, "--from") == PoiFormat::Gpx)
            input->namespaces = GpxRootNamespaces(*input->reader);
        return input;
    }
    // What stopped a reading in blocks, once it is over.
    static void CheckReader(const QByteArray &path, const BlockReader &reader)
    {
        if (reader.failed())
            throw WorkFailure(QCoreApplication::translate("Cli", "%1: reading failed").arg(path == "-" ? QStringLiteral("-") : Shown(path)));
        if (reader.tooLong())
            throw Failure{QCoreApplication::translate("Cli", "%1: a record longer than 256 MiB: the file is damaged or not of its format").arg(Shown(path))};
    }

    // Every row must have a latitude in [-90, 90] and a longitude in [-180, 180];
    // with --skip-invalid the others are left out and counted.
    void checkRows(const QByteArray &path, PoiTable &table)
    {
        if (table.isEmptyForAdd())
            return;
        std::vector<int> valid;
        valid.reserve(static_cast<size_t>(table.lastRow()));
        int firstBad = 0;
        for (int r = 1; r <= table.lastRow(); ++r) {
            const auto lat = ParseDecimal(table.field(r, FieldLatitude), sep_);
            const auto lon = ParseDecimal(table.field(r, FieldLongitude), sep_);
            if (lat && lon && *lat >= -90 && *lat <= 90 && *lon >= -180 && *lon <= 180) {
                valid.push_back(r);
                continue;
            }
            if (!skipInvalid_) {
                const QString latText = table.field(r, FieldLatitude), lonText = table.field(r, FieldLongitude);
                throw Failure{QCoreApplication::translate("Cli", "%1: record %2 has no valid coordinates (latitude \"%3\", longitude \"%4\"; "
                                "latitudes lie in [-90, 90], longitudes in [-180, 180])")
                                  .arg(Shown(path))
                                  .arg(r)
                                  .arg(latText, lonText)};
            }
            if (firstBad == 0)
                firstBad = r;
        }
        if (firstBad != 0) {
            skippedNote(path, table.lastRow() - static_cast<int>(valid.size()), firstBad);
            table = RowsOf(table, valid);
        }
    }
    void skippedNote(const QByteArray &path, int count, int first)
    {
        Err(QCoreApplication::translate("Cli", "%1: %2 invalid records left out, the first is record %3").arg(Shown(path)).arg(count).arg(first));
    }

    // What a reader said of a file that is not of its format, or partly not.
    void checkRead(const QByteArray &path, PoiFormat format, QByteArrayView data, const ReadResult &result, bool empty)
    {
        checkRead(path, format, data.size(), result, empty, data);
    }
    void checkRead(const QByteArray &path, PoiFormat format, qint64 inputBytes, const ReadResult &result, bool empty,
                   QByteArrayView data = {})
    {
        if (format == PoiFormat::Ov2 && inputBytes > 0 && (result.truncated || result.unknownBytes > 0)) {
            if (empty)
                throw Failure{QCoreApplication::translate("Cli", "%1: not an OV2 file").arg(Shown(path))};
            if (!skipInvalid_)
                throw Failure{QCoreApplication::translate("Cli", "%1: damaged OV2 file: the record after POI %2 is no OV2 record").arg(Shown(path)).arg(result.counter)};
            Err(QCoreApplication::translate("Cli", "%1: damaged OV2 file: %2 bytes that are no OV2 record left out").arg(Shown(path)).arg(result.unknownBytes));
        }
        if (format == PoiFormat::Csv || format == PoiFormat::WindowCsv) {
            if (result.headerWithoutCoordinates)
                throw Failure{QCoreApplication::translate("Cli", "%1: the CSV header names no latitude and longitude columns").arg(Shown(path))};
            if (result.skipped > 0 && !skipInvalid_)
                throw Failure{QCoreApplication::translate("Cli", "%1: CSV record %2 has no two numbers for coordinates").arg(Shown(path)).arg(result.firstSkipped)};
            if (result.skipped > 0)
                skippedNote(path, result.skipped, result.firstSkipped);
        }
        if (format == PoiFormat::Gpx && empty && (result.routePoints || (!data.isEmpty() && !ReadGpxRouteLines(data).empty())))
            Err(QCoreApplication::translate("Cli", "%1: no waypoints; its routes and tracks are not read as POIs").arg(Shown(path)));
    }

    // Reads IN into a table of its own, in file order, every row checked.
    PoiTable read(const QByteArray &path, const std::optional<QString> &named)
    {
        const PoiFormat format = FormatFor(path, named, "--from");
        const QByteArray data = readInput(path);
        PoiTable table;
        ReadResult result;
        QString error;
        if (!ReadPoiFormat(format, data, table, sep_, &result, &error))
            throw Failure{QStringLiteral("%1: %2").arg(Shown(path), T(error.toUtf8().constData()))};
        checkRead(path, format, data, result, table.isEmptyForAdd());
        checkRows(path, table);
        return table;
    }
    PoiTable read(const QByteArray &path) { return read(path, from_); }

    static int BaseRow(const QString &base)
    {
        bool ok = false;
        const int row = base.toInt(&ok);
        if (!ok || row < 1)
            throw Failure{QCoreApplication::translate("Cli", "--base takes a row number from 1")};
        return row;
    }
    static int Rows(const PoiTable &table) { return table.isEmptyForAdd() ? 0 : table.lastRow(); }
    // A base row the loaded table has: measuring from a row that is not there would give nonsense.
    static void CheckBaseRow(const PoiTable &table, int row)
    {
        if (row > Rows(table))
            throw Failure{QCoreApplication::translate("Cli", "--base %1: the file has %2 rows").arg(row).arg(Rows(table))};
    }

    void checkWritable(const QByteArray &path) const { FormatFor(path, to_, "--to"); }

    // Writes the rows; returns how many the file holds.
    int write(const QByteArray &path, const PoiTable &table)
    {
        WriteOptions options;
        options.separator = sep_;
        options.gpx11 = gpx11_;
        int written = 0;
        writeBytes(path, PoiFormatBytes(FormatFor(path, to_, "--to"), table, 1, Rows(table), options, &written));
        return written;
    }
    void writeBytes(const QByteArray &path, const QByteArray &bytes)
    {
        // One piece through the same sink as the streamed conversions: the same checks and messages.
        Sink sink(path);
        QByteArray all = bytes;
        sink.write(all);
        sink.commit();
    }

    // Conversions go through records: every field the formats hold kept, coordinates
    // exact, file order. The window's CSV layout goes through the table.
    static bool RecordFormat(PoiFormat f) { return f != PoiFormat::WindowCsv; }
    bool recordsFor(std::initializer_list<QByteArray> inputs, const QByteArray &out) const
    {
        for (const QByteArray &in : inputs)
            if (!RecordFormat(FormatFor(in, from_, "--from")))
                return false;
        return RecordFormat(FormatFor(out, to_, "--to"));
    }
    // True for a record in range; otherwise stops the command naming it, or
    // (with --skip-invalid) says to leave it out.
    static bool InRange(long double lat, long double lon) { return lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180; }
    static bool InRange(QByteArrayView latText, QByteArrayView lonText)
    {
        const auto lat = CoordinateNumber(latText), lon = CoordinateNumber(lonText);
        return lat && lon && InRange(*lat, *lon);
    }
    bool acceptRecord(const QByteArray &path, const PoiRecord &r, int number) const
    {
        if (InRange(r.lat, r.lon))
            return true;
        if (!skipInvalid_)
            throw Failure{QCoreApplication::translate("Cli", "%1: record %2 has no valid coordinates (latitude \"%3\", longitude \"%4\"; "
                                                             "latitudes lie in [-90, 90], longitudes in [-180, 180])")
                              .arg(Shown(path))
                              .arg(number)
                              .arg(QString::fromLatin1(r.lat), QString::fromLatin1(r.lon))};
        return false;
    }

    // Where a conversion writes as it goes: a file put in place only when
    // complete, or the standard output.
    class Sink {
    public:
        explicit Sink(const QByteArray &path) : path_(path)
        {
            if (path != "-" && !file_.open(path))
                fail();
        }
        Sink(const Sink &) = delete;
        Sink &operator=(const Sink &) = delete;
        ~Sink()
        {
            if (spool_)
                std::fclose(spool_);
        }
        // The standard output gets nothing before the end, so that writeAt
        // works as on a file: the bytes wait in an unnamed temporary file.
        void spoolUntilEnd()
        {
            if (path_ == "-" && !spool_ && !(spool_ = std::tmpfile()))
                throw WorkFailure(QCoreApplication::translate("Cli", "cannot create a temporary file: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        }
        void write(QByteArray &bytes)
        {
            const bool ok = spool_ ? std::fwrite(bytes.constData(), 1, size_t(bytes.size()), spool_) == size_t(bytes.size())
                            : path_ == "-" ? WriteStdout(bytes)
                                           : file_.write(bytes);
            if (!ok)
                fail();
            bytes.clear();
        }
        void commit()
        {
            if (spool_) {
                // The spool in blocks to the standard output.
                if (std::fflush(spool_) != 0 || std::fseek(spool_, 0, SEEK_SET) != 0)
                    fail();
                QByteArray block(1 << 20, Qt::Uninitialized);
                size_t n = 0;
                while ((n = std::fread(block.data(), 1, size_t(block.size()), spool_)) > 0)
                    if (!WriteStdout(QByteArrayView(block.constData(), qsizetype(n))))
                        fail();
                if (std::ferror(spool_))
                    fail();
            }
            if (path_ == "-" ? std::fflush(stdout) != 0 : !file_.commit())
                fail();
            if (path_ != "-" && !file_.groupKept())
                Err(QCoreApplication::translate("Cli", "%1: written, but its group could not be kept").arg(Shown(path_)));
        }
        void writeAt(qint64 offset, const QByteArray &bytes)
        {
            if (spool_) {
                if (std::fseek(spool_, offset, SEEK_SET) != 0 ||
                    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), spool_) != size_t(bytes.size()))
                    fail();
                return;
            }
            if (!file_.writeAt(offset, bytes))
                fail();
        }

    private:
        [[noreturn]] void fail()
        {
            if (path_ == "-")
                throw WorkFailure(QCoreApplication::translate("Cli", "cannot write the standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
            const SaveFailure why = file_.failure();
            const QString reason = why == SaveFailure::Refused ? QCoreApplication::translate("Cli", "not a regular file, or a link that may not be followed")
                                   : why == SaveFailure::FolderNotWritable ? QCoreApplication::translate("Cli", "its folder is not writable")
                                                                            : QCoreApplication::translate("Cli", "writing failed (full disk?)");
            throw WorkFailure(QCoreApplication::translate("Cli", "%1: cannot write the file (%2); nothing was changed").arg(Shown(path_), reason));
        }
        QByteArray path_;
        AtomicFile file_;
        std::FILE *spool_ = nullptr;
    };

    // Reads the records of one input a block at a time, each checked; a file
    // that is not of its format stops the command.
    // With `wanted`, records whose coordinates it refuses are passed over unread
    // (a record out of range is read, to be named).
    using PointFilter = std::function<bool(long double lat, long double lon)>;
    void readEach(const QByteArray &path, BlockReader &reader, const std::function<void(PoiRecord &&)> &visit,
                  const PointFilter &wanted = {}, DeferTexts defer = DeferTexts::No)
    {
        const PoiFormat from = FormatFor(path, from_, "--from");
        int number = 0, bad = 0, firstBad = 0;
        ReadResult result;
        // Every record's coordinates come here first, once: it is numbered here.
        const CoordinateFilter numbered = [&](QByteArrayView latText, QByteArrayView lonText) {
            ++number;
            if (!wanted)
                return true;
            const auto lat = CoordinateNumber(latText), lon = CoordinateNumber(lonText);
            if (!lat || !lon || !InRange(*lat, *lon))
                return true;
            return wanted(*lat, *lon);
        };
        const bool ok = ForEachPoiRecord(from, reader, [](XmlNamespaces &&) {}, [&](PoiRecord &&r) {
            if (acceptRecord(path, r, number)) {
                visit(std::move(r));
            } else if (bad++ == 0) {
                firstBad = number;
            }
        }, &result, numbered, defer);
        CheckReader(path, reader);
        if (!ok) {
            const char *why = from == PoiFormat::Gpx ? kReaderErrors[0] : from == PoiFormat::GeoJson ? kReaderErrors[1] : kReaderErrors[2];
            throw Failure{QCoreApplication::translate("Cli", "%1: %2").arg(Shown(path), T(why))};
        }
        checkRead(path, from, reader.bytesRead(), result, number == 0);
        if (bad > 0)
            skippedNote(path, bad, firstBad);
    }

    // Reads the inputs in order and writes the records `keep` keeps to OUT as
    // they come: memory for one record (and for what `keep` remembers), whatever
    // the files' length; standard input of any length too.
    int pipeRecords(const QList<QByteArray> &inputs, const QByteArray &out, const std::function<bool(const PoiRecord &)> &keep = {})
    {
        // Every input opened before OUT is touched; every GPX input's namespace declarations, once, in the head.
        std::vector<std::unique_ptr<Input>> opened;
        XmlNamespaces namespaces;
        for (const QByteArray &in : inputs) {
            opened.push_back(openInput(in));
            for (auto &ns : opened.back()->namespaces)
                if (std::find(namespaces.begin(), namespaces.end(), ns) == namespaces.end())
                    namespaces.push_back(ns);
        }
        // Read on one core, written on the other; the texts decoded on the writing one
        // unless `keep` looks at them.
        const DeferTexts defer = keep ? DeferTexts::No : DeferTexts::Yes;
        return writeEach(out, namespaces, [&](const std::function<void(const PoiRecord &)> &write) {
            PipeRecords(
                [&](const std::function<void(PoiRecord &&)> &pass) {
                    for (qsizetype k = 0; k < inputs.size(); ++k)
                        readEach(inputs[k], *opened[size_t(k)]->reader, [&](PoiRecord &&r) {
                            if (!keep || keep(r))
                                pass(std::move(r));
                        }, {}, defer);
                },
                [&](PoiRecord &&r) {
                    DecodeDeferredTexts(r);
                    write(r);
                });
        });
    }

    // Writes to OUT the records `each` gives, in that order.
    int writeEach(const QByteArray &out, const XmlNamespaces &namespaces,
                  const std::function<void(const std::function<void(const PoiRecord &)> &)> &each)
    {
        Sink sink(out);
        const PoiFormat to = FormatFor(out, to_, "--to");
        // OV2's first record is known at the end: to the standard output the rest waits in a spool.
        if (to == PoiFormat::Ov2)
            sink.spoolUntilEnd();
        RecordWriter writer(to, gpx11_, {[&](QByteArray &bytes) { sink.write(bytes); },
                                         [&](qint64 at, const QByteArray &bytes) { sink.writeAt(at, bytes); }});
        writer.start(namespaces);
        each([&](const PoiRecord &r) { writer.append(r); });
        const int written = writer.finish();
        if (writer.spoolFailed())
            throw TemporaryFileFailure();
        sink.commit();
        return written;
    }

    static Failure TemporaryFileFailure()
    {
        return WorkFailure(QCoreApplication::translate("Cli", "cannot write a temporary file: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    // A record put aside in a spool, read back.
    static PoiRecord Spooled(RecordSpool &spool, qint64 at)
    {
        PoiRecord r;
        if (!spool.ok() || !spool.read(at, r))
            throw WorkFailure(QCoreApplication::translate("Cli", "cannot read a temporary file"));
        return r;
    }

    PoiRecords readRecords(const QByteArray &path)
    {
        const std::unique_ptr<Input> input = openInput(path);
        PoiRecords read;
        read.namespaces = input->namespaces;
        readEach(path, *input->reader, [&](PoiRecord &&r) { read.records.push_back(std::move(r)); });
        return read;
    }
    // The rows, in order, as a table of their own.
    static PoiTable RowsOf(const PoiTable &table, const std::vector<int> &rows)
    {
        PoiTable selected;
        selected.setRowCount(static_cast<int>(rows.size()) + 1);
        for (size_t i = 0; i < rows.size(); ++i) {
            selected.setNumber(static_cast<int>(i) + 1, static_cast<int>(i) + 1);
            for (int f = 1; f < kFieldCount; ++f)
                selected.setField(static_cast<int>(i) + 1, f, table.field(rows[i], f));
        }
        return selected;
    }
    // Output paths '-' print the file; the count then goes to the standard error.
    static void Report(const QByteArray &out, const QString &line)
    {
        if (out == "-")
            std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        else
            Out(line);
    }
    QString pois(int n) const { return QCoreApplication::translate("Cli", "%1 POIs").arg(n); }

    // JSON numbers with '.', whatever the locale; the distance in metres when there is one.
    void printJson(const PoiTable &table) const
    {
        QJsonArray array;
        for (int r = 1; r <= Rows(table); ++r) {
            QJsonObject row;
            row.insert(QStringLiteral("number"), table.number(r));
            for (const auto &[key, f] : {std::pair{"latitude", FieldLatitude}, std::pair{"longitude", FieldLongitude}}) {
                const auto v = ParseDecimal(table.field(r, f), sep_);
                row.insert(QLatin1String(key), v ? QJsonValue(static_cast<double>(*v)) : QJsonValue());
            }
            row.insert(QStringLiteral("description"), table.field(r, FieldDescription));
            row.insert(QStringLiteral("distance"), table.field(r, FieldDistance));
            bool ok = false;
            const int metres = table.field(r, FieldKey).toInt(&ok);
            row.insert(QStringLiteral("metres"), ok ? QJsonValue(metres) : QJsonValue());
            row.insert(QStringLiteral("key"), table.field(r, FieldKey));
            row.insert(QStringLiteral("cap"), table.field(r, FieldCap));
            array.append(row);
        }
        if (!WriteStdout(QJsonDocument(array).toJson(QJsonDocument::Indented)))
            throw WorkFailure(QCoreApplication::translate("Cli", "cannot write the standard output"));
    }

    int convert()
    {
        const std::optional<QString> sort = option("--sort");
        if (sort && *sort != u"name" && *sort != u"distance")
            throw Failure{QCoreApplication::translate("Cli", "--sort takes name or distance")};
        expectCount(2);
        checkWritable(args_[1]);
        if (!sort && recordsFor({args_[0]}, args_[1])) {
            Report(args_[1], pois(pipeRecords({args_[0]}, args_[1])));
            return 0;
        }
        if (sort == u"name" && recordsFor({args_[0]}, args_[1])) {
            PoiRecords records = readRecords(args_[0]);
            if (sort)
                std::stable_sort(records.records.begin(), records.records.end(), [this](const PoiRecord &a, const PoiRecord &b) {
                    return collator_.compare(JoinedName(a), JoinedName(b)) < 0;
                });
            Report(args_[1], pois(writeEach(args_[1], records.namespaces, [&](const std::function<void(const PoiRecord &)> &write) {
                for (const PoiRecord &r : records.records)
                    write(r);
            })));
            return 0;
        }
        PoiTable table = read(args_[0]);
        // File order unless asked: a converter keeps what it is given.
        if (sort)
            SortByField(table, *sort == u"name" ? FieldDescription : FieldDistance, collator_);
        Report(args_[1], pois(write(args_[1], table)));
        return 0;
    }

    int table()
    {
        const std::optional<QString> base = option("--base");
        const bool json = flag("--json");
        expectCount(1);
        PoiTable table = read(args_[0]);
        SortByField(table, FieldDistance, collator_);
        if (base) {
            CheckBaseRow(table, BaseRow(*base));
            RunDistances(table, BaseRow(*base), sep_, collator_);
        }
        if (json) {
            printJson(table);
            return 0;
        }
        for (int r = 1; r <= Rows(table); ++r) {
            QStringList fields;
            for (int f = 0; f < kFieldCount; ++f) {
                QString text = table.field(r, f);
                for (QChar &c : text)
                    if (c == u'\t' || c == u'\n' || c == u'\r')
                        c = u' ';
                fields << text;
            }
            Out(fields.join(u'\t'));
        }
        return 0;
    }

    // True when every row has coordinates in range (what a fast read gives before names).
    bool rowsInRange(const PoiTable &table) const
    {
        for (int r = 1; r <= Rows(table); ++r) {
            const auto lat = ParseDecimal(table.field(r, FieldLatitude), sep_);
            const auto lon = ParseDecimal(table.field(r, FieldLongitude), sep_);
            if (!lat || !lon || *lat < -90 || *lat > 90 || *lon < -180 || *lon > 180)
                return false;
        }
        return true;
    }

    // --name A B, taken out of the arguments.
    std::optional<std::pair<QByteArray, QByteArray>> pairOption(const char *name)
    {
        const qsizetype i = args_.indexOf(QByteArray(name));
        if (i < 0)
            return std::nullopt;
        if (i + 2 >= args_.size())
            throw Failure{QCoreApplication::translate("Cli", "%1 needs two values").arg(QLatin1String(name))};
        std::pair<QByteArray, QByteArray> values{args_.at(i + 1), args_.at(i + 2)};
        args_.remove(i, 3);
        return values;
    }

    // The POIs within `limit` metres of a point, nearest first, every field
    // kept: the file streams through once; the POIs found wait in a spool.
    int nearPoint(const QByteArray &in, const QByteArray &out, float lat, float lon, long double limit, bool json)
    {
        struct Found {
            int32_t metres;
            float bearing;
            int number;
            qint64 at;
        };
        std::vector<Found> found;
        RecordSpool spool;
        const BaseMeasures base(lat, lon);
        const std::unique_ptr<Input> input = openInput(in);
        // Names and the rest are read only for the POIs within the limit.
        int number = 0;
        BaseMeasures::Both last{};
        readEach(in, *input->reader, [&](PoiRecord &&r) { found.push_back({last.distance, last.bearing, number, spool.append(r)}); },
                 [&](long double la, long double lo) {
                     ++number;
                     // No trigonometry where the latitudes alone put a POI well beyond the
                     // limit: no great circle is shorter than the arc of their difference.
                     const auto poiLat = static_cast<float>(la);
                     if (std::fabs(DegToRad(poiLat) - DegToRad(lat)) * kEarthRadius > limit + 1000)
                         return false;
                     last = base.measure(poiLat, static_cast<float>(lo));
                     return last.distance <= limit;
                 });
        if (!spool.ok())
            throw TemporaryFileFailure();
        std::stable_sort(found.begin(), found.end(), [](const Found &a, const Found &b) { return a.metres < b.metres; });
        auto each = [&](const std::function<void(const Found &, const PoiRecord &)> &visit) {
            for (const Found &f : found)
                visit(f, Spooled(spool, f.at));
        };
        auto printJson = [&] {
            QJsonArray array;
            each([&](const Found &f, const PoiRecord &r) {
                QJsonObject row;
                row.insert(QStringLiteral("number"), f.number);
                row.insert(QStringLiteral("latitude"), static_cast<double>(*CoordinateNumber(r.lat)));
                row.insert(QStringLiteral("longitude"), static_cast<double>(*CoordinateNumber(r.lon)));
                row.insert(QStringLiteral("description"), JoinedName(r));
                row.insert(QStringLiteral("distance"), DistanceText(f.metres));
                row.insert(QStringLiteral("metres"), f.metres);
                row.insert(QStringLiteral("key"), DistanceKey(f.metres));
                row.insert(QStringLiteral("cap"), CompassText(f.bearing));
                array.append(row);
            });
            if (!WriteStdout(QJsonDocument(array).toJson(QJsonDocument::Indented)))
                throw WorkFailure(QCoreApplication::translate("Cli", "cannot write the standard output"));
        };
        if (json && out == "-") {
            printJson();
            return 0;
        }
        const int written = writeEach(out, input->namespaces, [&](const std::function<void(const PoiRecord &)> &write) {
            each([&](const Found &, const PoiRecord &r) { write(r); });
        });
        if (json)
            printJson();
        else
            Report(out, pois(written));
        return 0;
    }

    int near()
    {
        const std::optional<QString> base = option("--base");
        const auto at = pairOption("--at");
        const std::optional<QString> radius = option("--radius-km");
        const bool json = flag("--json");
        if ((!base && !at) || (base && at) || !radius)
            throw Failure{QCoreApplication::translate("Cli", "near needs --at LAT LON or --base N, and --radius-km R")};
        if (at) {
            args_.append(at->first);
            args_.append(at->second);
            expectCount(4);
            const float lat = latitude(2), lon = longitude(3);
            if (!(json && args_[1] == "-"))
                checkWritable(args_[1]);
            if ((json && args_[1] == "-") || recordsFor({args_[0]}, args_[1]))
                return nearPoint(args_[0], args_[1], lat, lon, static_cast<long double>(Distance(radius, "--radius-km")) * 1000.0L, json);
            throw Failure{QCoreApplication::translate("Cli", "near --at writes OV2, GPX, CSV, GeoJSON or KML")};
        }
        expectCount(2);
        const QByteArray &in = args_[0], &out = args_[1];
        if (!(json && out == "-"))
            checkWritable(out);
        const int baseRow = BaseRow(*base);
        const long double limit = static_cast<long double>(Distance(radius, "--radius-km")) * 1000.0L;
        // The same rows a load, "Calculer" and a Shift-click would give, without sorting everything twice.
        // OV2 and GPX files: coordinates first, names only for the rows written.
        std::vector<int> rows;
        PoiTable table;
        const PoiFormat format = FormatFor(in, from_, "--from");
        bool done = false;
        if (format == PoiFormat::Ov2 || format == PoiFormat::Gpx) {
            const QByteArray data = readInput(in);
            if (format == PoiFormat::Ov2) {
                std::vector<QByteArrayView> names;
                const ReadResult result = ReadOv2Coordinates(data, table, sep_, names);
                checkRead(in, format, data, result, table.isEmptyForAdd());
                if (rowsInRange(table)) {
                    CheckBaseRow(table, baseRow);
                    rows = NearSelection(table, baseRow, limit, sep_, collator_, [&](const std::vector<int> &described) {
                        StoreOv2Names(table, names, described);
                    });
                    done = true;
                }
            } else {
                if (!IsGpxDocument(data))
                    throw Failure{QCoreApplication::translate("Cli", "%1: not a GPX file").arg(Shown(in))};
                GpxWaypoints waypoints;
                const ReadResult result = ReadGpxCoordinates(data, table, sep_, waypoints);
                checkRead(in, format, data, result, table.isEmptyForAdd());
                if (rowsInRange(table)) {
                    CheckBaseRow(table, baseRow);
                    rows = NearSelection(table, baseRow, limit, sep_, collator_, [&](const std::vector<int> &described) {
                        StoreGpxNames(table, waypoints, described);
                    });
                    done = true;
                }
            }
            if (!done) {
                // A record out of range: the whole reading names it (or leaves it out).
                table = PoiTable();
                ReadResult result;
                QString error;
                ReadPoiFormat(format, data, table, sep_, &result, &error);
                checkRows(in, table);
            }
        } else {
            table = read(in);
        }
        if (!done) {
            CheckBaseRow(table, baseRow);
            rows = NearSelection(table, baseRow, limit, sep_, collator_);
        }
        const PoiTable selected = RowsOf(table, rows);
        if (json && out == "-") {
            printJson(selected);
            return 0;
        }
        const int written = write(out, selected);
        if (json)
            printJson(selected);
        else
            Report(out, pois(written));
        return 0;
    }

    // The file's identity, to tell an output that is one of the inputs whatever its name.
    static std::optional<std::pair<dev_t, ino_t>> Identity(const QByteArray &path)
    {
        struct stat st {};
        if (path == "-" || stat(path.constData(), &st) != 0)
            return std::nullopt;
        return std::pair{st.st_dev, st.st_ino};
    }

    int merge()
    {
        expectCount(args_.size());
        if (args_.size() < 3)
            throw Failure{QCoreApplication::translate("Cli", "merge needs at least two inputs and an output (see --help)")};
        const QByteArray out = args_.takeLast();
        checkWritable(out);
        if (const auto target = Identity(out))
            for (const QByteArray &in : std::as_const(args_))
                if (Identity(in) == target)
                    throw Failure{QCoreApplication::translate("Cli", "%1 is one of the inputs: merge writes to a file of its own").arg(Shown(out))};
        bool records = RecordFormat(FormatFor(out, to_, "--to"));
        for (const QByteArray &in : std::as_const(args_))
            records = records && RecordFormat(FormatFor(in, from_, "--from"));
        if (records) {
            Report(out, pois(pipeRecords(args_, out)));
            return 0;
        }
        PoiTable all;
        for (const QByteArray &in : std::as_const(args_)) {
            PoiTable one = read(in);
            if (!one.isEmptyForAdd())
                all.appendRows(std::move(one));
        }
        Report(out, pois(write(out, all)));
        return 0;
    }

    int dedupe()
    {
        const std::optional<QString> within = option("--within-m");
        const bool sameName = flag("--same-name");
        if (!within)
            throw Failure{QCoreApplication::translate("Cli", "dedupe needs --within-m M")};
        const float metres = Distance(within, "--within-m");
        expectCount(2);
        checkWritable(args_[1]);
        if (recordsFor({args_[0]}, args_[1])) {
            // Memory for the kept points' places only: the records stream through.
            DuplicateFilter filter(metres, sameName);
            int seen = 0, kept = 0;
            const int written = pipeRecords({args_[0]}, args_[1], [&](const PoiRecord &r) {
                ++seen;
                const bool keep = filter.keep(CoordinateNumber(r.lat), CoordinateNumber(r.lon), sameName ? JoinedName(r) : QString());
                kept += keep;
                return keep;
            });
            Report(args_[1], QCoreApplication::translate("Cli", "%1 duplicates removed, %2").arg(seen - kept).arg(pois(written)));
            return 0;
        }
        const PoiTable table = read(args_[0]);
        const std::vector<int> kept = RowsWithoutDuplicates(table, metres, sameName, sep_);
        const int written = write(args_[1], RowsOf(table, kept));
        Report(args_[1], QCoreApplication::translate("Cli", "%1 duplicates removed, %2").arg(Rows(table) - static_cast<int>(kept.size())).arg(pois(written)));
        return 0;
    }

    int along()
    {
        const std::optional<QString> within = option("--within-km");
        const std::optional<QString> routeFrom = option("--route-from");
        if (!within)
            throw Failure{QCoreApplication::translate("Cli", "along needs --within-km D")};
        const float km = Distance(within, "--within-km");
        expectCount(3);
        checkWritable(args_[2]);
        // The route: a GPX file's routes and track segments, or the POIs of any file in order.
        const std::optional<QString> &routeFormat = routeFrom ? routeFrom : from_;
        const PoiFormat format = FormatFor(args_[0], routeFormat, "--route-from");
        std::vector<std::vector<LatLon>> lines;
        const QByteArray data = readInput(args_[0]);
        if (format == PoiFormat::Gpx)
            lines = ReadGpxRouteLines(data);
        if (lines.empty()) {
            PoiTable points;
            ReadResult result;
            QString error;
            if (!ReadPoiFormat(format, data, points, sep_, &result, &error))
                throw Failure{QStringLiteral("%1: %2").arg(Shown(args_[0]), T(error.toUtf8().constData()))};
            checkRows(args_[0], points);
            std::vector<LatLon> line;
            for (int r = 1; r <= Rows(points); ++r)
                line.push_back({ReadDecimal(points.field(r, FieldLatitude), sep_), ReadDecimal(points.field(r, FieldLongitude), sep_)});
            if (!line.empty())
                lines.push_back(std::move(line));
        }
        if (lines.empty())
            throw Failure{QCoreApplication::translate("Cli", "%1: the route has no point").arg(Shown(args_[0]))};
        if (recordsFor({args_[1]}, args_[2]))
            return alongRecords(lines, static_cast<double>(km) * 1000.0);
        const PoiTable table = read(args_[1]);
        const std::vector<RouteOffset> near = RowsAlongRoute(lines, table, static_cast<double>(km) * 1000.0, sep_);
        std::vector<int> order;
        order.reserve(near.size());
        for (const RouteOffset &o : near)
            order.push_back(o.row);
        Report(args_[2], pois(write(args_[2], RowsOf(table, order))));
        return 0;
    }

    // The POIs of IN near the route, every field kept: IN streams through, the
    // POIs found wait in a spool until their order along the route is known.
    int alongRecords(const std::vector<std::vector<LatLon>> &lines, double metres)
    {
        const QByteArray &in = args_[1], &out = args_[2];
        const RouteIndex route(lines, metres);
        std::vector<RouteOffset> found;
        std::vector<qint64> where;
        RecordSpool spool;
        const std::unique_ptr<Input> input = openInput(in);
        std::optional<RouteOffset> last;
        readEach(in, *input->reader, [&](PoiRecord &&r) {
            RouteOffset o = *last;
            o.row = static_cast<int>(where.size());
            where.push_back(spool.append(r));
            found.push_back(o);
        }, [&](long double lat, long double lon) {
            last = route.offsetOf(static_cast<float>(lat), static_cast<float>(lon));
            return last.has_value();
        });
        SortAlongRoute(found);
        const int written = writeEach(out, input->namespaces, [&](const std::function<void(const PoiRecord &)> &write) {
            for (const RouteOffset &o : found)
                write(Spooled(spool, where[static_cast<size_t>(o.row)]));
        });
        Report(out, pois(written));
        return 0;
    }

    static QString DistanceText(int32_t metres)
    {
        if (metres <= 999)
            return QCoreApplication::translate("Cli", "%1 m").arg(metres);
        return QCoreApplication::translate("Cli", "%1 km and %2 m").arg(metres / 1000).arg(metres % 1000);
    }

    int distance()
    {
        expectCount(4);
        const float la1 = latitude(0), lo1 = longitude(1), la2 = latitude(2), lo2 = longitude(3);
        Out(DistanceText(SphericalDistance(la1, lo1, la2, lo2)));
        Out(FormatBearing(InitialBearing(la1, lo1, la2, lo2), sep_));
        return 0;
    }

    int destination()
    {
        expectCount(4);
        const float la = latitude(0), lo = longitude(1), bearing = number(2), metres = number(3);
        const LatLon p = DestinationPoint(la, lo, bearing, metres);
        Out(FormatCoordinate(p.lat, sep_) + u' ' + FormatCoordinate(p.lon, sep_));
        return 0;
    }

    int crossing()
    {
        expectCount(8);
        LatLon p[4];
        for (int k = 0; k < 4; ++k)
            p[k] = {latitude(2 * k), longitude(2 * k + 1)};
        const Crossing c = RouteCrossing(p[0], p[1], p[2], p[3]);
        if (c.status != Crossing::Status::Crossing && c.status != Crossing::Status::Parallel) {
            const char *why = c.status == Crossing::Status::DivisionByZero ? QT_TRANSLATE_NOOP("Cli", "no crossing can be computed: division by zero (a route along a meridian)")
                              : c.status == Crossing::Status::Overflow    ? QT_TRANSLATE_NOOP("Cli", "no crossing can be computed: floating-point overflow")
                                                                          : QT_TRANSLATE_NOOP("Cli", "no crossing can be computed: invalid floating-point operation");
            Err(T(why));
            return 1;
        }
        const int32_t l1 = SphericalDistance(p[0].lat, p[0].lon, p[1].lat, p[1].lon);
        const int32_t l2 = SphericalDistance(p[2].lat, p[2].lon, p[3].lat, p[3].lon);
        if (c.status == Crossing::Status::Parallel) {
            Out(QStringLiteral("parallel"));
            Out(QStringLiteral("%1 %2").arg(l1).arg(l2));
            return 0;
        }
        Out(FormatCoordinate(c.lat, sep_) + u' ' + FormatCoordinate(c.lon, sep_));
        QStringList line = {QString::number(l1), QString::number(l2)};
        for (int k = 0; k < 4; ++k)
            line << QString::number(SphericalDistance(p[k].lat, p[k].lon, c.lat, c.lon));
        Out(line.join(u' '));
        return 0;
    }

    QList<QByteArray> args_;
    QChar sep_;
    QCollator collator_;
    std::optional<QString> from_, to_;
    bool gpx11_ = false;
    bool skipInvalid_ = false;
    bool stdinTaken_ = false;
};

}  // namespace

int main(int argc, char **argv)
{
    orvalis::RemoveTemporaryFilesOn({SIGINT, SIGTERM, SIGHUP, SIGPIPE});
    QCoreApplication app(argc, argv);
    // One language per run: French for a French locale, English otherwise.
    QTranslator french;
    if (QLocale::system().language() == QLocale::French && french.load(QStringLiteral(":/i18n/orvalis-cli_fr.qm")))
        QCoreApplication::installTranslator(&french);
    // Paths are the arguments' bytes, never a decoded and re-encoded text.
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);
    int code = 0;
    try {
        Cli cli(std::move(args));
        code = cli.run();
    } catch (const Failure &f) {
        Err(f.message);
        code = f.code;
    }
    // Output that did not reach its destination is a failure, whatever was printed.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Err(QCoreApplication::translate("Cli", "cannot write the standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return code == 0 ? 1 : code;
    }
    return code;
}
