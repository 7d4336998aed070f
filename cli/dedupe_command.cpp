// dedupe: the first of POIs that lie within a distance of each other, in file order.
#include "commands.h"

#include "table/dedupe.h"

#include <QCoreApplication>

namespace orvalis::cli {

namespace {

QString Removed(const Cli &cli, int removed, int written)
{
    return QCoreApplication::translate("Cli", "%1 duplicates removed, %2").arg(removed).arg(cli.pois(written));
}

}  // namespace

int Dedupe(Cli &cli)
{
    const std::optional<QString> within = cli.option("--within-m");
    const bool sameName = cli.flag("--same-name");
    if (!within)
        throw Failure{QCoreApplication::translate("Cli", "dedupe needs --within-m M")};
    const float metres = Cli::Distance(within, "--within-m");
    cli.expectCount(2);
    const QByteArray in = cli.args[0], out = cli.args[1];
    cli.outputCodec(out);
    Cli::RefuseOutputAmongInputs({in}, out, "dedupe");
    if (cli.recordsFor({in}, out)) {
        // Memory for the kept points' places only: the records stream through.
        DuplicateFilter filter(metres, sameName);
        int seen = 0, kept = 0;
        const int written = cli.pipeRecords({in}, out, [&](const PoiRecord &r) {
            ++seen;
            const bool keep = filter.keep(CoordinateNumber(r.lat), CoordinateNumber(r.lon), sameName ? JoinedName(r) : QString());
            kept += keep;
            return keep;
        });
        Cli::Report(out, Removed(cli, seen - kept, written));
        return 0;
    }
    const PoiTable table = cli.read(in);
    const std::vector<int> kept = RowsWithoutDuplicates(table, metres, sameName, cli.sep);
    const int written = cli.write(out, Cli::RowsOf(table, kept));
    Cli::Report(out, Removed(cli, Cli::Rows(table) - static_cast<int>(kept.size()), written));
    return 0;
}

}  // namespace orvalis::cli
