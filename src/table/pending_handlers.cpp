#include "table/poi_table_tab.h"

namespace orvalis {

void PoiTableTab::BitBtn11Click() {}
void PoiTableTab::BitBtn7Click() {}
void PoiTableTab::BitBtn15Click() {}
void PoiTableTab::BitBtn16Click() {}
void PoiTableTab::BitBtn18Click() {}
void PoiTableTab::BitBtn10Click() {}
void PoiTableTab::BitBtn12Click() {}
void PoiTableTab::BitBtn17Click() {}
void PoiTableTab::VisualisercePoisurlacarte1Click() {}
void PoiTableTab::VisualiserlesPoiselectionnssurlacarte1Click() {}
void PoiTableTab::TraceruncercleunedistancedunPoi1Click() {}
void PoiTableTab::DplacercePoisurlacarte1Click() {}
void PoiTableTab::AjouterdesPoi1Click() {}

}  // namespace orvalis
