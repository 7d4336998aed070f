// along: the POIs near a route, in route order.
#include "commands.h"

#include "geo/decimal_entry.h"
#include "table/along_route.h"

#include <QCoreApplication>

namespace orvalis::cli {

namespace {

// The route: a file's routes and track segments, or the POIs of any file in order.
std::vector<std::vector<LatLon>> RouteOf(Cli &cli, const QByteArray &path, const std::optional<QString> &routeFrom)
{
    const PoiCodec &codec = cli.codecFor(path, routeFrom ? routeFrom : cli.from, "--route-from");
    const QByteArray data = cli.readInput(path);
    std::vector<std::vector<LatLon>> lines = codec.routeLines(data);
    if (lines.empty()) {
        PoiTable points;
        ReadResult result;
        if (!ReadPoiTable(codec, data, points, cli.sep, &result))
            throw Failure{NotOfFormatMessage(codec, Shown(path))};
        cli.checkRows(path, points);
        std::vector<LatLon> line;
        for (int r = 1; r <= Cli::Rows(points); ++r)
            line.push_back({ReadDecimal(points.field(r, FieldLatitude), cli.sep), ReadDecimal(points.field(r, FieldLongitude), cli.sep)});
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    if (lines.empty())
        throw Failure{QCoreApplication::translate("Cli", "%1: the route has no point").arg(Shown(path))};
    return lines;
}

// The POIs of IN near the route, every field kept: IN streams through, the
// POIs found wait in a spool until their order along the route is known.
int AlongRecords(Cli &cli, const QByteArray &in, const QByteArray &out, const std::vector<std::vector<LatLon>> &lines, double metres)
{
    const RouteIndex route(lines, metres);
    std::vector<RouteOffset> found;
    std::vector<qint64> where;
    RecordSpool spool;
    const std::unique_ptr<Cli::Input> input = cli.openInput(in);
    std::optional<RouteOffset> last;
    cli.readEach(in, *input->reader, [&](PoiRecord &&r) {
        RouteOffset o = *last;
        o.row = static_cast<int>(where.size());
        where.push_back(spool.append(r));
        found.push_back(o);
    }, [&](long double lat, long double lon) {
        last = route.offsetOf(static_cast<float>(lat), static_cast<float>(lon));
        return last.has_value();
    });
    SortAlongRoute(found);
    const int written = cli.writeEach(out, input->namespaces, [&](const std::function<void(const PoiRecord &)> &write) {
        for (const RouteOffset &o : found)
            write(Cli::Spooled(spool, where[static_cast<size_t>(o.row)]));
    });
    Cli::Report(out, cli.pois(written));
    return 0;
}

}  // namespace

int Along(Cli &cli)
{
    const std::optional<QString> within = cli.option("--within-km");
    const std::optional<QString> routeFrom = cli.option("--route-from");
    if (!within)
        throw Failure{QCoreApplication::translate("Cli", "along needs --within-km D")};
    const float km = Cli::Distance(within, "--within-km");
    cli.expectCount(3);
    const QByteArray route = cli.args[0], in = cli.args[1], out = cli.args[2];
    cli.outputCodec(out);
    Cli::RefuseOutputAmongInputs({route, in}, out, "along");
    const std::vector<std::vector<LatLon>> lines = RouteOf(cli, route, routeFrom);
    if (cli.recordsFor({in}, out))
        return AlongRecords(cli, in, out, lines, static_cast<double>(km) * 1000.0);
    const PoiTable table = cli.read(in);
    const std::vector<RouteOffset> near = RowsAlongRoute(lines, table, static_cast<double>(km) * 1000.0, cli.sep);
    std::vector<int> order;
    order.reserve(near.size());
    for (const RouteOffset &o : near)
        order.push_back(o.row);
    Cli::Report(out, cli.pois(cli.write(out, Cli::RowsOf(table, order))));
    return 0;
}

}  // namespace orvalis::cli
