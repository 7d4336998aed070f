// orvalis-cli: the program's engine without a window.
#include "app/version.h"
#include "files/gpx_format.h"
#include "files/poi_file.h"
#include "files/poi_formats.h"
#include "files/save_file.h"
#include "geo/decimal_entry.h"
#include "geo/geodesy.h"
#include "table/along_route.h"
#include "table/dedupe.h"
#include "table/distance_run.h"
#include "table/sort_by_field.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMap>
#include <QStringList>
#include <cstdio>
#include <optional>

using namespace orvalis;

namespace {

const char *kUsage =
    "Usage: orvalis-cli COMMAND ARGUMENTS   (orvalis-cli COMMAND --help for one command)\n"
    "       orvalis-cli --help | --version\n"
    "\n"
    "A number argument may use '.' or ',' as its decimal separator; anything that\n"
    "is not a number stops the command (exit 2). Numbers are written with the\n"
    "separator of your locale (LC_ALL=fr_FR.UTF-8 gives ',', LC_ALL=C gives '.').\n"
    "\n"
    "Files are read and written as OV2, GPX, CSV, GeoJSON (.geojson, .json) or KML,\n"
    "chosen by extension or by --from/--to FORMAT; '-' is standard input or output\n"
    "(then --from/--to is needed). An existing output file is replaced only by a\n"
    "complete one.\n"
    "\n"
    "Commands:\n";

struct Command {
    const char *name;
    const char *synopsis;
    const char *text;
};

const Command kCommands[] = {
    {"convert", "convert IN OUT [--from F] [--to F] [--gpx11]",
     "load IN (then sort by the Distance field, as the window does) and write\n"
     "every row to OUT; prints \"<n> POIs\". --gpx11 writes GPX 1.1 with its\n"
     "namespace and name and desc apart, for tools that check the schema."},
    {"table", "table IN [--base N] [--json] [--from F]",
     "load IN, with --base run the distance run from row N; print one line per\n"
     "row, the seven fields separated by tabs, or with --json a JSON array of\n"
     "objects (number, latitude, longitude, description, distance, key, cap)."},
    {"near", "near IN OUT --base N --radius-km R [--json] [--from F] [--to F] [--gpx11]",
     "load, distance run from row N, write rows 1..k, k the last row within R km\n"
     "(what a Shift-click selects in the window); prints \"<k> POIs\", or with\n"
     "--json the rows written."},
    {"merge", "merge IN... OUT [--to F] [--gpx11]",
     "read every IN, in order, into one table (file order, not sorted) and write\n"
     "it to OUT; prints \"<n> POIs\"."},
    {"dedupe", "dedupe IN OUT --within-m M [--same-name] [--from F] [--to F] [--gpx11]",
     "keep the first of POIs within M metres of each other (with --same-name,\n"
     "only when their descriptions are equal ignoring case and accents), in file\n"
     "order; prints \"<d> duplicates removed, <n> POIs\"."},
    {"along", "along ROUTE IN OUT --within-km D [--from F] [--to F] [--gpx11]",
     "keep the POIs of IN within D km of the route: the route and track points\n"
     "of ROUTE when it is a GPX file that has some, otherwise its POIs in order.\n"
     "Distances to the great-circle segments on the program's sphere, clamped to\n"
     "their ends; output in route order, then by distance from the route;\n"
     "prints \"<n> POIs\"."},
    {"distance", "distance LAT1 LON1 LAT2 LON2", "distance and initial bearing"},
    {"destination", "destination LAT LON BEARING METRES", "destination latitude and longitude"},
    {"crossing", "crossing LAT1 LON1 ... LAT4 LON4",
     "crossing of route 1-2 with route 3-4: \"latX lonX\", then\n"
     "\"L1 L2 d1 d2 d3 d4\"; \"parallel\" then \"L1 L2\" for parallel routes."},
};

const char *kExitCodes =
    "\n"
    "Exit codes: 0 done, 1 no crossing can be computed (a route along a meridian),\n"
    "2 bad arguments (a number that is not one, --base past the last row, a file\n"
    "that is not of its format) or a file that cannot be read or written.\n";

QString Indented(const char *text, int column)
{
    return QString::fromUtf8(text).replace(u'\n', u'\n' + QString(column, u' '));
}

QString Usage()
{
    QString out = QString::fromUtf8(kUsage);
    for (const Command &c : kCommands)
        out += QStringLiteral("  %1\n      %2\n").arg(QString::fromUtf8(c.synopsis), Indented(c.text, 6));
    return out + QString::fromUtf8(kExitCodes);
}

QString CommandUsage(const Command &c)
{
    return QStringLiteral("Usage: orvalis-cli %1\n\n%2\n").arg(QString::fromUtf8(c.synopsis), QString::fromUtf8(c.text)) +
           QString::fromUtf8(kExitCodes);
}

struct Failure {
    QString message;
};

void Out(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

class Cli {
public:
    explicit Cli(QStringList args) : args_(std::move(args))
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
            std::fputs(Usage().toUtf8().constData(), stdout);
            return 0;
        }
        if (args_.first() == "--version") {
            Out(QStringLiteral("orvalis-cli ") + Version());
            return 0;
        }
        const QString name = args_.takeFirst();
        const Command *command = nullptr;
        for (const Command &c : kCommands)
            if (name == QLatin1String(c.name))
                command = &c;
        if (!command)
            throw Failure{QStringLiteral("unknown command \"%1\" (see --help)").arg(name)};
        if (args_.contains("--help") || args_.contains("-h")) {
            std::fputs(CommandUsage(*command).toUtf8().constData(), stdout);
            return 0;
        }
        from_ = option("--from");
        to_ = option("--to");
        gpx11_ = flag("--gpx11");
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
    std::optional<QString> option(const QString &name)
    {
        const qsizetype i = args_.indexOf(name);
        if (i < 0)
            return std::nullopt;
        if (i + 1 >= args_.size())
            throw Failure{name + QStringLiteral(" needs a value")};
        const QString value = args_.at(i + 1);
        args_.remove(i, 2);
        return value;
    }
    bool flag(const QString &name) { return args_.removeAll(name) > 0; }
    void expectCount(qsizetype n)
    {
        // An option not taken by the command is a mistake, not a file name.
        for (const QString &a : std::as_const(args_))
            if (a.startsWith(QStringLiteral("--")))
                throw Failure{QStringLiteral("unknown option %1 (see --help)").arg(a)};
        if (args_.size() != n)
            throw Failure{QStringLiteral("expected %1 arguments, got %2 (see --help)").arg(n).arg(args_.size())};
    }
    // An argument is one number, so either separator reads it; anything else stops the command.
    static float Number(const QString &text, const QString &what)
    {
        std::optional<long double> v = ParseDecimal(text, u'.');
        if (!v)
            v = ParseDecimal(text, u',');
        if (!v)
            throw Failure{QStringLiteral("%1 (\"%2\") is not a number").arg(what, text)};
        if (ExceedsFloat(text, text.contains(u',') ? u',' : u'.'))
            throw Failure{QStringLiteral("%1 (\"%2\") is too large").arg(what, text)};
        return static_cast<float>(*v);
    }
    float number(qsizetype i) const { return Number(args_.at(i), QStringLiteral("argument %1").arg(i + 1)); }

    static PoiFormat FormatFor(const QString &path, const std::optional<QString> &named, const char *which)
    {
        if (named) {
            if (const auto f = PoiFormatNamed(*named))
                return *f;
            throw Failure{QStringLiteral("%1 %2: unknown format (ov2, gpx, csv, geojson, kml)").arg(QLatin1String(which), *named)};
        }
        if (path == u"-")
            throw Failure{QStringLiteral("'-' needs %1 FORMAT").arg(QLatin1String(which))};
        if (const auto f = PoiFormatOfPath(path))
            return *f;
        throw Failure{QStringLiteral("%1: unknown extension (.ov2, .gpx, .csv, .geojson, .json or .kml)").arg(path)};
    }

    QByteArray readInput(const QString &path)
    {
        if (path == u"-") {
            QFile in;
            if (!in.open(stdin, QIODevice::ReadOnly))
                throw Failure{QStringLiteral("cannot read the standard input")};
            return in.readAll();
        }
        FileBytes bytes;
        if (!bytes.open(path))
            throw Failure{QStringLiteral("%1: cannot read the file").arg(path)};
        return bytes.take();
    }

    // Reads IN into `into` (appended after its rows when `append`); returns the POI count.
    int load(const QString &path, PoiTable &into, bool append = false)
    {
        const PoiFormat format = FormatFor(path, from_, "--from");
        const QByteArray data = readInput(path);
        PoiTable read;
        ReadResult result;
        QString error;
        if (!ReadPoiFormat(format, data, read, sep_, &result, &error))
            throw Failure{QStringLiteral("%1: %2").arg(path, error)};
        if (!append || into.isEmptyForAdd()) {
            into = std::move(read);
            return result.counter;
        }
        if (read.isEmptyForAdd())
            return result.counter;
        const int start = into.lastRow();
        into.setRowCount(start + read.lastRow() + 1);
        for (int r = 1; r <= read.lastRow(); ++r) {
            into.setNumber(start + r, start + r);
            for (int f = 1; f < kFieldCount; ++f)
                into.setField(start + r, f, read.field(r, f));
        }
        return result.counter;
    }
    int load(const QString &path, bool sorted = true)
    {
        const int counter = load(path, table_);
        if (sorted)
            SortByField(table_, FieldDistance, collator_);
        return counter;
    }

    static int BaseRow(const QString &base)
    {
        bool ok = false;
        const int row = base.toInt(&ok);
        if (!ok || row < 1)
            throw Failure{QStringLiteral("--base takes a row number from 1")};
        return row;
    }
    int rows() const { return table_.isEmptyForAdd() ? 0 : table_.lastRow(); }
    // A base row the loaded table has: measuring from a row that is not there would give nonsense.
    void checkBaseRow(int row) const
    {
        if (row > rows())
            throw Failure{QStringLiteral("--base %1: the file has %2 rows").arg(row).arg(rows())};
    }

    void checkWritable(const QString &path) const { FormatFor(path, to_, "--to"); }

    void write(const QString &path, const PoiTable &table, int first, int last)
    {
        WriteOptions options;
        options.separator = sep_;
        options.gpx11 = gpx11_;
        const QByteArray bytes = PoiFormatBytes(FormatFor(path, to_, "--to"), table, first, last, options);
        if (path == u"-") {
            if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) != static_cast<size_t>(bytes.size()))
                throw Failure{QStringLiteral("cannot write the standard output")};
            return;
        }
        if (!SaveFileBytes(path, bytes))
            throw Failure{QStringLiteral("%1: cannot write the file").arg(path)};
    }
    void write(const QString &path, int first, int last) { write(path, table_, first, last); }
    // The rows, in order, as a table of their own.
    PoiTable rowsOf(const std::vector<int> &rows) const
    {
        PoiTable selected;
        selected.setRowCount(static_cast<int>(rows.size()) + 1);
        for (size_t i = 0; i < rows.size(); ++i) {
            selected.setNumber(static_cast<int>(i) + 1, static_cast<int>(i) + 1);
            for (int f = 1; f < kFieldCount; ++f)
                selected.setField(static_cast<int>(i) + 1, f, table_.field(rows[i], f));
        }
        return selected;
    }
    // Output paths '-' print the file; the count then goes to the standard error.
    static void Report(const QString &out, const QString &line)
    {
        if (out == u"-")
            std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        else
            Out(line);
    }
    static void PrintJson(const PoiTable &table, int first, int last)
    {
        static const char *keys[kFieldCount] = {"number", "latitude", "longitude", "description", "distance", "key", "cap"};
        QJsonArray array;
        for (int r = first; r <= last; ++r) {
            QJsonObject row;
            for (int f = 0; f < kFieldCount; ++f)
                row.insert(QLatin1String(keys[f]), table.field(r, f));
            array.append(row);
        }
        const QByteArray bytes = QJsonDocument(array).toJson(QJsonDocument::Indented);
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    }

    int convert()
    {
        expectCount(2);
        checkWritable(args_[1]);
        const int counter = load(args_[0]);
        write(args_[1], 1, table_.lastRow());
        Report(args_[1], QStringLiteral("%1 POIs").arg(counter));
        return 0;
    }

    int table()
    {
        const std::optional<QString> base = option("--base");
        const bool json = flag("--json");
        expectCount(1);
        load(args_[0]);
        if (base) {
            checkBaseRow(BaseRow(*base));
            RunDistances(table_, BaseRow(*base), sep_, collator_);
        }
        if (json) {
            PrintJson(table_, 1, rows());
            return 0;
        }
        for (int r = 1; r <= table_.lastRow(); ++r) {
            QStringList fields;
            for (int f = 0; f < kFieldCount; ++f) {
                QString text = table_.field(r, f);
                for (QChar &c : text)
                    if (c == u'\t' || c == u'\n' || c == u'\r')
                        c = u' ';
                fields << text;
            }
            Out(fields.join(u'\t'));
        }
        return 0;
    }

    int near()
    {
        const std::optional<QString> base = option("--base");
        const std::optional<QString> radius = option("--radius-km");
        const bool json = flag("--json");
        if (!base || !radius)
            throw Failure{QStringLiteral("near needs --base N and --radius-km R")};
        expectCount(2);
        checkWritable(args_[1]);
        const int baseRow = BaseRow(*base);
        const long double limit = static_cast<long double>(Number(*radius, QStringLiteral("--radius-km"))) * 1000.0L;
        // The same rows a load, "Calculer" and a Shift-click would give, without sorting everything twice.
        // OV2 and GPX files: coordinates first, names only for the rows written.
        std::vector<int> rows;
        const PoiFormat format = FormatFor(args_[0], from_, "--from");
        if (format == PoiFormat::Ov2) {
            const QByteArray data = readInput(args_[0]);
            std::vector<QByteArrayView> names;
            ReadOv2Coordinates(data, table_, sep_, names);
            checkBaseRow(baseRow);
            std::optional<bool> mixed;
            rows = NearSelection(table_, baseRow, limit, sep_, collator_,
                                 [&](const std::vector<int> &described) { StoreOv2Names(table_, names, described, mixed); });
        } else if (format == PoiFormat::Gpx) {
            const QByteArray data = readInput(args_[0]);
            if (!IsGpxDocument(data))
                throw Failure{QStringLiteral("%1: not a GPX file").arg(args_[0])};
            GpxWaypoints waypoints;
            ReadGpxCoordinates(data, table_, sep_, waypoints);
            checkBaseRow(baseRow);
            rows = NearSelection(table_, baseRow, limit, sep_, collator_,
                                 [&](const std::vector<int> &described) { StoreGpxNames(table_, waypoints, described); });
        } else {
            load(args_[0], false);
            checkBaseRow(baseRow);
            rows = NearSelection(table_, baseRow, limit, sep_, collator_);
        }
        const PoiTable selected = rowsOf(rows);
        write(args_[1], selected, 1, static_cast<int>(rows.size()));
        if (json)
            PrintJson(selected, 1, static_cast<int>(rows.size()));
        else
            Report(args_[1], QStringLiteral("%1 POIs").arg(rows.size()));
        return 0;
    }

    int merge()
    {
        if (args_.size() < 2)
            throw Failure{QStringLiteral("merge needs at least one input and an output (see --help)")};
        expectCount(args_.size());
        const QString out = args_.takeLast();
        checkWritable(out);
        for (const QString &in : std::as_const(args_))
            load(in, table_, true);
        write(out, 1, rows());
        Report(out, QStringLiteral("%1 POIs").arg(rows()));
        return 0;
    }

    int dedupe()
    {
        const std::optional<QString> within = option("--within-m");
        const bool sameName = flag("--same-name");
        if (!within)
            throw Failure{QStringLiteral("dedupe needs --within-m M")};
        const float metres = Number(*within, QStringLiteral("--within-m"));
        if (metres < 0)
            throw Failure{QStringLiteral("--within-m takes a distance of 0 or more")};
        expectCount(2);
        checkWritable(args_[1]);
        load(args_[0], false);
        const std::vector<int> kept = RowsWithoutDuplicates(table_, metres, sameName, sep_);
        const PoiTable result = rowsOf(kept);
        write(args_[1], result, 1, static_cast<int>(kept.size()));
        Report(args_[1], QStringLiteral("%1 duplicates removed, %2 POIs").arg(rows() - static_cast<int>(kept.size())).arg(kept.size()));
        return 0;
    }

    int along()
    {
        const std::optional<QString> within = option("--within-km");
        if (!within)
            throw Failure{QStringLiteral("along needs --within-km D")};
        const float km = Number(*within, QStringLiteral("--within-km"));
        if (km < 0)
            throw Failure{QStringLiteral("--within-km takes a distance of 0 or more")};
        expectCount(3);
        checkWritable(args_[2]);
        // The route: a GPX file's route and track points, or the POIs of any file in order.
        std::vector<LatLon> route;
        if (FormatFor(args_[0], std::nullopt, "--from") == PoiFormat::Gpx)
            route = ReadGpxRoutePoints(readInput(args_[0]));
        if (route.empty()) {
            PoiTable points;
            load(args_[0], points);
            for (int r = 1; r <= (points.isEmptyForAdd() ? 0 : points.lastRow()); ++r)
                route.push_back({ReadDecimal(points.field(r, FieldLatitude), sep_), ReadDecimal(points.field(r, FieldLongitude), sep_)});
        }
        if (route.empty())
            throw Failure{QStringLiteral("%1: the route has no point").arg(args_[0])};
        load(args_[1], false);
        const std::vector<RouteOffset> near = RowsAlongRoute(route, table_, static_cast<double>(km) * 1000.0, sep_);
        std::vector<int> order;
        order.reserve(near.size());
        for (const RouteOffset &o : near)
            order.push_back(o.row);
        write(args_[2], rowsOf(order), 1, static_cast<int>(order.size()));
        Report(args_[2], QStringLiteral("%1 POIs").arg(order.size()));
        return 0;
    }

    int distance()
    {
        expectCount(4);
        const int32_t d = SphericalDistance(number(0), number(1), number(2), number(3));
        Out(FormatDistance(d));
        Out(FormatBearing(InitialBearing(number(0), number(1), number(2), number(3)), sep_));
        return 0;
    }

    int destination()
    {
        expectCount(4);
        const LatLon p = DestinationPoint(number(0), number(1), number(2), number(3));
        Out(FormatCoordinate(p.lat, sep_) + u' ' + FormatCoordinate(p.lon, sep_));
        return 0;
    }

    int crossing()
    {
        expectCount(8);
        LatLon p[4];
        for (int k = 0; k < 4; ++k)
            p[k] = {number(2 * k), number(2 * k + 1)};
        const Crossing c = RouteCrossing(p[0], p[1], p[2], p[3]);
        if (c.status != Crossing::Status::Crossing && c.status != Crossing::Status::Parallel) {
            std::fprintf(stderr, "%s\n", CrossingErrorText(c.status).toUtf8().constData());
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

    QStringList args_;
    QChar sep_;
    QCollator collator_;
    PoiTable table_;
    std::optional<QString> from_, to_;
    bool gpx11_ = false;
};

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        Cli cli(app.arguments().mid(1));
        return cli.run();
    } catch (const Failure &f) {
        std::fprintf(stderr, "orvalis-cli: %s\n", f.message.toUtf8().constData());
        return 2;
    }
}
