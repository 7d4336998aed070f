#pragma once

#include "maps/page_text.h"
#include "table/poi_table.h"

#include <QString>

namespace orvalis {

// One POI on the first tab's map, zoom 13.
QString SinglePoiPage(const MapAddresses &addresses, const QString &latitude, const QString &longitude,
                      const QString &description);

// The script that draws one POI with a pin of the named icon variable and an
// information window on click; used by the selection and circle maps.
QString MarkerPiece(const QString &latitude, const QString &longitude, const QString &description, const QString &icon);
// "iconRed" for row 1, "iconGreen" for the table's last row, "iconGrey" otherwise.
QString IconFor(int row, int lastRow);

// Centre and zoom of the selection map.
struct SelectionView {
    QString centreLatitude;   // page text, periods
    QString centreLongitude;
    int extent = 0;           // G: the larger extent in thousandths of a degree
    QString zoom;
};
SelectionView SelectionCentreAndZoom(const PoiTable &table, int first, int last, QChar separator);
QString ZoomForExtent(int g);

QString SelectionPageStart(const MapAddresses &addresses, const SelectionView &view);
QString SelectionPageEnd();

// The circle map: a red circle of `radiusKm` around the POI and every row's pin.
QString ZoomForRadius(int radiusKm);
QString CirclePageStart(const MapAddresses &addresses, const QString &latitude, const QString &longitude, int radiusKm,
                        const QString &zoom);
QString CirclePageEnd();

// The pin pages: the POI's draggable pin with its position shown beside the
// map, and the page on which a click places a new pin.
QString MovePinPage(const MapAddresses &addresses, const QString &latitude, const QString &longitude,
                    const QString &description);
QString AddPinPage(const MapAddresses &addresses);

}  // namespace orvalis
