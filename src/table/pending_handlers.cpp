#include "table/poi_table_tab.h"

namespace orvalis {

void PoiTableTab::BitBtn12Click() {}
void PoiTableTab::BitBtn17Click() {}
void PoiTableTab::VisualisercePoisurlacarte1Click() {}
void PoiTableTab::VisualiserlesPoiselectionnssurlacarte1Click() {}
void PoiTableTab::TraceruncercleunedistancedunPoi1Click() {}
void PoiTableTab::DplacercePoisurlacarte1Click() {}
void PoiTableTab::AjouterdesPoi1Click() {}

}  // namespace orvalis
