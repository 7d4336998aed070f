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
    const int row = RowSearch(tab_.table_, from, pattern);
    if (row > 0) {
        tab_.SG1->selectRows(row, row);
        tab_.SG1->scrollTo(tab_.model_->index(row - 1, 1));
        tab_.BitBtn8->hide();
        tab_.BitBtn9->show();
        return row;
    }
    tab_.ctx_.dialogs.information(&tab_, QStringLiteral("La chaine de caractères\n\"") + tab_.Edit13->text() +
                                       QStringLiteral("\"\nn'a pas été trouvée."));
    tab_.BitBtn9->hide();
    tab_.BitBtn8->show();
    return row;
}

void SearchCommands::BitBtn8Click()
{
    if (tab_.Edit13->text().isEmpty())
        return;
    searchPosition_ = rowSearch(1, AsciiUpper(tab_.Edit13->text()));
    ProcessPendingMessages();
}

void SearchCommands::BitBtn9Click()
{
    searchPosition_ = rowSearch(searchPosition_ + 1, AsciiUpper(tab_.Edit13->text()));
}

void SearchCommands::Edit13Change()
{
    tab_.BitBtn9->hide();
    tab_.BitBtn8->show();
}

}  // namespace orvalis
