#pragma once

#include "table/poi_document.h"

#include <QString>

namespace orvalis {

class MapPublisher;
class PoiTableTab;
class SystemServices;
class TForm2;

// The first tab's map commands: one POI, the selection, the circle, the pin
// pages and their read-back ("Valider"), and the geocache link.
class MapCommands {
public:
    explicit MapCommands(PoiTableTab &tab);

    void setMapWindow(TForm2 *window) { mapWindow_ = window; }
    void setMapPublisher(MapPublisher *publisher) { publisher_ = publisher; }
    void setSystemServices(SystemServices *system) { system_ = system; }

    void VisualisercePoisurlacarte1Click();
    void VisualiserlesPoiselectionnssurlacarte1Click();
    void TraceruncercleunedistancedunPoi1Click();
    void DplacercePoisurlacarte1Click();
    void AjouterdesPoi1Click();
    void BitBtn12Click();  // "Valider": pin read-back
    void BitBtn17Click();  // geocache details

private:
    void selectCurrentRowCells();
    void showOnTabBrowser(const QString &page, PinMode pinMode);
    void prepareMapWindow();
    void showOnMapWindow(const QString &page, const QString &caption);
    void addPoiRow(const QString &latitude, const QString &longitude);
    QString markerPieces(int first, int last) const;

    PoiTableTab &tab_;
    TForm2 *mapWindow_ = nullptr;
    MapPublisher *publisher_ = nullptr;
    SystemServices *system_ = nullptr;
    bool pinPageInTabBrowser_ = false;
};

}  // namespace orvalis
