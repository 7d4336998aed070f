// table: a file as the window shows it once loaded, with distances from a row.
#include "commands.h"
#include "json_output.h"

#include "table/distance_run.h"
#include "table/sort_by_field.h"

#include <QStringList>

namespace orvalis::cli {

int Table(Cli &cli)
{
    const std::optional<QString> base = cli.option("--base");
    const bool json = cli.flag("--json");
    cli.expectCount(1);
    PoiTable table = cli.read(cli.args[0]);
    SortByField(table, FieldDistance, cli.collator);
    if (base) {
        Cli::CheckBaseRow(table, Cli::BaseRow(*base));
        RunDistances(table, Cli::BaseRow(*base), cli.sep, cli.collator);
    }
    if (json) {
        Print(TableJson(table, cli.sep));
        return 0;
    }
    for (int r = 1; r <= Cli::Rows(table); ++r) {
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

}  // namespace orvalis::cli
