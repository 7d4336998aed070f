// The first tab's map commands: one POI, the selection, the circle, the pin
// pages and their read-back, and the geocache link.
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

void PoiTableTab::selectCurrentRowCells()
{
    if (table_.isValidRow(click_.currentRow))
        SG1->selectCells(click_.currentRow, 1, kFieldCount - 1);
}

void PoiTableTab::showOnTabBrowser(const QString &page, PinMode pinMode)
{
    EnterMapMode();
    if (CheckBox1->isChecked())
        showTabBrowser();
    if (!publisher_)
        return;
    const bool written = publisher_->writePage(page);
    publisher_->show(CppWebBrowser3);
    doc_.setPinMode(pinMode);
    // Only a page shown in the tab browser can be read back from it.
    pinPageInTabBrowser_ = written && CheckBox1->isChecked();
}

void PoiTableTab::prepareMapWindow()
{
    if (!mapWindow_)
        return;
    if (CheckBox1->isChecked()) {
        mapWindow_->show();
        mapWindow_->raise();
    }
    mapWindow_->prepareSize();
}

void PoiTableTab::showOnMapWindow(const QString &page, const QString &caption)
{
    if (!publisher_)
        return;
    publisher_->writePage(page);
    if (mapWindow_)
        mapWindow_->setWindowTitle(caption);
    ProcessPendingMessages();
    publisher_->show(mapWindow_ ? mapWindow_->browser() : nullptr);
}

QString PoiTableTab::markerPieces(int first, int last) const
{
    QString pieces;
    for (int row = first; row <= last; ++row)
        pieces += MarkerPiece(table_.field(row, FieldLatitude), table_.field(row, FieldLongitude),
                              table_.field(row, FieldDescription), IconFor(row, table_.lastRow()));
    return pieces;
}

void PoiTableTab::VisualisercePoisurlacarte1Click()
{
    if (!click_.contextLatitude.isEmpty() && !click_.contextLongitude.isEmpty()) {
        const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
        showOnTabBrowser(SinglePoiPage(addresses, click_.contextLatitude, click_.contextLongitude, click_.contextDescription), PinMode::View);
    }
    selectCurrentRowCells();
}

void PoiTableTab::VisualiserlesPoiselectionnssurlacarte1Click()
{
    auto [first, last] = SG1->selectedRange();
    prepareMapWindow();
    if (last >= kSelectionMapRows) {
        ctx_.dialogs.message(this, QStringLiteral("Tableau limité à 50.000 lignes"));
        last = std::min(last, first + kSelectionMapRows - 1);  // the first 50,000 rows are drawn
    }
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    const SelectionView view = SelectionCentreAndZoom(table_, first, last, ctx_.env.separator);
    Edit34->setText(view.zoom);
    const QString page = SelectionPageStart(addresses, view) + markerPieces(first, last) + SelectionPageEnd();
    showOnMapWindow(page, doc_.caption());
}

void PoiTableTab::TraceruncercleunedistancedunPoi1Click()
{
    if (click_.contextLatitude.isEmpty() || click_.contextLongitude.isEmpty())
        return;
    prepareMapWindow();
    selectCurrentRowCells();
    const int radius = ReadWholeNumber(Edit35->text(), 100);
    const QString zoom = ZoomForRadius(radius);
    Edit34->setText(zoom);
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    const QString page = CirclePageStart(addresses, click_.contextLatitude, click_.contextLongitude, radius, zoom) +
                         markerPieces(1, table_.lastRow()) + CirclePageEnd();
    showOnMapWindow(page, doc_.caption() + QStringLiteral("                      Rayon cercle = ") +
                              Edit35->text() + QStringLiteral(" km"));
}

void PoiTableTab::DplacercePoisurlacarte1Click()
{
    if (!click_.contextLatitude.isEmpty() && !click_.contextLongitude.isEmpty()) {
        const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
        showOnTabBrowser(MovePinPage(addresses, click_.contextLatitude, click_.contextLongitude, click_.contextDescription), PinMode::Move);
    }
    selectCurrentRowCells();
}

