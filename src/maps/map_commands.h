#pragma once

#include "table/poi_document.h"

#include <QString>
#include <utility>

class QWidget;

namespace orvalis {

struct AppContext;
class EmbeddedBrowser;
class MapPublisher;
class SystemServices;
class TForm2;

// What the map commands need of the tab that shows the table and its browser.
class MapCommandsView {
public:
    virtual ~MapCommandsView() = default;
    virtual QWidget *dialogParent() = 0;
    virtual std::pair<int, int> selectedRows() const = 0;
    // The row's cells highlighted, as a map of that row shows.
    virtual void highlightRow(int row) = 0;
    // A new POI's row in view with its description open for typing.
    virtual void editNewPoi(int row) = 0;
    // The map over the grid with "Valider" and "Abandon", and back.
    virtual void EnterMapMode() = 0;
    virtual void LeaveMapMode() = 0;
    virtual bool embeddedBrowserChosen() const = 0;
    virtual void showTabBrowser() = 0;
    virtual EmbeddedBrowser *tabBrowser() const = 0;
    virtual QString circleRadiusText() const = 0;
    virtual void setMapScale(const QString &text) = 0;
    // The text read back from the tab browser, kept as the program's memo.
    virtual void showReadBack(const QString &text) = 0;
};

// The first tab's map commands: one POI, the selection, the circle, the pin
// pages and their read-back ("Valider"), and the geocache link.
class MapCommands {
public:
    MapCommands(AppContext &ctx, PoiDocument &document, MapCommandsView &view);

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

    AppContext &ctx_;
    PoiDocument &doc_;
    MapCommandsView &view_;
    TForm2 *mapWindow_ = nullptr;
    MapPublisher *publisher_ = nullptr;
    SystemServices *system_ = nullptr;
    bool pinPageInTabBrowser_ = false;
};

}  // namespace orvalis
