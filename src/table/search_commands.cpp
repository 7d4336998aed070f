// The search box of the first tab: "Rechercher", "Suivant".
#include "table/search_commands.h"

#include "table/poi_table_tab.h"

#include "app/app_context.h"
#include "app/dialogs.h"
#include "app/widgets_util.h"
#include "table/poi_grid.h"
#include "table/poi_table_model.h"
#include "table/table_search.h"

#include <QLineEdit>
#include <QPushButton>

namespace orvalis {

SearchCommands::SearchCommands(PoiTableTab &tab) : tab_(tab) {}

int SearchCommands::rowSearch(int from, const QString &pattern)
{
    const int row = RowSearch(tab_.table(), from, pattern);
    if (row > 0) {
        tab_.grid()->selectRows(row, row);
        tab_.grid()->scrollTo(tab_.model()->index(row - 1, 1));
        tab_.showSearchNext(true);
        return row;
    }
    tab_.context().dialogs.information(&tab_, QStringLiteral("La chaine de caractères\n\"") + tab_.searchText() +
                                       QStringLiteral("\"\nn'a pas été trouvée."));
    tab_.showSearchNext(false);
    return row;
}

void SearchCommands::BitBtn8Click()
{
    if (tab_.searchText().isEmpty())
        return;
    searchPosition_ = rowSearch(1, AsciiUpper(tab_.searchText()));
    ProcessPendingMessages();
}

void SearchCommands::BitBtn9Click()
{
    searchPosition_ = rowSearch(searchPosition_ + 1, AsciiUpper(tab_.searchText()));
}

void SearchCommands::Edit13Change()
{
    tab_.showSearchNext(false);
}

}  // namespace orvalis