void PoiTableTab::AjouterdesPoi1Click()
{
    if (click_.contextLatitude.isEmpty() && click_.contextLongitude.isEmpty()) {
        click_.contextLatitude = QStringLiteral("48,85320");
        click_.contextLongitude = QStringLiteral("2,34890");
    }
    if (click_.contextLatitude.isEmpty() || click_.contextLongitude.isEmpty())
        return;
    selectCurrentRowCells();
    const MapAddresses addresses = publisher_ ? publisher_->addresses() : AdapterMapAddresses();
    showOnTabBrowser(AddPinPage(addresses), PinMode::Add);
}

void PoiTableTab::BitBtn12Click()
{
    LeaveMapMode();
    const PinMode mode = doc_.pinMode();
    if (mode == PinMode::View)
        return;
    // A page shown in the external browser cannot be read: the tab browser
    // would only give an older page's coordinates.
    if (!pinPageInTabBrowser_)
        return;
    const QString text = CppWebBrowser3->hasDocument() ? ReadBackText(CppWebBrowser3->bodyText()) : QString();
    Memo1->setPlainText(text);
    ProcessPendingMessages();
    PinReading reading = mode == PinMode::Add ? ScanAddPage(text) : ScanMovePage(text);
    if (mode == PinMode::Move && !HasMoveAnchor(text)) {
        // The map's own texts changed: take the position from the page's panel.
        const QString info = CppWebBrowser3->evaluate(
            QStringLiteral("(function(){var e=document.getElementById('info');return e?e.textContent:'';})()"));
        reading = ScanAddPage(ReadBackText(info));
    }
    const std::optional<PinReading> read = FinishReading(reading, ctx_.env.separator);
    if (!read)
        return;
    if (mode == PinMode::Move) {
        if (table_.isValidRow(click_.currentRow)) {
            table_.setField(click_.currentRow, FieldLatitude, read->latitude);
            table_.setField(click_.currentRow, FieldLongitude, read->longitude);
            doc_.rowsChanged(click_.currentRow, click_.currentRow);
        }
        setModified(true);
        doc_.setPinMode(PinMode::View);
        return;
    }
    addPoiRow(read->latitude, read->longitude);
}

void PoiTableTab::addPoiRow(const QString &latitude, const QString &longitude)
{
    int largest = 0;
    for (int row = 1; row <= table_.lastRow(); ++row)
        largest = std::max(largest, table_.number(row));
    const int row = doc_.appendRow();
    table_.setNumber(row, largest + 1);
    table_.setField(row, FieldLatitude, latitude);
    table_.setField(row, FieldLongitude, longitude);
    table_.setField(row, FieldDescription, QStringLiteral("*** Nouveau Poi ***"));
    doc_.rowsChanged(row, row);
    SG1->selectCells(row, 1, kFieldCount - 1);
    SG1->scrollRowToTop(table_.rowCount() < 25 ? 1 : table_.rowCount() - 23);
    doc_.setReady(true);
    setModified(true);
    doc_.setPinMode(PinMode::View);
    // In-place editing of the new description, without edit mode itself.
    SG1->setEditOptions(true);
    SG1->setCurrentIndex(model_->index(row - 1, FieldDescription));
    doc_.setPoiCount(std::max(doc_.poiCount(), 0) + 1);
}

void PoiTableTab::BitBtn17Click()
{
    if (!system_)
        return;
    const QString base = table_.field(baseRow(), FieldDescription);
    const int result = system_->openUrl(QUrl(GeocacheAddress(base), QUrl::TolerantMode));
    const QString message = ShellErrorMessage(result);
    if (!message.isEmpty())
        ctx_.dialogs.error(this, message);
}

}  // namespace orvalis
