// The search box of the first tab: "Rechercher", "Suivant".
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

int PoiTableTab::rowSearch(int from, const QString &pattern)
{
    const int row = RowSearch(table_, from, pattern);
    if (row > 0) {
        SG1->selectRows(row, row);
        SG1->scrollTo(model_->index(row - 1, 1));
        BitBtn8->hide();
        BitBtn9->show();
        return row;
    }
    ctx_.dialogs.information(this, QStringLiteral("La chaine de caractères\n\"") + Edit13->text() +
                                       QStringLiteral("\"\nn'a pas été trouvée."));
    BitBtn9->hide();
    BitBtn8->show();
    return row;
}

void PoiTableTab::BitBtn8Click()
{
    if (Edit13->text().isEmpty())
        return;
    searchPosition_ = rowSearch(1, AsciiUpper(Edit13->text()));
    ProcessPendingMessages();
}

void PoiTableTab::BitBtn9Click()
{
    searchPosition_ = rowSearch(searchPosition_ + 1, AsciiUpper(Edit13->text()));
}

void PoiTableTab::Edit13Change()
{
    BitBtn9->hide();
    BitBtn8->show();
}

}  // namespace orvalis
