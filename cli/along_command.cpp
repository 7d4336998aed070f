// along: the POIs near a route, in route order.
#include "commands.h"

#include "geo/decimal_entry.h"
#include "table/along_route.h"
#include "files/sorted_spool.h"

#include <QCoreApplication>

namespace orvalis::cli {

namespace {

// The route: a file's routes and track segments, or the POIs of any file in
// order, as points only (8 bytes each): the records stream by once.
std::vector<std::vector<LatLon>> RouteOf(Cli &cli, const QByteArray &path, const std::optional<QString> &routeFrom)
{
    const PoiCodec &codec = cli.codecFor(path, routeFrom ? routeFrom : cli.from, "--route-from");
    const QByteArray data = cli.readInput(path);
    std::vector<std::vector<LatLon>> lines = codec.routeLines(data);
    if (lines.empty()) {
        if (!codec.recognises(data))
            throw Failure{NotOfFormatMessage(codec, Shown(path))};
        std::vector<LatLon> line;
        BlockReader reader{QByteArrayView(data)};
        codec.headNamespaces(reader);
        cli.readEach(path, codec, reader, [&](PoiRecord &&r) {
            line.push_back({static_cast<float>(*CoordinateNumber(r.lat)), static_cast<float>(*CoordinateNumber(r.lon))});
        });
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    if (lines.empty())
        throw Failure{QCoreApplication::translate("Cli", "%1: the route has no point").arg(Shown(path))};
    return lines;
}

// Where a POI found lies along the route, and where its record waits.
struct AlongFound {
    RouteOffset offset;  // its row: the order found
    qint64 at;
};
struct AlongFoundOrder {
    bool operator()(const AlongFound &a, const AlongFound &b) const { return AlongRouteOrder()(a.offset, b.offset); }
};

// The POIs of IN near the route, every field kept: IN streams through, the
// POIs found and their order wait in temporary files until the order is known.
int AlongRecords(Cli &cli, const QByteArray &in, const QByteArray &out, const std::vector<std::vector<LatLon>> &lines, double metres)
{
    const RouteIndex route(lines, metres);
    SortedSpool<AlongFound, AlongFoundOrder> found;
    RecordSpool spool;
    const std::unique_ptr<Cli::Input> input = cli.openInput(in);
    std::optional<RouteOffset> last;
    cli.readEach(in, *input->reader, [&](PoiRecord &&r) {
        RouteOffset o = *last;
        o.row = static_cast<int>(found.size());
        found.add({o, spool.append(r)});
    }, [&](long double lat, long double lon) {
        last = route.offsetOf(static_cast<float>(lat), static_cast<float>(lon));
        return last.has_value();
    });
    if (!spool.ok())
        throw Cli::TemporaryFileFailure();
    const int written = cli.writeEach(out, input->namespaces, [&](const std::function<void(const PoiRecord &)> &write) {
        if (!found.forEach([&](const AlongFound &f) { write(Cli::Spooled(spool, f.at)); }))
            throw Cli::TemporaryFileFailure();
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
