// near: the POIs within a radius of a point (streamed, every field kept) or
// of a row of the table (what a Shift-click selects in the window).
#include "commands.h"
#include "json_output.h"
#include "near_rows.h"

#include "table/distance_run.h"
#include "table/near_point.h"

#include <QCoreApplication>
#include <unistd.h>

namespace orvalis::cli {

namespace {

// The POIs within `limit` metres of a point, nearest first: the file streams
// through once; the POIs found, and their order, wait in temporary files.
int NearPointOf(Cli &cli, const QByteArray &in, const QByteArray &out, float lat, float lon, long double limit, bool json)
{
    NearPoint near(lat, lon, limit);
    RecordSpool spool;
    const std::unique_ptr<Cli::Input> input = cli.openInput(in);
    // Names and the rest are read only for the POIs within the limit.
    cli.readEach(in, *input->reader, [&](PoiRecord &&r) { near.keep(spool.append(r)); },
                 [&](long double la, long double lo) { return near.wanted(la, lo); });
    if (!spool.ok())
        throw Cli::TemporaryFileFailure();
    const EachFound each = [&](const std::function<void(const NearPoint::Found &, const PoiRecord &)> &visit) {
        if (!near.eachNearestFirst([&](const NearPoint::Found &f) { visit(f, Cli::Spooled(spool, f.at)); }))
            throw Cli::TemporaryFileFailure();
    };
    if (json && out == "-") {
        PrintNearJson(each);
        return 0;
    }
    const int written = cli.writeEach(out, input->namespaces, [&](const std::function<void(const PoiRecord &)> &write) {
        each([&](const NearPoint::Found &, const PoiRecord &r) { write(r); });
    });
    if (json)
        PrintNearJson(each);
    else
        Cli::Report(out, cli.pois(written));
    return 0;
}

// The rows a load, "Calculer" from row `baseRow` and a Shift-click would give,
// from the whole file, without sorting everything twice. Formats that can
// give their coordinates first describe only the rows written.
PoiTable NearRowsOfWhole(Cli &cli, const QByteArray &in, const PoiCodec &codec, const QByteArray &data, int baseRow,
                         long double limit)
{
    PoiTable table;
    std::vector<int> rows;
    ReadResult result;
    DescribeRows describe;
    bool done = false;
    if (!codec.recognises(data))
        throw Failure{NotOfFormatMessage(codec, Shown(in))};
    if (codec.readTableCoordinates(data, table, cli.sep, &result, &describe)) {
        cli.checkRead(in, codec, data.size(), result, table.isEmptyForAdd(), data);
        if (cli.rowsInRange(table)) {
            Cli::CheckBaseRow(table, baseRow);
            rows = NearSelection(table, baseRow, limit, cli.sep, cli.collator, describe);
            done = true;
        } else {
            // A record out of range: the whole reading names it (or leaves it out).
            table = PoiTable();
            ReadPoiTable(codec, data, table, cli.sep, &result);
            cli.checkRows(in, table);
        }
    } else {
        table = cli.tableOf(in, codec, data);
    }
    if (!done) {
        Cli::CheckBaseRow(table, baseRow);
        rows = NearSelection(table, baseRow, limit, cli.sep, cli.collator);
    }
    return Cli::RowsOf(table, rows);
}

// Formats read a block at a time stream twice or more (standard input from a
// copy); the others, and files only a whole reading can tell, are read whole.
int NearRow(Cli &cli, const QByteArray &in, const QByteArray &out, int baseRow, long double limit, bool json)
{
    const PoiCodec &codec = cli.inputCodec(in);
    std::optional<PoiTable> streamed;
    QByteArray data;
    if (codec.streamsTableRows()) {
        const std::unique_ptr<Cli::Input> input = cli.openRereadable(in);
        streamed = StreamedNearRows(cli, in, codec, input->descriptor(), baseRow, limit);
        if (!streamed)
            data = in == "-" && ::lseek(input->descriptor(), 0, SEEK_SET) == 0 ? Cli::ReadWhole(input->descriptor())
                                                                              : cli.readInput(in);
    } else {
        data = cli.readInput(in);
    }
    const PoiTable selected = streamed ? std::move(*streamed) : NearRowsOfWhole(cli, in, codec, data, baseRow, limit);
    if (json && out == "-") {
        Print(TableJson(selected, cli.sep));
        return 0;
    }
    const int written = cli.write(out, selected);
    if (json)
        Print(TableJson(selected, cli.sep));
    else
        Cli::Report(out, cli.pois(written));
    return 0;
}

}  // namespace

int Near(Cli &cli)
{
    const std::optional<QString> base = cli.option("--base");
    const auto at = cli.pairOption("--at");
    const std::optional<QString> radius = cli.option("--radius-km");
    const bool json = cli.flag("--json");
    if ((!base && !at) || (base && at) || !radius)
        throw Failure{QCoreApplication::translate("Cli", "near needs --at LAT LON or --base N, and --radius-km R")};
    if (at) {
        cli.args.append(at->first);
        cli.args.append(at->second);
        cli.expectCount(4);
        const float lat = cli.latitude(2), lon = cli.longitude(3);
        const QByteArray in = cli.args[0], out = cli.args[1];
        if (!(json && out == "-"))
            cli.outputCodec(out);
        Cli::RefuseOutputAmongInputs({in}, out, "near");
        if ((json && out == "-") || cli.recordsFor({in}, out))
            return NearPointOf(cli, in, out, lat, lon, static_cast<long double>(Cli::Distance(radius, "--radius-km")) * 1000.0L, json);
        throw Failure{QCoreApplication::translate("Cli", "near --at writes %1").arg(RecordFormatTitles(QCoreApplication::translate("Cli", "or")))};
    }
    cli.expectCount(2);
    const QByteArray in = cli.args[0], out = cli.args[1];
    if (!(json && out == "-"))
        cli.outputCodec(out);
    Cli::RefuseOutputAmongInputs({in}, out, "near");
    const int baseRow = Cli::BaseRow(*base);
    const long double limit = static_cast<long double>(Cli::Distance(radius, "--radius-km")) * 1000.0L;
    return NearRow(cli, in, out, baseRow, limit, json);
}

}  // namespace orvalis::cli
