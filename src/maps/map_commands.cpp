// The first tab's map commands: one POI, the selection, the circle, the pin
// pages and their read-back, and the geocache link.
#include "maps/map_commands.h"

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

MapCommands::MapCommands(AppContext &ctx, PoiDocument &document, MapCommandsView &view)
    : ctx_(ctx), doc_(document), view_(view)
{
}

void MapCommands::selectCurrentRowCells()
{
    if (doc_.table().isValidRow(doc_.clickState().currentRow))
        view_.highlightRow(doc_.clickState().currentRow);
}

void MapCommands::showOnTabBrowser(const QString &page, PinMode pinMode)
{
    view_.EnterMapMode();
    if (view_.embeddedBrowserChosen())
        view_.showTabBrowser();
    if (!publisher_)
        return;
    const bool written = publisher_->writePage(page);
    publisher_->show(view_.tabBrowser());
    doc_.setPinMode(pinMode);
    // Only a page shown in the tab browser can be read back from it.
    pinPageInTabBrowser_ = written && view_.embeddedBrowserChosen();
}

void MapCommands::prepareMapWindow()
{
    if (!mapWindow_)
        return;
    if (view_.embeddedBrowserChosen()) {
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
        pieces += MarkerPiece(doc_.table().field(row, FieldLatitude), doc_.table().field(row, FieldLongitude),
                              doc_.table().field(row, FieldDescription), IconFor(row, doc_.table().lastRow()));
    return pieces;
}

void MapCommands::VisualisercePoisurlacarte1Click()
{
    if (!doc_.clickState().contextLatitude.isEmpty() && !doc_.clickState().contextLongitude.isEmpty()) {
        const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
        showOnTabBrowser(SinglePoiPage(addresses, doc_.clickState().contextLatitude, doc_.clickState().contextLongitude, doc_.clickState().contextDescription), PinMode::View);
    }
    selectCurrentRowCells();
}

void MapCommands::VisualiserlesPoiselectionnssurlacarte1Click()
{
    auto [first, last] = view_.selectedRows();
    prepareMapWindow();
    if (last >= kSelectionMapRows) {
        ctx_.dialogs.message(view_.dialogParent(), QStringLiteral("Tableau limité à 50.000 lignes"));
        last = std::min(last, first + kSelectionMapRows - 1);  // the first 50,000 rows are drawn
    }
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    const SelectionView view = SelectionCentreAndZoom(doc_.table(), first, last, ctx_.env.separator);
    view_.setMapScale(view.zoom);
    const QString page = SelectionPageStart(addresses, view) + markerPieces(first, last) + SelectionPageEnd();
    showOnMapWindow(page, doc_.caption());
}

void MapCommands::TraceruncercleunedistancedunPoi1Click()
{
    if (doc_.clickState().contextLatitude.isEmpty() || doc_.clickState().contextLongitude.isEmpty())
        return;
    prepareMapWindow();
    selectCurrentRowCells();
    const int radius = ReadWholeNumber(view_.circleRadiusText(), 100);
    const QString zoom = ZoomForRadius(radius);
    view_.setMapScale(zoom);
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    const QString page = CirclePageStart(addresses, doc_.clickState().contextLatitude, doc_.clickState().contextLongitude, radius, zoom) +
                         markerPieces(1, doc_.table().lastRow()) + CirclePageEnd();
    showOnMapWindow(page, doc_.caption() + QStringLiteral("                      Rayon cercle = ") +
                              view_.circleRadiusText() + QStringLiteral(" km"));
}

void MapCommands::DplacercePoisurlacarte1Click()
{
    if (!doc_.clickState().contextLatitude.isEmpty() && !doc_.clickState().contextLongitude.isEmpty()) {
        const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
        showOnTabBrowser(MovePinPage(addresses, doc_.clickState().contextLatitude, doc_.clickState().contextLongitude, doc_.clickState().contextDescription), PinMode::Move);
    }
    selectCurrentRowCells();
}

void MapCommands::AjouterdesPoi1Click()
{
    const ClickState &click = doc_.clickState();
    if (click.contextLatitude.isEmpty() && click.contextLongitude.isEmpty())
        doc_.setContextPoi(QStringLiteral("48,85320"), QStringLiteral("2,34890"), click.contextDescription);
    if (click.contextLatitude.isEmpty() || click.contextLongitude.isEmpty())
        return;
    selectCurrentRowCells();
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    showOnTabBrowser(AddPinPage(addresses), PinMode::Add);
}

void MapCommands::BitBtn12Click()
{
    view_.LeaveMapMode();
    const PinMode mode = doc_.pinMode();
    if (mode == PinMode::View)
        return;
    // A page shown in the external browser cannot be read: the tab browser
    // would only give an older page's coordinates.
    if (!pinPageInTabBrowser_)
        return;
    const QString text = view_.tabBrowser()->hasDocument() ? ReadBackText(view_.tabBrowser()->bodyText()) : QString();
    view_.showReadBack(text);
    ProcessPendingMessages();
    PinReading reading = mode == PinMode::Add ? ScanAddPage(text) : ScanMovePage(text);
    if (mode == PinMode::Move && !HasMoveAnchor(text)) {
        // The map's own texts changed: take the position from the page's panel.
        const QString info = view_.tabBrowser()->evaluate(
            QStringLiteral("(function(){var e=document.getElementById('info');return e?e.textContent:'';})()"));
        reading = ScanAddPage(ReadBackText(info));
    }
    const std::optional<PinReading> read = FinishReading(reading, ctx_.env.separator);
    if (!read)
        return;
    if (mode == PinMode::Move) {
        const int row = doc_.clickState().currentRow;
        const QChar sep = ctx_.env.separator;
        // A pin that was not moved reads back as the same numbers: the cells keep
        // their texts ("48,85320" is not rewritten "48,8532") and nothing is marked.
        const bool moved = !doc_.table().isValidRow(row) ||
                           ReadDecimal(read->latitude, sep) != ReadDecimal(doc_.table().field(row, FieldLatitude), sep) ||
                           ReadDecimal(read->longitude, sep) != ReadDecimal(doc_.table().field(row, FieldLongitude), sep);
        if (moved)
            doc_.movePoi(row, read->latitude, read->longitude);
        doc_.setPinMode(PinMode::View);
        return;
    }
    addPoiRow(read->latitude, read->longitude);
}

void MapCommands::addPoiRow(const QString &latitude, const QString &longitude)
{
    const int row = doc_.addPoi(latitude, longitude, QStringLiteral("*** Nouveau Poi ***"));
    doc_.setPinMode(PinMode::View);
    view_.editNewPoi(row);
}

void MapCommands::BitBtn17Click()
{
    if (!system_)
        return;
    const QString base = doc_.table().field(doc_.baseNumber(), FieldDescription);
    const int result = system_->openUrl(QUrl(GeocacheAddress(base), QUrl::TolerantMode));
    const QString message = ShellErrorMessage(result);
    if (!message.isEmpty())
        ctx_.dialogs.error(view_.dialogParent(), message);
}

}  // namespace orvalis
