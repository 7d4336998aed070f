// orvalis-cli: the program's engine without a window.
#include "app/version.h"
#include "files/csv_format.h"
#include "files/gpx_format.h"
#include "files/ov2_format.h"
#include "files/poi_file.h"
#include "files/save_file.h"
#include "geo/decimal_entry.h"
#include "geo/geodesy.h"
#include "table/distance_run.h"
#include "table/sort_by_field.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <cstdio>
#include <optional>

using namespace orvalis;

namespace {

const char *kHelp =
    "Usage: orvalis-cli COMMAND ARGUMENTS\n"
    "       orvalis-cli --help | --version\n"
    "\n"
    "A number argument may use '.' or ',' as its decimal separator; anything that\n"
    "is not a number stops the command (exit 2). Numbers are written with the\n"
    "separator of your locale (LC_ALL=fr_FR.UTF-8 gives ',', LC_ALL=C gives '.').\n"
    "Files are chosen by extension: .ov2 and .gpx to read,\n"
    ".ov2, .gpx and .csv to write. An existing output file is replaced only by a\n"
    "complete one.\n"
    "\n"
    "Commands:\n"
    "  convert IN OUT                        load IN (then sort by the Distance\n"
    "                                        field, as the window does) and write\n"
    "                                        every row to OUT; prints \"<n> POIs\"\n"
    "  table IN [--base N]                   load IN, with --base run the distance\n"
    "                                        run from row N; print one line per row,\n"
    "                                        the seven fields separated by tabs\n"
    "  near IN --base N --radius-km R OUT    load, distance run from row N, write\n"
    "                                        rows 1..k, k the last row within R km;\n"
    "                                        prints \"<k> POIs\"\n"
    "  distance LAT1 LON1 LAT2 LON2          distance and initial bearing\n"
    "  destination LAT LON BEARING METRES    destination latitude and longitude\n"
    "  crossing LAT1 LON1 ... LAT4 LON4      crossing of route 1-2 with route 3-4:\n"
    "                                        \"latX lonX\", then \"L1 L2 d1 d2 d3 d4\";\n"
    "                                        \"parallel\" then \"L1 L2\" for parallel routes\n"
    "\n"
    "Exit codes: 0 done, 1 no crossing can be computed (a route along a meridian),\n"
    "2 bad arguments (a number that is not one, --base past the last row, a .gpx\n"
    "file that holds no GPX) or a file that cannot be read or written.\n";

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
        if (args_.isEmpty() || args_.first() == "--help" || args_.first() == "-h") {
            std::fputs(kHelp, args_.isEmpty() ? stderr : stdout);
            return args_.isEmpty() ? 2 : 0;
        }
        if (args_.first() == "--version") {
            Out(QStringLiteral("orvalis-cli ") + Version());
            return 0;
        }
        const QString command = args_.takeFirst();
        if (command == "convert")
            return convert();
        if (command == "table")
            return table();
        if (command == "near")
            return near();
        if (command == "distance")
            return distance();
        if (command == "destination")
            return destination();
        if (command == "crossing")
            return crossing();
        throw Failure{QStringLiteral("unknown command \"%1\" (see --help)").arg(command)};
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
    void expectCount(qsizetype n)
    {
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

    int load(const QString &path, bool sorted = true)
    {
        const PoiFileKind kind = FileKind(path);
        if (kind == PoiFileKind::Other)
            throw Failure{QStringLiteral("%1: unknown extension (.ov2 or .gpx)").arg(path)};
        FileBytes bytes;
        if (!bytes.open(path))
            throw Failure{QStringLiteral("%1: cannot read the file").arg(path)};
        if (kind == PoiFileKind::Gpx && !IsGpxDocument(bytes.data()))
            throw Failure{QStringLiteral("%1: not a GPX file").arg(path)};
        const int counter = ReadPoiData(kind, bytes.data(), table_, sep_).counter;
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
    // A base row the loaded table has: measuring from a row that is not there would give nonsense.
    void checkBaseRow(int row) const
    {
        const int rows = table_.isEmptyForAdd() ? 0 : table_.lastRow();
        if (row > rows)
            throw Failure{QStringLiteral("--base %1: the file has %2 rows").arg(row).arg(rows)};
    }

    void checkWritable(const QString &path)
    {
        const QString ext = QFileInfo(path).suffix().toLower();
        if (ext != "ov2" && ext != "gpx" && ext != "csv")
            throw Failure{QStringLiteral("%1: unknown extension (.ov2, .gpx or .csv)").arg(path)};
    }

    void write(const QString &path, int first, int last)
    {
        const QString ext = QFileInfo(path).suffix().toLower();
        QByteArray bytes;
        if (ext == "ov2") {
            bytes = Ov2FileBytes(table_, first, last, sep_);
        } else if (ext == "gpx") {
            bytes = GpxFileBytes(table_, first, last);
        } else {
            PoiTable rows;  // the CSV export writes a whole table: give it the rows asked for
            rows.setRowCount(std::max(last - first + 1, 1) + 1);
            for (int r = first; r <= last; ++r)
                for (int f = 0; f < kFieldCount; ++f)
                    rows.setField(r - first + 1, f, table_.field(r, f));
            bytes = CsvFileBytes(rows);
        }
        if (!SaveFileBytes(path, bytes))
            throw Failure{QStringLiteral("%1: cannot write the file").arg(path)};
    }

    int convert()
    {
        expectCount(2);
        checkWritable(args_[1]);
        const int counter = load(args_[0]);
        write(args_[1], 1, table_.lastRow());
        Out(QStringLiteral("%1 POIs").arg(counter));
        return 0;
    }

    int table()
    {
        const std::optional<QString> base = option("--base");
        expectCount(1);
        load(args_[0]);
        if (base) {
            checkBaseRow(BaseRow(*base));
            RunDistances(table_, BaseRow(*base), sep_, collator_);
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
        if (!base || !radius)
            throw Failure{QStringLiteral("near needs --base N and --radius-km R")};
        expectCount(2);
        checkWritable(args_[1]);
        const int baseRow = BaseRow(*base);
        // The same rows a load, "Calculer" and a Shift-click would give, without sorting everything twice.
        const long double limit = static_cast<long double>(Number(*radius, QStringLiteral("--radius-km"))) * 1000.0L;
        load(args_[0], false);
        checkBaseRow(baseRow);
        const std::vector<int> rows = NearSelection(table_, baseRow, limit, sep_, collator_);
        PoiTable selected;
        selected.setRowCount(static_cast<int>(rows.size()) + 1);
        for (size_t i = 0; i < rows.size(); ++i)
            for (int f = 1; f < kFieldCount; ++f)
                selected.setField(static_cast<int>(i) + 1, f, table_.field(rows[i], f));
        table_ = std::move(selected);
        write(args_[1], 1, static_cast<int>(rows.size()));
        Out(QStringLiteral("%1 POIs").arg(rows.size()));
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
