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
    if (tab_.table_.isValidRow(tab_.doc_.clickState().currentRow))
        tab_.SG1->selectCells(tab_.doc_.clickState().currentRow, 1, kFieldCount - 1);
}

void MapCommands::showOnTabBrowser(const QString &page, PinMode pinMode)
{
    tab_.EnterMapMode();
    if (tab_.CheckBox1->isChecked())
        tab_.showTabBrowser();
    if (!publisher_)
        return;
    const bool written = publisher_->writePage(page);
    publisher_->show(tab_.CppWebBrowser3);
    tab_.doc_.setPinMode(pinMode);
    // Only a page shown in the tab browser can be read back from it.
    pinPageInTabBrowser_ = written && tab_.CheckBox1->isChecked();
}

void MapCommands::prepareMapWindow()
{
    if (!mapWindow_)
        return;
    if (tab_.CheckBox1->isChecked()) {
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
        pieces += MarkerPiece(tab_.table_.field(row, FieldLatitude), tab_.table_.field(row, FieldLongitude),
                              tab_.table_.field(row, FieldDescription), IconFor(row, tab_.table_.lastRow()));
    return pieces;
}

void MapCommands::VisualisercePoisurlacarte1Click()
{
    if (!tab_.doc_.clickState().contextLatitude.isEmpty() && !tab_.doc_.clickState().contextLongitude.isEmpty()) {
        const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
        showOnTabBrowser(SinglePoiPage(addresses, tab_.doc_.clickState().contextLatitude, tab_.doc_.clickState().contextLongitude, tab_.doc_.clickState().contextDescription), PinMode::View);
    }
    selectCurrentRowCells();
}

void MapCommands::VisualiserlesPoiselectionnssurlacarte1Click()
{
    auto [first, last] = tab_.SG1->selectedRange();
    prepareMapWindow();
    if (last >= kSelectionMapRows) {
        tab_.ctx_.dialogs.message(&tab_, QStringLiteral("Tableau limité à 50.000 lignes"));
        last = std::min(last, first + kSelectionMapRows - 1);  // the first 50,000 rows are drawn
    }
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    const SelectionView view = SelectionCentreAndZoom(tab_.table_, first, last, tab_.ctx_.env.separator);
    tab_.Edit34->setText(view.zoom);
    const QString page = SelectionPageStart(addresses, view) + markerPieces(first, last) + SelectionPageEnd();
    showOnMapWindow(page, tab_.doc_.caption());
}

void MapCommands::TraceruncercleunedistancedunPoi1Click()
{
    if (tab_.doc_.clickState().contextLatitude.isEmpty() || tab_.doc_.clickState().contextLongitude.isEmpty())
        return;
    prepareMapWindow();
    selectCurrentRowCells();
    const int radius = ReadWholeNumber(tab_.Edit35->text(), 100);
    const QString zoom = ZoomForRadius(radius);
    tab_.Edit34->setText(zoom);
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    const QString page = CirclePageStart(addresses, tab_.doc_.clickState().contextLatitude, tab_.doc_.clickState().contextLongitude, radius, zoom) +
                         markerPieces(1, tab_.table_.lastRow()) + CirclePageEnd();
    showOnMapWindow(page, tab_.doc_.caption() + QStringLiteral("                      Rayon cercle = ") +
                              tab_.Edit35->text() + QStringLiteral(" km"));
}

void MapCommands::DplacercePoisurlacarte1Click()
{
    if (!tab_.doc_.clickState().contextLatitude.isEmpty() && !tab_.doc_.clickState().contextLongitude.isEmpty()) {
        const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
        showOnTabBrowser(MovePinPage(addresses, tab_.doc_.clickState().contextLatitude, tab_.doc_.clickState().contextLongitude, tab_.doc_.clickState().contextDescription), PinMode::Move);
    }
    selectCurrentRowCells();
}

void MapCommands::AjouterdesPoi1Click()
{
    if (tab_.doc_.clickState().contextLatitude.isEmpty() && tab_.doc_.clickState().contextLongitude.isEmpty()) {
        tab_.doc_.clickState().contextLatitude = QStringLiteral("48,85320");
        tab_.doc_.clickState().contextLongitude = QStringLiteral("2,34890");
    }
    if (tab_.doc_.clickState().contextLatitude.isEmpty() || tab_.doc_.clickState().contextLongitude.isEmpty())
        return;
    selectCurrentRowCells();
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    showOnTabBrowser(AddPinPage(addresses), PinMode::Add);
}

void MapCommands::BitBtn12Click()
{
    tab_.LeaveMapMode();
    const PinMode mode = tab_.doc_.pinMode();
    if (mode == PinMode::View)
        return;
    // A page shown in the external browser cannot be read: the tab browser
    // would only give an older page's coordinates.
    if (!pinPageInTabBrowser_)
        return;
    const QString text = tab_.CppWebBrowser3->hasDocument() ? ReadBackText(tab_.CppWebBrowser3->bodyText()) : QString();
    tab_.Memo1->setPlainText(text);
    ProcessPendingMessages();
    PinReading reading = mode == PinMode::Add ? ScanAddPage(text) : ScanMovePage(text);
    if (mode == PinMode::Move && !HasMoveAnchor(text)) {
        // The map's own texts changed: take the position from the page's panel.
        const QString info = tab_.CppWebBrowser3->evaluate(
            QStringLiteral("(function(){var e=document.getElementById('info');return e?e.textContent:'';})()"));
        reading = ScanAddPage(ReadBackText(info));
    }
    const std::optional<PinReading> read = FinishReading(reading, tab_.ctx_.env.separator);
    if (!read)
        return;
    if (mode == PinMode::Move) {
        const int row = tab_.doc_.clickState().currentRow;
        const QChar sep = tab_.ctx_.env.separator;
        // A pin that was not moved reads back as the same numbers: the cells keep
        // their texts ("48,85320" is not rewritten "48,8532") and nothing is marked.
        const bool moved = !tab_.table_.isValidRow(row) ||
                           ReadDecimal(read->latitude, sep) != ReadDecimal(tab_.table_.field(row, FieldLatitude), sep) ||
                           ReadDecimal(read->longitude, sep) != ReadDecimal(tab_.table_.field(row, FieldLongitude), sep);
        if (moved)
            tab_.doc_.movePoi(row, read->latitude, read->longitude);
        tab_.doc_.setPinMode(PinMode::View);
        return;
    }
    addPoiRow(read->latitude, read->longitude);
}

void MapCommands::addPoiRow(const QString &latitude, const QString &longitude)
{
    const int row = tab_.doc_.addPoi(latitude, longitude, QStringLiteral("*** Nouveau Poi ***"));
    tab_.SG1->selectCells(row, 1, kFieldCount - 1);
    tab_.SG1->scrollRowToTop(tab_.table_.rowCount() < 25 ? 1 : tab_.table_.rowCount() - 23);
    tab_.doc_.setPinMode(PinMode::View);
    // In-place editing of the new description, without edit mode itself.
    tab_.SG1->setEditOptions(true);
    tab_.SG1->setCurrentIndex(tab_.model_->index(row - 1, FieldDescription));
}

void MapCommands::BitBtn17Click()
{
    if (!system_)
        return;
    const QString base = tab_.table_.field(tab_.baseRow(), FieldDescription);
    const int result = system_->openUrl(QUrl(GeocacheAddress(base), QUrl::TolerantMode));
    const QString message = ShellErrorMessage(result);
    if (!message.isEmpty())
        tab_.ctx_.dialogs.error(&tab_, message);
}

}  // namespace orvalis
