// The first tab's map commands: one POI, the selection, the circle, the pin
// pages and their read-back, and the geocache link.
#include "maps/map_commands.h"

#include "table/poi_table_tab.h"

#include "app/app_context.h"
#include "app/dialogs.h"
#include "app/widgets_util.h"
#include "geo/decimal_entry.h"
#include "maps/browser_launch.h"
#include "maps/embedded_browser.h"
#include "maps/map_publisher.h"
#include "maps/map_window.h"
#include "maps/marker_pages.h"
#include "maps/pin_readback.h"
#include "maps/system_services.h"
#include "table/poi_grid.h"
#include "table/poi_table_model.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

namespace orvalis {

namespace {
constexpr int kSelectionMapRows = 50000;
}

MapCommands::MapCommands(PoiTableTab &tab) : tab_(tab) {}

void MapCommands::selectCurrentRowCells()
{
    if (tab_.table().isValidRow(tab_.document().clickState().currentRow))
        tab_.grid()->selectCells(tab_.document().clickState().currentRow, 1, kFieldCount - 1);
}

void MapCommands::showOnTabBrowser(const QString &page, PinMode pinMode)
{
    tab_.EnterMapMode();
    if (tab_.embeddedBrowserChosen())
        tab_.showTabBrowser();
    if (!publisher_)
        return;
    const bool written = publisher_->writePage(page);
    publisher_->show(tab_.tabBrowser());
    tab_.document().setPinMode(pinMode);
    // Only a page shown in the tab browser can be read back from it.
    pinPageInTabBrowser_ = written && tab_.embeddedBrowserChosen();
}

void MapCommands::prepareMapWindow()
{
    if (!mapWindow_)
        return;
    if (tab_.embeddedBrowserChosen()) {
        mapWindow_->show();
        mapWindow_->raise();
    }
    mapWindow_->prepareSize();
}

void MapCommands::showOnMapWindow(const QString &page, const QString &caption)
{
    if (!publisher_)
        return;
    publisher_->writePage(page);
    if (mapWindow_)
        mapWindow_->setWindowTitle(caption);
    ProcessPendingMessages();
    publisher_->show(mapWindow_ ? mapWindow_->browser() : nullptr);
}

QString MapCommands::markerPieces(int first, int last) const
{
    QString pieces;
    for (int row = first; row <= last; ++row)
        pieces += MarkerPiece(tab_.table().field(row, FieldLatitude), tab_.table().field(row, FieldLongitude),
                              tab_.table().field(row, FieldDescription), IconFor(row, tab_.table().lastRow()));
    return pieces;
}

void MapCommands::VisualisercePoisurlacarte1Click()
{
    if (!tab_.document().clickState().contextLatitude.isEmpty() && !tab_.document().clickState().contextLongitude.isEmpty()) {
        const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
        showOnTabBrowser(SinglePoiPage(addresses, tab_.document().clickState().contextLatitude, tab_.document().clickState().contextLongitude, tab_.document().clickState().contextDescription), PinMode::View);
    }
    selectCurrentRowCells();
}

void MapCommands::VisualiserlesPoiselectionnssurlacarte1Click()
{
    auto [first, last] = tab_.grid()->selectedRange();
    prepareMapWindow();
    if (last >= kSelectionMapRows) {
        tab_.context().dialogs.message(&tab_, QStringLiteral("Tableau limité à 50.000 lignes"));
        last = std::min(last, first + kSelectionMapRows - 1);  // the first 50,000 rows are drawn
    }
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    const SelectionView view = SelectionCentreAndZoom(tab_.table(), first, last, tab_.context().env.separator);
    tab_.setMapScale(view.zoom);
    const QString page = SelectionPageStart(addresses, view) + markerPieces(first, last) + SelectionPageEnd();
    showOnMapWindow(page, tab_.document().caption());
}

void MapCommands::TraceruncercleunedistancedunPoi1Click()
{
    if (tab_.document().clickState().contextLatitude.isEmpty() || tab_.document().clickState().contextLongitude.isEmpty())
        return;
    prepareMapWindow();
    selectCurrentRowCells();
    const int radius = ReadWholeNumber(tab_.circleRadiusText(), 100);
    const QString zoom = ZoomForRadius(radius);
    tab_.setMapScale(zoom);
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    const QString page = CirclePageStart(addresses, tab_.document().clickState().contextLatitude, tab_.document().clickState().contextLongitude, radius, zoom) +
                         markerPieces(1, tab_.table().lastRow()) + CirclePageEnd();
    showOnMapWindow(page, tab_.document().caption() + QStringLiteral("                      Rayon cercle = ") +
                              tab_.circleRadiusText() + QStringLiteral(" km"));
}

void MapCommands::DplacercePoisurlacarte1Click()
{
    if (!tab_.document().clickState().contextLatitude.isEmpty() && !tab_.document().clickState().contextLongitude.isEmpty()) {
        const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
        showOnTabBrowser(MovePinPage(addresses, tab_.document().clickState().contextLatitude, tab_.document().clickState().contextLongitude, tab_.document().clickState().contextDescription), PinMode::Move);
    }
    selectCurrentRowCells();
}

void MapCommands::AjouterdesPoi1Click()
{
    const ClickState &click = tab_.document().clickState();
    if (click.contextLatitude.isEmpty() && click.contextLongitude.isEmpty())
        tab_.document().setContextPoi(QStringLiteral("48,85320"), QStringLiteral("2,34890"), click.contextDescription);
    if (click.contextLatitude.isEmpty() || click.contextLongitude.isEmpty())
        return;
    selectCurrentRowCells();
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    showOnTabBrowser(AddPinPage(addresses), PinMode::Add);
}

void MapCommands::BitBtn12Click()
{
    tab_.LeaveMapMode();
    const PinMode mode = tab_.document().pinMode();
    if (mode == PinMode::View)
        return;
    // A page shown in the external browser cannot be read: the tab browser
    // would only give an older page's coordinates.
    if (!pinPageInTabBrowser_)
        return;
    const QString text = tab_.tabBrowser()->hasDocument() ? ReadBackText(tab_.tabBrowser()->bodyText()) : QString();
    tab_.showReadBack(text);
    ProcessPendingMessages();
    PinReading reading = mode == PinMode::Add ? ScanAddPage(text) : ScanMovePage(text);
    if (mode == PinMode::Move && !HasMoveAnchor(text)) {
        // The map's own texts changed: take the position from the page's panel.
        const QString info = tab_.tabBrowser()->evaluate(
            QStringLiteral("(function(){var e=document.getElementById('info');return e?e.textContent:'';})()"));
        reading = ScanAddPage(ReadBackText(info));
    }
    const std::optional<PinReading> read = FinishReading(reading, tab_.context().env.separator);
    if (!read)
        return;
    if (mode == PinMode::Move) {
        const int row = tab_.document().clickState().currentRow;
        const QChar sep = tab_.context().env.separator;
        // A pin that was not moved reads back as the same numbers: the cells keep
        // their texts ("48,85320" is not rewritten "48,8532") and nothing is marked.
        const bool moved = !tab_.table().isValidRow(row) ||
                           ReadDecimal(read->latitude, sep) != ReadDecimal(tab_.table().field(row, FieldLatitude), sep) ||
                           ReadDecimal(read->longitude, sep) != ReadDecimal(tab_.table().field(row, FieldLongitude), sep);
        if (moved)
            tab_.document().movePoi(row, read->latitude, read->longitude);
        tab_.document().setPinMode(PinMode::View);
        return;
    }
    addPoiRow(read->latitude, read->longitude);
}

void MapCommands::addPoiRow(const QString &latitude, const QString &longitude)
{
    const int row = tab_.document().addPoi(latitude, longitude, QStringLiteral("*** Nouveau Poi ***"));
    tab_.grid()->selectCells(row, 1, kFieldCount - 1);
    tab_.grid()->scrollRowToTop(tab_.table().rowCount() < 25 ? 1 : tab_.table().rowCount() - 23);
    tab_.document().setPinMode(PinMode::View);
    // In-place editing of the new description, without edit mode itself.
    tab_.grid()->setEditOptions(true);
    tab_.grid()->setCurrentIndex(tab_.model()->index(row - 1, FieldDescription));
}

void MapCommands::BitBtn17Click()
{
    if (!system_)
        return;
    const QString base = tab_.table().field(tab_.baseRow(), FieldDescription);
    const int result = system_->openUrl(QUrl(GeocacheAddress(base), QUrl::TolerantMode));
    const QString message = ShellErrorMessage(result);
    if (!message.isEmpty())
        tab_.context().dialogs.error(&tab_, message);
}

}  // namespace orvalis
