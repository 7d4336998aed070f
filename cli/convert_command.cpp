// convert and merge: files to another format, one or several, in file order.
#include "commands.h"

#include "table/sort_by_field.h"

#include <QCoreApplication>
#include <algorithm>

namespace orvalis::cli {

int Convert(Cli &cli)
{
    const std::optional<QString> sort = cli.option("--sort");
    if (sort && *sort != u"name" && *sort != u"distance")
        throw Failure{QCoreApplication::translate("Cli", "--sort takes name or distance")};
    cli.expectCount(2);
    const QByteArray in = cli.args[0], out = cli.args[1];
    cli.outputCodec(out);
    Cli::RefuseOutputAmongInputs({in}, out, "convert");
    if (!sort && cli.recordsFor({in}, out)) {
        Cli::Report(out, cli.pois(cli.pipeRecords({in}, out)));
        return 0;
    }
    if (sort == u"name" && cli.recordsFor({in}, out)) {
        PoiRecords records = cli.readRecords(in);
        std::stable_sort(records.records.begin(), records.records.end(), [&](const PoiRecord &a, const PoiRecord &b) {
            return cli.collator.compare(JoinedName(a), JoinedName(b)) < 0;
        });
        Cli::Report(out, cli.pois(cli.writeEach(out, records.namespaces, [&](const std::function<void(const PoiRecord &)> &write) {
            for (const PoiRecord &r : records.records)
                write(r);
        })));
        return 0;
    }
    PoiTable table = cli.read(in);
    // File order unless asked: a converter keeps what it is given.
    if (sort)
        SortByField(table, *sort == u"name" ? FieldDescription : FieldDistance, cli.collator);
    Cli::Report(out, cli.pois(cli.write(out, table)));
    return 0;
}

int Merge(Cli &cli)
{
    cli.expectCount(cli.args.size());
    if (cli.args.size() < 3)
        throw Failure{QCoreApplication::translate("Cli", "merge needs at least two inputs and an output (see --help)")};
    const QByteArray out = cli.args.takeLast();
    const QList<QByteArray> inputs = cli.args;
    bool records = cli.outputCodec(out).hasRecords();
    Cli::RefuseOutputAmongInputs(inputs, out, "merge");
    for (const QByteArray &in : inputs)
        records = records && cli.inputCodec(in).hasRecords();
    if (records) {
        Cli::Report(out, cli.pois(cli.pipeRecords(inputs, out)));
        return 0;
    }
    PoiTable all;
    for (const QByteArray &in : inputs) {
        PoiTable one = cli.read(in);
        if (!one.isEmptyForAdd())
            all.appendRows(std::move(one));
    }
    Cli::Report(out, cli.pois(cli.write(out, all)));
    return 0;
}

}  // namespace orvalis::cli
