#include "table/poi_table_tab.h"

namespace orvalis {

void PoiTableTab::BitBtn3Click() {}
void PoiTableTab::BitBtn4Click() {}
void PoiTableTab::Edit6Change() {}
void PoiTableTab::SG1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int, QPoint) {}
void PoiTableTab::SG1SelectCell(int, int) {}
void PoiTableTab::BitBtn8Click() {}
void PoiTableTab::BitBtn9Click() {}
void PoiTableTab::Edit13Change() {}
void PoiTableTab::ModifierletextedecePoi1Click() {}
void PoiTableTab::SupprimercePoi1Click() {}
void PoiTableTab::LeaveEditMode() {}
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
void PoiTableTab::writeConverterResult(int, const QString &) {}

}  // namespace orvalis
