// The help texts and the table of commands.
#include "commands.h"

#include <QCoreApplication>

namespace orvalis::cli {

namespace {

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
    "Files are read and written as OV2, GPX, CSV, GeoJSON (.geojson, .json), KML,\n"
    "GPI (Garmin), ASC (TomTom) or KMZ (zipped KML), chosen by extension or by\n"
    "--from/--to FORMAT; '-' is standard input or output\n"
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
    "A GPI file written holds one category, --gpi-category NAME (else the output\n"
    "file's name without its extension), the default bitmap, and a proximity alert\n"
    "of --gpi-alert-m M metres (0 to 65535) on every POI without a \"proximity\"\n"
    "field of its own; a \"speed\" field (km/h) gives a speed alert. Its coordinates\n"
    "are Garmin's units (2^31 to 180 degrees): writing moves a coordinate by at\n"
    "most 4.7 mm, and one with up to 7 decimals reads back as written. What a GPI\n"
    "holds beyond a waypoint travels as the fields \"category\", \"proximity\",\n"
    "\"speed\", \"street\", \"house_number\", \"postal_code\", \"city\", \"state\",\n"
    "\"country\", \"phone\", \"phone2\", \"fax\", \"email\" and \"web\". An ASC file holds\n"
    "one text a POI (name and description joined). A KMZ is read within limits:\n"
    "an archive of 1 GiB at most, whose KML inflates to 4 GiB at most and, past\n"
    "64 MiB, to 100 times the archive's size at most.\n"
    "\n"
    "Distances are great-circle distances on a sphere of radius 6,378,138 m\n"
    "(spherical law of cosines on coordinates held as 32-bit floats), truncated to\n"
    "whole metres.\n"
    "\n"
    "Commands:\n");

const char *kProgress = QT_TRANSLATE_NOOP(
    "Cli",
    "\n"
    "While a command reads a file of POIs a block at a time (convert, merge, near,\n"
    "along), a line on standard error shows how far it has come: the percentage of\n"
    "the file read, the rate and the time left, redrawn in place and cleared at the\n"
    "end. It is shown when standard error is a terminal and the input a file;\n"
    "--progress shows it in any case (to a pipe, for standard input), --quiet\n"
    "never; the two together are bad usage.\n");

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

}  // namespace

const std::vector<Command> &Commands()
{
    static const std::vector<Command> commands = {
        {"convert", "convert IN OUT [--sort name|distance] [--from F] [--to F] [--gpx11] [--skip-invalid]",
         QT_TRANSLATE_NOOP("Cli", "read IN and write every POI to OUT in file order (--sort name: by name;\n"
                                  "--sort distance: the order the window gives a loaded file); prints\n"
                                  "\"<n> POIs\", the POIs written. Nothing a format can hold is lost:\n"
                                  "coordinates as written, every GPX field and extension (GPX 1.1 is\n"
                                  "written), GeoJSON properties, KML ExtendedData, CSV columns. --gpx11\n"
                                  "also writes longitude 180 as -180, for tools that check the schema."), Convert},
        {"table", "table IN [--base N] [--json] [--from F] [--skip-invalid]",
         QT_TRANSLATE_NOOP("Cli", "load IN, with --base run the distance run from row N; print one line per\n"
                                  "row, the seven fields separated by tabs, or with --json a JSON array of\n"
                                  "objects (number, latitude, longitude, description, distance, metres,\n"
                                  "key, cap)."), Table},
        {"near", "near IN OUT (--at LAT LON | --base N) --radius-km R [--json] [--from F] [--to F] [--gpx11] [--skip-invalid]",
         QT_TRANSLATE_NOOP("Cli", "--at: write every POI within R km of the point, nearest first (equal\n"
                                  "distances in file order), every field kept; the file streams through\n"
                                  "(memory for the POIs found, not the file). --base: load, distance run\n"
                                  "from row N, write rows 1..k, k the last row within R km (what a\n"
                                  "Shift-click selects in the window, as the window writes it). Prints\n"
                                  "\"<k> POIs\", or with --json the POIs written as JSON (with OUT '-',\n"
                                  "the JSON alone)."), Near},
        {"merge", "merge IN IN... OUT [--to F] [--gpx11] [--skip-invalid]",
         QT_TRANSLATE_NOOP("Cli", "read two or more files, in order, into one table (file order, not sorted)\n"
                                  "and write it to OUT, which must not be one of the inputs; prints \"<n> POIs\"."), Merge},
        {"dedupe", "dedupe IN OUT --within-m M [--same-name] [--from F] [--to F] [--gpx11] [--skip-invalid]",
         QT_TRANSLATE_NOOP("Cli", "keep the first of POIs whose distance, in whole metres truncated, is at\n"
                                  "most M (with --same-name, only when their descriptions are equal ignoring\n"
                                  "case and accents), in file order; prints \"<d> duplicates removed, <n> POIs\"."), Dedupe},
        {"along", "along ROUTE IN OUT --within-km D [--route-from F] [--from F] [--to F] [--gpx11] [--skip-invalid]",
         QT_TRANSLATE_NOOP("Cli", "keep the POIs of IN within D km of the route: each route and each track\n"
                                  "segment of ROUTE when it is a GPX file that has some (a line apiece),\n"
                                  "otherwise its POIs in order. Distances to the great-circle segments,\n"
                                  "clamped to their ends; output in route order, then by distance from the\n"
                                  "route; prints \"<n> POIs\". ROUTE '-' takes --route-from, else --from."), Along},
        {"distance", "distance LAT1 LON1 LAT2 LON2", QT_TRANSLATE_NOOP("Cli", "distance and initial bearing"), Distance},
        {"destination", "destination LAT LON BEARING METRES", QT_TRANSLATE_NOOP("Cli", "destination latitude and longitude"), Destination},
        {"crossing", "crossing LAT1 LON1 ... LAT4 LON4",
         QT_TRANSLATE_NOOP("Cli", "crossing of route 1-2 with route 3-4: \"latX lonX\", then\n"
                                  "\"L1 L2 d1 d2 d3 d4\"; \"parallel\" then \"L1 L2\" for parallel routes."), Crossing},
    };
    return commands;
}

QString Usage()
{
    QString out = T(kUsage);
    for (const Command &c : Commands())
        out += QStringLiteral("  %1\n      %2\n").arg(QString::fromUtf8(c.synopsis), Indented(T(c.text), 6));
    return out + T(kProgress) + T(kExitCodes);
}

QString CommandUsage(const Command &c)
{
    return QCoreApplication::translate("Cli", "Usage: orvalis-cli %1\n\n%2\n").arg(QString::fromUtf8(c.synopsis), T(c.text)) + T(kExitCodes);
}

}  // namespace orvalis::cli
