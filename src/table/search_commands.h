#pragma once

#include <QString>

namespace orvalis {

class PoiTableTab;

// The search box of the first tab: "Rechercher" from the top, "Suivant".
class SearchCommands {
public:
    explicit SearchCommands(PoiTableTab &tab);

    void BitBtn8Click();  // search from the top
    void BitBtn9Click();  // find next
    void Edit13Change();

private:
    int rowSearch(int from, const QString &pattern);

    PoiTableTab &tab_;
    int searchPosition_ = 0;
};

}  // namespace orvalis
